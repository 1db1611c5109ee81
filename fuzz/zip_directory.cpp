// Feeds arbitrary bytes to the ZIP reader as an archive file: the directory read (with the
// local-header scan of a damaged directory), the comments, and the extraction of every entry.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "codecs/zip/ZipDecoders.h"
#include "codecs/zip/ZipReader.h"
#include "platform/Paths.h"

namespace {
std::filesystem::path Folder() {
    static const std::filesystem::path folder = [] {
        auto p = std::filesystem::temp_directory_path() / ("korvane-fuzz-zip-" + std::to_string(getpid()));
        std::filesystem::create_directories(p / "out");
        return p;
    }();
    return folder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto zip = Folder() / "input.zip";
    if (FILE* f = std::fopen(zip.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    static const bool answered = [] {
        codecs::SetZipMessageBox([](const std::string&, const std::string&, int) { return 1; });
        return true;
    }();
    (void)answered;
    codecs::TZipReader reader(nullptr);
    reader.OverwriteMode = codecs::Always;
    reader.IncompleteZipMode = size > 0 && (data[0] & 1) ? codecs::izAssumeBad : codecs::izAssumeMulti;
    reader.OnGetNextDisk = [](framework::TObject*, int32_t, std::string& name) { name.clear(); };
    reader.SetZipName(platform::NativeToWindowsPath(zip.string()));
    reader.SetDestDir(platform::NativeToWindowsPath((Folder() / "out").string()));
    reader.DoAll = true;
    reader.Password = "pw";
    try {
        reader.ReadZip();
        for (int i = 0; i < reader.Count(); ++i) reader.GetFileComment(i);
        reader.GetZipComment();
        reader.UnZip();
    } catch (const framework::Exception&) {
        // The reader's own errors (bad archive, missing disk, premature end) are expected outcomes.
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(Folder() / "out", ec))
        std::filesystem::remove_all(entry.path(), ec);
    return 0;
}
