// The listing files of the text imports: lines read with their length bounded, then cut into file
// entries and comment entries by columns taken from the input's first bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools/import/ImportText.h"

namespace {

int ColumnFrom(const uint8_t* Data, size_t Size, size_t At) {
    if (At + 1 >= Size) return 0;
    // Columns up to 99,999 as a profile allows, and a few below 1.
    return int((uint32_t(Data[At]) << 8 | Data[At + 1]) % 100002) - 2;
}

tools::TImportColumns PairFrom(const uint8_t* Data, size_t Size, size_t& At) {
    tools::TImportColumns c{ColumnFrom(Data, Size, At), ColumnFrom(Data, Size, At + 2)};
    At += 4;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    size_t at = 0;
    tools::TFileImportColumns files;
    for (tools::TImportColumns* c :
         {&files.FileName, &files.FolderName, &files.ArchiveID, &files.FileSize, &files.DateModified,
          &files.TimeModified, &files.Attribute, &files.CategoryCode, &files.Comment})
        *c = PairFrom(Data, Size, at);
    tools::TCommentImportColumns comments;
    for (tools::TImportColumns* c : {&comments.FileName, &comments.VolumeLabel, &comments.FolderName,
                                     &comments.ArchiveID, &comments.Comment})
        *c = PairFrom(Data, Size, at);
    tools::FileImportColumnCheck(files);
    tools::CommentImportColumnCheck(comments);
    at = std::min(at, Size);
    // Short reads of varying size, and a small line limit so that long lines are cut often.
    size_t pos = at;
    size_t step = 1;
    tools::TImportLineReader reader(
        [&](char* Buffer, size_t Count) -> int64_t {
            const size_t n = std::min({Count, Size - pos, step});
            step = step % 7 + 1;
            std::memcpy(Buffer, Data + pos, n);
            pos += n;
            return int64_t(n);
        },
        64);
    tools::TFileListingParser fileParser(files);
    tools::TCommentListingParser commentParser(comments);
    std::string line;
    while (reader.ReadLine(line) == tools::TImportLineReader::lrLine) {
        if (line.size() > 64) __builtin_trap();
        if (auto e = fileParser.Feed(line)) tools::ImportAttributeFromLetters(e->AttributeText);
        commentParser.Feed(line);
    }
    fileParser.Finish();
    commentParser.Finish();
    return 0;
}
