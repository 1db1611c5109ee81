// The file viewer's lines: counting, line ends, long lines, open errors, reading on demand and the
// size of the line index on large files.
#include "controls/grid/CtlFileLines.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "framework/core/Exception.h"

namespace grid {
namespace {

namespace fs = std::filesystem;

class FileLinesTest : public ::testing::Test {
protected:
    fs::path Dir = fs::temp_directory_path() / ("grid-lines-" + std::to_string(getpid()));
    void SetUp() override { fs::create_directories(Dir); }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Write(const std::string& Name, const std::string& Data) {
        const fs::path p = Dir / Name;
        std::ofstream(p, std::ios::binary) << Data;
        return p.string();
    }
    static std::vector<std::string> All(TCtlFileLines& L) {
        std::vector<std::string> v;
        for (int i = 0; i < L.Count(); ++i) v.push_back(L.Line(i));
        return v;
    }
};

TEST_F(FileLinesTest, LinesAsTheFileHoldsThem) {
    struct Case {
        const char* data;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"a\r\nb\r\n", {"a", "b", ""}},
        {"a\nb", {"a", "b", ""}},
        {"x\ry\n", {"x\ry", ""}},  // a lone CR stays
        {"\n\n", {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        TCtlFileLines lines(Write("t.txt", c.data));
        EXPECT_EQ(All(lines), c.lines);
    }
    // A NUL is kept as a character.
    TCtlFileLines nul(Write("nul.txt", std::string("a\0b\n", 4)));
    EXPECT_EQ(nul.Line(0), std::string("a\0b", 3));
    // Out of range: empty.
    EXPECT_EQ(nul.Line(-1), "");
    EXPECT_EQ(nul.Line(99), "");
}

TEST_F(FileLinesTest, LongLinesKeepTheirFirst1023Characters) {
    std::string data(1500, 'x');
    data += "\r\nnext\n";
    TCtlFileLines lines(Write("long.txt", data));
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Line(0), std::string(1023, 'x'));
    EXPECT_EQ(lines.Line(1), "next");
}

TEST_F(FileLinesTest, OpenErrors) {
    struct Case {
        std::string name;
        int code;
        const char* text;
    };
    const std::string held = Write("held.txt", "data\n");
    platform::HANDLE writer = platform::CreateFile(held, platform::GENERIC_READ | platform::GENERIC_WRITE,
                                                   platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE,
                                                   platform::OPEN_EXISTING, 0);
    ASSERT_NE(writer, platform::INVALID_HANDLE_VALUE);
    const Case cases[] = {
        {(Dir / "missing.txt").string(), 2, "Viewer: file not found"},
        {(Dir / "no" / "such.txt").string(), 3, "Viewer: path not found or invalid file name"},
        {held, 32, "Viewer triggered I/O error 32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            TCtlFileLines lines(c.name);
            ADD_FAILURE() << "opened";
        } catch (const framework::EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, c.code);
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    platform::CloseHandle(writer);
    EXPECT_NO_THROW(TCtlFileLines{held});
}

TEST_F(FileLinesTest, LinesAreReadOnDemandInAnyOrder) {
    std::string data;
    for (int i = 0; i < 70000; ++i) data += std::to_string(i + 1) + "\n";
    TCtlFileLines lines(Write("seq.txt", data));
    ASSERT_EQ(lines.Count(), 70001);
    for (int i : {69999, 0, 256, 255, 12345, 12346, 12344, 69998, 70000, 511, 512})
        EXPECT_EQ(lines.Line(i), i == 70000 ? "" : std::to_string(i + 1)) << i;
    // Every line in order, well past the cache.
    for (int i = 0; i < 70000; i += 7) ASSERT_EQ(lines.Line(i), std::to_string(i + 1));
}

TEST_F(FileLinesTest, AFileThatShrinksReadsMissingLinesAsEmpty) {
    const std::string name = Write("shrink.txt", "one\ntwo\nthree\n");
    TCtlFileLines lines(name);
    ASSERT_EQ(lines.Count(), 4);
    fs::resize_file(name, 4);
    EXPECT_EQ(lines.Line(0), "one");
    EXPECT_EQ(lines.Line(2), "");
}

long ResidentKb() {
    std::ifstream f("/proc/self/statm");
    long size = 0, resident = 0;
    f >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST_F(FileLinesTest, LargeFilesAreNotHeldInMemory) {
    // 2 GiB of NULs on one line (a sparse file).
    const fs::path big = Dir / "sparse.bin";
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, 2ull << 30);
    const long before = ResidentKb();
    {
        TCtlFileLines lines(big.string());
        EXPECT_EQ(lines.Count(), 2);
        EXPECT_EQ(lines.Line(0), std::string(1023, '\0'));
        EXPECT_EQ(lines.Line(1), "");
        EXPECT_LT(ResidentKb() - before, 32 * 1024);
    }
    fs::remove(big);
    // 10 million short lines: the index stays under 1 MB.
    const fs::path many = Dir / "many.txt";
    {
        std::ofstream f(many, std::ios::binary);
        std::string block;
        for (int i = 0; i < 100000; ++i) block += "ab\n";
        for (int i = 0; i < 100; ++i) f << block;
    }
    TCtlFileLines lines(many.string());
    EXPECT_EQ(lines.Count(), 10000001);
    EXPECT_LT(lines.IndexBytes(), 1u << 20);
    EXPECT_EQ(lines.Line(9999999), "ab");
    EXPECT_EQ(lines.Line(5000000), "ab");
}

}  // namespace
}  // namespace grid
