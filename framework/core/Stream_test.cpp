#include "framework/core/Stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/Exception.h"
#include "framework/core/Strings.h"

namespace framework {
namespace {

std::string Bytes(TCustomMemoryStream& s) {
    return std::string(s.Memory(), static_cast<size_t>(s.Size()));
}

void WriteText(TStream& s, const std::string& text) {
    s.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

// A stream that accepts at most `room` bytes, like a full disk.
class TLimitedStream : public TMemoryStream {
public:
    explicit TLimitedStream(int64_t room) : room_(room) {}
    int32_t Write(const void* Buffer, int32_t Count) override {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, room_ - Position()));
        return n <= 0 ? 0 : TMemoryStream::Write(Buffer, n);
    }

private:
    int64_t room_;
};

TEST(MemoryStreamTest, ReadingPastTheEndReturnsTheShortCount) {
    TMemoryStream s;
    WriteText(s, "0123456789");
    s.SetPosition(6);
    char buffer[16] = {};
    EXPECT_EQ(s.Read(buffer, 10), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(s.Position(), 10);
    EXPECT_EQ(s.Read(buffer, 10), 0);
    s.SetPosition(50);  // past the end
    EXPECT_EQ(s.Read(buffer, 1), 0);
    s.SetPosition(-3);  // before the start
    EXPECT_EQ(s.Read(buffer, 1), 0);
    EXPECT_EQ(s.Write("x", 1), 0);
    s.SetPosition(0);
    EXPECT_EQ(s.Read(buffer, -1), 0);
}

TEST(MemoryStreamTest, ReadBufferAndWriteBufferRaiseOnAShortTransfer) {
    TMemoryStream s;
    WriteText(s, "abc");
    s.SetPosition(1);
    char buffer[8];
    try {
        s.ReadBuffer(buffer, 3);
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "Stream read error");
    }
    s.SetPosition(0);
    EXPECT_NO_THROW(s.ReadBuffer(buffer, 3));
    EXPECT_NO_THROW(s.ReadBuffer(buffer, 0));  // nothing asked, nothing missing

    TLimitedStream full(4);
    try {
        WriteText(full, "12345");
        ADD_FAILURE();
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message, "Stream write error");
    }
}

TEST(MemoryStreamTest, SeekOriginsSizesAndGaps) {
    TMemoryStream s;
    WriteText(s, "abcdef");
    struct Case {
        int64_t offset;
        TSeekOrigin origin;
        int64_t expected;
    } cases[] = {
        {2, soFromBeginning, 2}, {3, soFromCurrent, 5}, {-1, soFromCurrent, 4},
        {0, soFromEnd, 6},       {-6, soFromEnd, 0},    {10, soFromEnd, 16},
    };
    for (const auto& c : cases) EXPECT_EQ(s.Seek(c.offset, c.origin), c.expected);
    EXPECT_EQ(s.Position(), 16);
    WriteText(s, "Z");  // past the end: the gap is zero-filled
    EXPECT_EQ(s.Size(), 17);
    EXPECT_EQ(Bytes(s), std::string("abcdef") + std::string(10, '\0') + "Z");

    s.SetSize(3);  // the position follows the end
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(Bytes(s), "abc");
    s.SetSize(5);
    EXPECT_EQ(Bytes(s), std::string("abc\0\0", 5));
    s.SetPosition(1);
    WriteText(s, "XY");  // overwrites in the middle
    EXPECT_EQ(Bytes(s), std::string("aXY\0\0", 5));
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

TEST(MemoryStreamTest, GrowingBeyondItsLimitRaisesAndKeepsTheData) {
    TMemoryStream s;
    WriteText(s, "keep");
    EXPECT_THROW(s.SetSize(int64_t{1} << 31), EOutOfMemory);
    s.SetPosition(int64_t{1} << 40);
    try {
        WriteText(s, "x");
        ADD_FAILURE();
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, "Out of memory while expanding memory stream");
    }
    EXPECT_EQ(Bytes(s), "keep");
}

TEST(StreamTest, CopyFromCopiesAWholeStreamOrACount) {
    TMemoryStream source;
    std::string data;
    for (int i = 0; i < 200000; ++i) data += static_cast<char>('a' + i % 26);  // several copy rounds
    WriteText(source, data);

    TMemoryStream whole;
    EXPECT_EQ(whole.CopyFrom(&source, 0), 200000);  // count 0: from the start, whatever the position
    EXPECT_EQ(Bytes(whole), data);

    source.SetPosition(5);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(&source, 7), 7);
    EXPECT_EQ(Bytes(part), data.substr(5, 7));
    EXPECT_EQ(source.Position(), 12);

    source.SetPosition(199990);
    TMemoryStream shortCopy;
    EXPECT_THROW(shortCopy.CopyFrom(&source, 20), EReadError);

    TMemoryStream empty, target;
    EXPECT_EQ(target.CopyFrom(&empty, 0), 0);
}

TEST(MemoryStreamTest, LoadAndSaveBetweenStreams) {
    TStringStream text("hello world");
    text.SetPosition(6);
    TMemoryStream m;
    WriteText(m, "old contents that are longer");
    m.LoadFromStream(&text);  // the whole source, from its start
    EXPECT_EQ(Bytes(m), "hello world");
    EXPECT_EQ(m.Position(), 0);

    TStringStream out;
    WriteText(out, ">");
    m.SaveToStream(&out);
    EXPECT_EQ(out.DataString(), ">hello world");
}

TEST(StringStreamTest, DataStringReadWriteAndSeek) {
    TStringStream s("abcdef");
    EXPECT_EQ(s.ReadString(2), "ab");
    s.WriteString("XY");  // overwrites
    EXPECT_EQ(s.DataString(), "abXYef");
    s.Seek(-1, soFromEnd);
    s.WriteString("123");  // extends at the end
    EXPECT_EQ(s.DataString(), "abXYe123");
    EXPECT_EQ(s.Seek(100, soFromBeginning), 8);  // clamped to the size
    EXPECT_EQ(s.Seek(-100, soFromCurrent), 0);
    EXPECT_EQ(s.ReadString(100), "abXYe123");
    EXPECT_EQ(s.ReadString(1), "");
    s.SetSize(2);
    EXPECT_EQ(s.DataString(), "ab");
    EXPECT_EQ(s.Position(), 2);
}

TEST(StringsStreamTest, LinesGoToAndComeFromTheStreamPosition) {
    TStringList list;
    list.Add("one");
    list.Add("two");
    TMemoryStream m;
    WriteText(m, "HDR");
    list.SaveToStream(&m);
    EXPECT_EQ(Bytes(m), "HDRone\r\ntwo\r\n");

    m.SetPosition(3);
    TStringList back;
    back.Add("gone");
    back.LoadFromStream(&m);
    EXPECT_EQ(back.Count(), 2);
    EXPECT_EQ(back[1], "two");

    TStringStream unix("a\nb\n\nc");
    back.LoadFromStream(&unix);
    EXPECT_EQ(back.Text(), "a\r\nb\r\n\r\nc\r\n");
}

}  // namespace
}  // namespace framework
