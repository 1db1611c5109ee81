#include "sysutil/ShStrms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/core/Exception.h"
#include "sysutil/ShConst.h"

using namespace sysutil;
using framework::TStringStream;

namespace {

std::string Written(uint8_t kind, const char* text, int32_t length, int32_t fixed = 80, char term = '\n') {
    TStringStream out;
    TShTextStream stream(&out);
    stream.LineTerminator = kind;
    stream.FixedLineLength = fixed;
    stream.LineTermChar = term;
    stream.WriteLine(text, length);
    return out.DataString();
}

TEST(TextStreamLines, EachKindEndsItsLines) {
    struct Case {
        uint8_t kind;
        const char* text;
        int32_t length;
        int32_t fixed;
        std::string expected;
    } cases[] = {
        {ltNone, "abc", 3, 10, "abc       "},
        {ltNone, "abcdefghijkl", 12, 10, "abcdefghij"},
        {ltNone, "abcdefghij", 10, 10, "abcdefghij"},
        {ltNone, nullptr, 5, 4, "    "},
        {ltNone, "abc", 3, 0, ""},
        {ltCR, "abc", 3, 80, "abc\r"},
        {ltLF, "abc", 3, 80, "abc\n"},
        {ltCRLF, "abc", 3, 80, "abc\r\n"},
        {ltCRLF, "", 0, 80, "\r\n"},
        {ltCRLF, nullptr, 3, 80, "\r\n"},
        {ltCRLF, "abc", -1, 80, "\r\n"},
        {ltCRLF, "a\0b", 3, 80, std::string("a\0b\r\n", 5)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Written(c.kind, c.text, c.length, c.fixed), c.expected)
            << "kind " << int(c.kind) << " text " << (c.text ? c.text : "(nil)");
    EXPECT_EQ(Written(ltOther, "abc", 3, 80, '|'), "abc|");
}

TEST(TextStreamLines, SeveralLinesFollowEachOther) {
    TStringStream out;
    TShTextStream stream(&out);
    stream.LineTerminator = ltNone;
    stream.FixedLineLength = 4;
    stream.WriteLineZ("ab");
    stream.WriteLineZ("abcdef");
    stream.WriteLineZ(nullptr);
    stream.LineTerminator = ltLF;
    stream.WriteLineZ("x");
    stream.WriteLineZ("");
    EXPECT_EQ(out.DataString(), "ab  abcd    x\n\n");
}

TEST(TextStreamLines, ABadKindRaisesAfterTheData) {
    TStringStream out;
    TShTextStream stream(&out);
    stream.LineTerminator = 5;
    try {
        stream.WriteLine("abc", 3);
        FAIL() << "no exception";
    } catch (const EShBufStreamError& e) {
        EXPECT_EQ(e.ErrorCode, 274);
        EXPECT_EQ(e.Message, "Text stream: Case statement was used with a bad value of LineTerminator");
    }
    EXPECT_EQ(out.DataString(), "abc");
}

// A stream that takes no more than a few bytes, as a full disk does.
class TFullStream : public TStringStream {
public:
    int32_t Write(const void* Buffer, int32_t Count) override {
        const int32_t room = std::max<int32_t>(0, 4 - static_cast<int32_t>(Size()));
        return TStringStream::Write(Buffer, std::min(Count, room));
    }
};

TEST(TextStreamLines, AShortWriteIsAnError) {
    TFullStream out;
    TShTextStream stream(&out);
    stream.WriteLineZ("ab");
    EXPECT_THROW(stream.WriteLineZ("cd"), framework::EWriteError);
}

}  // namespace
