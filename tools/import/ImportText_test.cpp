#include "tools/import/ImportText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace tools {
namespace {

TEST(ImportTextCut, ItemsByColumns) {
    struct Case {
        std::string Line;
        TImportColumns Columns;
        std::string Expected;
    } cases[] = {
        {"README.TXT  DOCS", {1, 10}, "README.TXT"},
        {"  A.TXT \t", {1, 9}, "A.TXT"},  // blanks and control characters trimmed
        {"ABCDEF", {4, 100}, "DEF"},      // shorter line: what exists
        {"ABC", {5, 9}, ""},              // range past the line
        {"ABCDEF", {0, 0}, "A"},          // columns 0 and 0: the first character
        {"ABCDEF", {-1, 3}, "ABCDE"},     // start below 1: end - start + 1 from column 1
        {"ABCDEF", {0, 3}, "ABCD"},
        {"ABCDEF", {4, 3}, ""},  // end before start
        {"", {1, 16}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutImportItem(c.Line, c.Columns), c.Expected) << c.Line << " " << c.Columns.Start;
}

TEST(ImportTextCut, AttributeLettersAndSizes) {
    const std::pair<const char*, int32_t> attributes[] = {{"RA", 33},   {"rha", 0}, {"RHSA", 39},
                                                          {"-S-H-", 6}, {"", 0},    {"ARAR", 33}};
    for (const auto& [text, value] : attributes) EXPECT_EQ(ImportAttributeFromLetters(text), value) << text;
    const std::pair<const char*, const char*> sizes[] = {
        {"1.234.567", "1234567"}, {"1,234,567", "1234567"}, {"12.5", "125"}, {"", ""}, {"1 2", "1 2"}};
    for (const auto& [text, digits] : sizes) EXPECT_EQ(ImportSizeDigits(text), digits) << text;
}

TEST(ImportTextColumns, ChecksInOrder) {
    const auto cols = [](TImportColumns FileName, TImportColumns Folder, TImportColumns Comment) {
        TFileImportColumns c;
        c.FileName = FileName;
        c.FolderName = Folder;
        c.Comment = Comment;
        return c;
    };
    EXPECT_EQ(FileImportColumnCheck(cols({0, 0}, {9, 1}, {})),
              "The Starting And Ending Columns For The FileName Cannot Be Zero");
    EXPECT_EQ(FileImportColumnCheck(cols({5, 1}, {9, 1}, {})),
              "The Ending Column For The FileName Cannot Be Less Than The Starting Column");
    EXPECT_EQ(FileImportColumnCheck(cols({1, 16}, {9, 1}, {4, 2})),
              "The Ending Column For The Folder Name Cannot Be Less Than The Starting Column");
    EXPECT_EQ(FileImportColumnCheck(cols({0, 16}, {0, 7}, {})), "");  // start 0: any end passes
    TFileImportColumns attr = cols({1, 16}, {}, {});
    attr.Attribute = {30, 29};
    EXPECT_EQ(FileImportColumnCheck(attr),
              "The Ending Column For The File Attribute Cannot Be Less Than The Starting Column");

    TCommentImportColumns c;
    EXPECT_EQ(CommentImportColumnCheck(c), "");
    c.Comment = {0, 0};
    EXPECT_EQ(CommentImportColumnCheck(c), "The Starting And Ending Columns For The Comment Cannot Be Zero");
    c.VolumeLabel = {20, 10};  // the volume label is checked before the comment
    EXPECT_EQ(CommentImportColumnCheck(c),
              "The Ending Column For The Volume Label Cannot Be Less Than The Starting Column");
}

// A source handing out Text in pieces of Step bytes, failing after FailAfter bytes (when not -1).
TImportLineReader::TSource PieceSource(const std::string& Text, size_t Step, int64_t FailAfter = -1) {
    auto pos = std::make_shared<size_t>(0);
    return [=](char* Buffer, size_t Count) -> int64_t {
        if (FailAfter >= 0 && int64_t(*pos) >= FailAfter) return -1;
        const size_t n = std::min({Count, Step, Text.size() - *pos});
        std::copy_n(Text.data() + *pos, n, Buffer);
        *pos += n;
        return int64_t(n);
    };
}

std::vector<std::string> AllLines(TImportLineReader& Reader, TImportLineReader::TResult& Last) {
    std::vector<std::string> lines;
    std::string line;
    while ((Last = Reader.ReadLine(line)) == TImportLineReader::lrLine) lines.push_back(line);
    return lines;
}

TEST(ImportTextLines, LineEndsLimitAndErrors) {
    TImportLineReader::TResult last;
    for (size_t step : {1u, 3u, 100000u}) {
        TImportLineReader reader(PieceSource("one\r\ntwo\n\nthree", step));
        EXPECT_EQ(AllLines(reader, last), (std::vector<std::string>{"one", "two", "", "three"})) << step;
        EXPECT_EQ(last, TImportLineReader::lrEnd);
    }
    // A line past the limit gives its first characters; the rest of it is skipped.
    TImportLineReader bounded(PieceSource("abcdefghij\nxy\n", 4), 5);
    EXPECT_EQ(AllLines(bounded, last), (std::vector<std::string>{"abcde", "xy"}));
    // A read error after the first line: that line is kept, then the error is reported.
    TImportLineReader failing(PieceSource("first\nsecond\nthird\n", 6, 6));
    EXPECT_EQ(AllLines(failing, last), (std::vector<std::string>{"first"}));
    EXPECT_EQ(last, TImportLineReader::lrError);
}

TEST(ImportTextLines, LineWithoutBreaksIsBoundedInMemory) {
    // 50 MB without a line break: one line of at most the limit.
    size_t given = 0;
    TImportLineReader reader([&](char* Buffer, size_t Count) -> int64_t {
        const size_t n = std::min<size_t>(Count, 50'000'000 - given);
        std::fill_n(Buffer, n, 'x');
        given += n;
        return int64_t(n);
    });
    std::string line;
    ASSERT_EQ(reader.ReadLine(line), TImportLineReader::lrLine);
    EXPECT_EQ(line.size(), TImportLineReader::kLineLimit);
    EXPECT_EQ(reader.ReadLine(line), TImportLineReader::lrEnd);
}

std::vector<TFileImportEntry> ParseFiles(const TFileImportColumns& Columns,
                                         const std::vector<std::string>& Lines) {
    TFileListingParser parser(Columns);
    std::vector<TFileImportEntry> out;
    for (const std::string& line : Lines)
        if (auto e = parser.Feed(line)) out.push_back(*e);
    if (auto e = parser.Finish()) out.push_back(*e);
    return out;
}

TEST(ImportTextFileEntries, ContinuationNeedsAFolderColumn) {
    TFileImportColumns withFolder;
    withFolder.FileName = {1, 12};
    withFolder.FolderName = {14, 20};
    withFolder.Comment = {22, 40};
    const std::vector<std::string> lines = {"                     before first", "A.TXT        \\DOCS   one",
                                            "                     two", "", "B.TXT        \\       "};
    auto entries = ParseFiles(withFolder, lines);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].FileName, "A.TXT");
    EXPECT_EQ(entries[0].FolderName, "\\DOCS");
    EXPECT_EQ(entries[0].Comment, "one\r\ntwo\r\n");  // the blank line adds an empty line
    EXPECT_EQ(entries[1].FolderName, "\\");
    EXPECT_EQ(entries[1].SizeText, "0");  // no size column

