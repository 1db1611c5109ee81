#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/core/Strings.h"
#include "platform/testsupport/TestDrives.h"

namespace framework {
namespace {

using platform::testsupport::ReadNativeFile;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

// Files live on drive T:, a temporary folder.
class FileStreamTest : public ::testing::Test {
protected:
    TTempFolder folder;
    TScopedDrives drives{"T=" + folder.Path()};
};

void WriteText(TStream& s, const std::string& text) {
    s.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

TEST_F(FileStreamTest, CreateWriteReopenAndRead) {
    {
        TFileStream out("T:\\DATA.BIN", fmCreate);
        WriteText(out, "0123456789");
        EXPECT_EQ(out.Size(), 10);
        EXPECT_EQ(out.FileName(), "T:\\DATA.BIN");
    }
    EXPECT_EQ(ReadNativeFile(folder / "DATA.BIN"), "0123456789");

    {
        TFileStream in("t:\\data.bin", fmOpenRead);  // names resolve without regard to case
        char buffer[16] = {};
        EXPECT_EQ(in.Seek(-4, soFromEnd), 6);
        EXPECT_EQ(in.Read(buffer, 10), 4);  // short count at the end
        EXPECT_EQ(std::string(buffer, 4), "6789");
        EXPECT_EQ(in.Seek(-2, soFromCurrent), 8);
        EXPECT_THROW(in.ReadBuffer(buffer, 3), EReadError);
        EXPECT_EQ(in.Write("x", 1), 0);  // opened for reading only
        EXPECT_THROW(WriteText(in, "x"), EWriteError);
    }

    // fmCreate truncates an existing file.
    { TFileStream again("T:\\DATA.BIN", fmCreate); }
    EXPECT_EQ(ReadNativeFile(folder / "DATA.BIN"), "");
}

TEST_F(FileStreamTest, SetSizeTruncatesAndExtends) {
    TFileStream f("T:\\SIZE.BIN", fmCreate);
    WriteText(f, "abcdef");
    f.SetSize(3);
    EXPECT_EQ(f.Size(), 3);
    f.SetSize(5);
    EXPECT_EQ(f.Size(), 5);
    f.SetPosition(0);
    char buffer[5];
    f.ReadBuffer(buffer, 5);
    EXPECT_EQ(std::string(buffer, 5), std::string("abc\0\0", 5));
}

TEST_F(FileStreamTest, OpenAndCreateFailuresNameTheFile) {
    try {
        TFileStream f("T:\\MISSING.TXT", fmOpenRead);
        ADD_FAILURE();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, "Cannot open file T:\\MISSING.TXT");
    }
    try {
        TFileStream f("T:\\NO\\SUCH\\FOLDER.TXT", fmCreate);
        ADD_FAILURE();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, "Cannot create file T:\\NO\\SUCH\\FOLDER.TXT");
    }
}

TEST_F(FileStreamTest, SharingModesDecideWhetherASecondOpenSucceeds) {
    folder.WriteFile("SHARED.TXT", "x");
    struct Case {
        uint16_t first, second;
        bool opens;
    } cases[] = {
        {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
        {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
        {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
        {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
        {fmOpenRead | fmShareCompat, fmOpenRead | fmShareDenyNone, false},
        {fmOpenRead | fmShareDenyNone, fmOpenWrite | fmShareDenyRead, false},
        {fmOpenRead | fmShareDenyNone, fmOpenWrite | fmShareDenyNone, true},
        {fmOpenWrite | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
        {fmOpenWrite | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true},
    };
    for (const auto& c : cases) {
        TFileStream first("T:\\SHARED.TXT", c.first);
        bool opened = true;
        try {
            TFileStream second("T:\\SHARED.TXT", c.second);
        } catch (const EFOpenError&) {
            opened = false;
        }
        EXPECT_EQ(opened, c.opens) << std::hex << c.first << " then " << c.second;
    }
    // A file open anywhere cannot be created over.
    TFileStream reader("T:\\SHARED.TXT", fmOpenRead | fmShareDenyNone);
    EXPECT_THROW(TFileStream("T:\\SHARED.TXT", fmCreate), EFCreateError);
}

TEST_F(FileStreamTest, StringListsAndMemoryStreamsGoToFilesAndBack) {
    TStringList list;
    list.Add("first");
    list.Add("second");
    list.SaveToFile("T:\\LIST.TXT");
    EXPECT_EQ(ReadNativeFile(folder / "LIST.TXT"), "first\r\nsecond\r\n");

    folder.WriteFile("UNIX.TXT", "a\nb\n");
    list.LoadFromFile("T:\\UNIX.TXT");
    EXPECT_EQ(list.Text(), "a\r\nb\r\n");
    EXPECT_THROW(list.LoadFromFile("T:\\NONE.TXT"), EFOpenError);
    EXPECT_EQ(list.Count(), 2);  // a failed load keeps the lines

    TMemoryStream m;
    m.LoadFromFile("T:\\LIST.TXT");
    EXPECT_EQ(std::string(m.Memory(), static_cast<size_t>(m.Size())), "first\r\nsecond\r\n");
    m.SetSize(5);
    m.SaveToFile("T:\\COPY.BIN");
    EXPECT_EQ(ReadNativeFile(folder / "COPY.BIN"), "first");
}

TEST_F(FileStreamTest, HandleStreamLeavesTheHandleOpen) {
    auto file = std::make_unique<TFileStream>("T:\\H.BIN", fmCreate);
    {
        THandleStream h(file->Handle());
        WriteText(h, "abc");
    }
    WriteText(*file, "d");  // the handle still works after the handle stream is gone
    file.reset();
    EXPECT_EQ(ReadNativeFile(folder / "H.BIN"), "abcd");
}

}  // namespace
}  // namespace framework
