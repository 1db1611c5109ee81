#include "platform/testsupport/TestDrives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Paths.h"

namespace platform::testsupport {

TTempFolder::TTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/korvane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TTempFolder::~TTempFolder() {
    std::error_code ignored;
    // Read-only files and folders left by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        chmod(it->path().c_str(), it->is_directory(ignored) ? 0700 : 0600);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TTempFolder::WriteFile(std::string_view relative, std::string_view content) const {
    const std::string path = *this / relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string TTempFolder::MakeFolder(std::string_view relative) const {
    const std::string path = *this / relative;
    std::filesystem::create_directories(path);
    return path;
}

std::string ReadNativeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // A missing fixture fails the test rather than reading as an empty file (an output a test
    // looks for may be missing).
    if (!in && path.find("/testdata/") != std::string::npos) ADD_FAILURE() << "cannot read " << path;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TScopedDrives::TScopedDrives(std::string_view map) {
    if (const char* old = std::getenv("KORVANE_DRIVES")) {
        hadOld_ = true;
        old_ = old;
    }
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) != nullptr) oldNativeFolder_ = buffer;
    setenv("KORVANE_DRIVES", std::string(map).c_str(), 1);
    ReloadDriveMap();
}

TScopedDrives::~TScopedDrives() {
    if (hadOld_)
        setenv("KORVANE_DRIVES", old_.c_str(), 1);
    else
        unsetenv("KORVANE_DRIVES");
    if (!oldNativeFolder_.empty() && chdir(oldNativeFolder_.c_str()) != 0) {
    }
    ReloadDriveMap();
}

}  // namespace platform::testsupport