    // Without a folder column the folder is "\", so no line continues a comment: a blank line is an
    // entry without a file name, never written, and it ends the entry above.
    TFileImportColumns noFolder;
    noFolder.FileName = {1, 12};
    noFolder.Comment = {22, 40};
    entries = ParseFiles(noFolder, lines);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Comment, "one");
    EXPECT_EQ(entries[1].FileName, "B.TXT");
}

TEST(ImportTextCommentEntries, DefaultProfileContinuesUnderBlankNames) {
    const TCommentImportColumns defaults;  // file name 1-16, comment 18-255, other items 0 and 0
    TCommentListingParser parser(defaults);
    std::vector<TCommentImportEntry> out;
    const std::vector<std::string> lines = {
        "README.TXT       first",   // entry
        "                 second",  // first sixteen blank: continues
        "NOCOMMENT.TXT",            // entry with a blank comment and no continuation: not handed on
        "X.TXT            ",        // entry whose comment comes only from continuation lines
        "                 later",
        "Q",  // first character not blank: a new entry
    };
    for (const std::string& line : lines)
        if (auto e = parser.Feed(line)) out.push_back(*e);
    if (auto e = parser.Finish()) out.push_back(*e);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].FileName, "README.TXT");
    EXPECT_EQ(out[0].Comment, "first\r\nsecond");
    EXPECT_EQ(out[0].VolumeLabel, "R");  // columns 0 and 0 cut the first character
    EXPECT_EQ(out[1].FileName, "X.TXT");
    EXPECT_EQ(out[1].Comment, "\r\nlater");
}

}  // namespace
}  // namespace tools
