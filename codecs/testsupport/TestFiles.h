#pragma once
// Helpers for the codec tests: temporary folders, running the standard archive tools, reading
// and writing whole files.

#include <cstdint>
#include <filesystem>
#include <string>

namespace codecs::testing {

// A fresh folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

bool ToolAvailable(const std::string& name);
// Runs a shell command in `folder`; returns its exit status.
int Run(const std::string& command, const std::filesystem::path& folder);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
// Deterministic test data: random bytes, or text-like words.
std::string RandomBytes(size_t size, uint32_t seed);
std::string TextLike(size_t size, uint32_t seed);
// The Windows form of a native path.
std::string Win(const std::string& native);
// Little-endian numbers appended to hand-made archive bytes.
void Put16(std::string& s, uint32_t v);
void Put32(std::string& s, uint32_t v);

}  // namespace codecs::testing
