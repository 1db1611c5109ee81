#pragma once
// Test helpers: a temporary native folder removed with its contents, and a drive map set through
// KORVANE_DRIVES for the lifetime of a scope.

#include <string>
#include <string_view>

namespace platform::testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed recursively when the object goes.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // Native path of a name inside the folder ("a/b.txt").
    std::string operator/(std::string_view relative) const { return path_ + "/" + std::string(relative); }

    // Writes a file (creating missing parent folders) and returns its native path.
    std::string WriteFile(std::string_view relative, std::string_view content) const;
    std::string MakeFolder(std::string_view relative) const;

private:
    std::string path_;
};

// Reads a whole native file; empty when it cannot be read.
std::string ReadNativeFile(const std::string& path);

// Sets KORVANE_DRIVES (and reloads the drive map) for its lifetime; the old value and the
// current folder come back afterwards.
class TScopedDrives {
public:
    explicit TScopedDrives(std::string_view map);
    ~TScopedDrives();
    TScopedDrives(const TScopedDrives&) = delete;
    TScopedDrives& operator=(const TScopedDrives&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
    std::string oldNativeFolder_;
};

}  // namespace platform::testsupport
