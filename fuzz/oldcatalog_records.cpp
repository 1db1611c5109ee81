// The files of an old catalog are outside data. The input is cut at the two-byte marker "\xFF\xFE"
// into the data, summary, configuration, comment and category files; every file is checked and
// every record of it read as the conversion reads it (comment chains followed), which must end
// with bounded texts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/oldformat/ConvertOldCatalog.h"
#include "catalog/oldformat/OldRecords.h"
#include "platform/Paths.h"

using namespace catalog::oldformat;

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char name[] = "/tmp/korvane-fuzz-oldcatalog-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        setenv("KORVANE_DRIVES", (std::string("D=") + name).c_str(), 1);
        platform::ReloadDriveMap();
        return std::string(name);
    }();
    return folder;
}

void WriteFile(const std::string& Name, std::string_view Bytes) {
    FILE* f = std::fopen((Folder() + "/" + Name).c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(Bytes.data(), 1, Bytes.size(), f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (parts.size() < 5) {
        const size_t end = std::min(input.find("\xFF\xFE", at), input.size());
        parts.push_back(input.substr(std::min(at, input.size()), end - std::min(at, input.size())));
        at = end + 2;
    }
    const char* names[] = {"OLD.DTA", "OLD.SUM", "OLD.CFG", "OLD.CMT", "KORVANE.CAT"};
    for (size_t i = 0; i < 5; ++i) WriteFile(names[i], parts[i]);
    const TOldCatalogFiles files = TOldCatalogFiles::For("D:\\OLD.DTA");

    OldDataFileError(files.Data);
    OldSummaryFileError(files.Summary);
    if (LongestOldFolderName(files.Data) > 18) std::abort();

    std::vector<uint8_t> record;
    TOldRecordFile config;
    TOldConfig options;
    if (config.Open(files.Config, kConfigRecordSize) && config.Read(0, record))
        ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize>(record), options);
    TOldRecordFile categories;
    if (categories.Open(files.Categories, kCategoryRecordSize) && categories.Read(0, record))
        for (const std::string& code :
             ParseCategoryRecord(std::span<const uint8_t, kCategoryRecordSize>(record)))
            if (code.size() > 3) std::abort();

    TOldRecordFile summary;
    if (summary.Open(files.Summary, kSummaryRecordSize))
        for (int64_t n = 0; summary.Read(n, record); ++n) {
            const TOldSummaryRecord r =
                ParseSummaryRecord(std::span<const uint8_t, kSummaryRecordSize>(record));
            if (r.VolumeLabel.size() > 11 || r.Comment.size() > 40) std::abort();
            framework::TDateTime date = 0;
            DecodeOldDate(r.Packed, date);
        }

    TOldRecordFile comments;
    const bool haveComments = comments.Open(files.Comments, kCommentRecordSize);
    TOldRecordFile entries;
    if (entries.Open(files.Data, kDataRecordSize))
        for (int64_t n = 0; entries.Read(n, record); ++n) {
            const TOldDataRecord r = ParseDataRecord(std::span<const uint8_t, kDataRecordSize>(record));
            if (r.FileName.size() > 12 || r.FolderName.size() > 18 || r.ArchiveID.size() > 12) std::abort();
            const std::string comment =
                OldComment(r.FirstCommentLine, r.NextComment, haveComments ? &comments : nullptr);
            // The first line and at most one continuation per comment record.
            if (comment.size() > 43 + size_t(comments.Count()) * 45) std::abort();
            framework::TDateTime date = 0, time = 0;
            DecodeOldDate(r.Packed, date);
            DecodeOldTime(r.Packed, time);
        }
    return 0;
}
