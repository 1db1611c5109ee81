#include "codecs/testsupport/TestFiles.h"

#include "codecs/zip/ZipReader.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace codecs::testing {

namespace {
// Codec tests never show a real message box: unless a test installs its own answers, every box
// of the ZIP reader is answered OK (or Yes). This file is linked into every codec test.
struct InstallAnswers {
    InstallAnswers() {
        SetZipMessageBox(
            [](const std::string&, const std::string&, int buttons) { return buttons == 4 ? 6 : 1; });
    }
} installAnswers;
}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-codecs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

bool ToolAvailable(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

int Run(const std::string& command, const std::filesystem::path& folder) {
    std::string line = "cd '" + folder.string() + "' && (" + command + ") >/dev/null 2>&1 </dev/null";
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // A missing fixture is no empty file (an output a test looks for may be missing).
    if (!in && path.find("/testdata/") != std::string::npos) ADD_FAILURE() << "cannot read " << path;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 g(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(g() & 0xFF);
    return s;
}

std::string TextLike(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"the ",     "catalog ", "of ",    "disks ",   "volume ", "label ",
                                         "archive ", "folder ",  "file ",  "name ",    "size ",   "date\r\n",
                                         "and ",     "zip ",     "entry ", "korvane ", "0123 ",   "a "};
    std::mt19937 g(seed);
    std::string s;
    s.reserve(size + 16);
    while (s.size() < size) s += kWords[g() % (sizeof kWords / sizeof *kWords)];
    s.resize(size);
    return s;
}

std::string Win(const std::string& native) { return platform::NativeToWindowsPath(native); }

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

}  // namespace codecs::testing
