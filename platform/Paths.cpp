#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/CodePage.h"
#include "platform/Process.h"

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string NativeCurrentFolder() {
    std::string buffer(4096, '\0');
    if (getcwd(buffer.data(), buffer.size()) == nullptr) return "/";
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// Folds ".", ".." and repeated slashes of an absolute native path.
std::string NormalizeNative(std::string_view path) {
    std::string absolute = path.empty() || path.front() != '/'
                               ? NativeCurrentFolder() + "/" + std::string(path)
                               : std::string(path);
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < absolute.size()) {
        std::size_t j = absolute.find('/', i);
        if (j == std::string::npos) j = absolute.size();
        std::string part = absolute.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string UnescapeMountField(std::string_view field) {
    // /proc/self/mounts writes blanks, tabs, newlines and backslashes as three octal digits.
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 &&
                std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string> MountPoints() {
    std::vector<std::string> points;
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        const auto first = line.find(' ');
        if (first == std::string::npos) continue;
        const auto second = line.find(' ', first + 1);
        if (second == std::string::npos) continue;
        points.push_back(UnescapeMountField(std::string_view(line).substr(first + 1, second - first - 1)));
    }
    return points;
}

struct DriveState {
    std::mutex mutex;
    bool loaded = false;
    std::vector<TDriveRecord> drives;
    std::string current;  // Windows form, no final backslash except at a root ("C:\")
};

DriveState& State() {
    static DriveState state;
    return state;
}

std::vector<TDriveRecord> LoadDrives() {
    const char* env = std::getenv("KORVANE_DRIVES");
    if (env != nullptr && *env != '\0') return ParseDriveMap(env);
    return DefaultDriveMap(MountPoints());
}

std::string NativeToWindowsLocked(const std::vector<TDriveRecord>& drives, std::string_view native);

void EnsureLoadedLocked(DriveState& state) {
    if (state.loaded) return;
    state.drives = LoadDrives();
    state.loaded = true;
    state.current = NativeToWindowsLocked(state.drives, NativeCurrentFolder());
    if (state.current.empty() && !state.drives.empty())
        state.current = std::string(1, state.drives[0].Letter) + ":\\";
    if (state.current.empty()) state.current = "C:\\";
}

std::string NativeToWindowsLocked(const std::vector<TDriveRecord>& drives, std::string_view native) {
    const std::string path = NormalizeNative(native);
    const TDriveRecord* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& drive : drives) {
        const std::string& root = drive.Root;
        bool holds;
        if (root == "/")
            holds = true;
        else
            holds = path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                                     path[root.size()] == '/');
        if (holds && (best == nullptr || root.size() > bestLength)) {
            best = &drive;
            bestLength = root.size();
        }
    }
    if (best == nullptr) return {};
    std::string rest =
        best->Root == "/" ? path.substr(1) : path.substr(std::min(path.size(), bestLength + 1));
    return std::string(1, best->Letter) + ":\\" + Utf8ToAnsi(SlashesToBackslashes(rest));
}

bool ValidName(std::string_view name) {
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*')
            return false;
    }
    return true;
}

// Finds the native entry of the open folder `folder` for the Windows-1252 `name`: exact spelling
// first, else the smallest native name that matches without regard to case. Empty when nothing
// matches.
std::string MatchEntry(int folder, std::string_view name) {
    const std::string exact = AnsiToUtf8(name);
    struct stat st {};
    if (fstatat(folder, exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return exact;
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return {};
    DIR* dir = fdopendir(listing);
    if (dir == nullptr) {
        close(listing);
        return {};
    }
    const std::string wanted = AnsiUpperString(name);
    std::string best;
    while (dirent* entry = readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        if (AnsiUpperString(Utf8ToAnsi(entryName)) != wanted) continue;
        if (best.empty() || entryName < best) best = entryName;
    }
    closedir(dir);
    return best;
}

// Opens a folder for the *at calls only (search permission is all it needs, links are followed).
std::shared_ptr<const TOpenFolder> OpenFolderAt(int at, const char* name) {
    const int fd = openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_shared<const TOpenFolder>(fd);
}

}  // namespace

TOpenFolder::~TOpenFolder() {
    if (fd_ >= 0) close(fd_);
}

int TNativePath::At() const {
    return Folder ? Folder->Fd() : AT_FDCWD;
}

bool TDriveRecord::HasAttribute(std::string_view key) const {
    return std::any_of(Attributes.begin(), Attributes.end(), [&](const auto& a) { return a.first == key; });
}

std::string TDriveRecord::Attribute(std::string_view key) const {
    for (const auto& a : Attributes)
        if (a.first == key) return a.second;
    return {};
}

std::vector<TDriveRecord> ParseDriveMap(std::string_view text) {
    std::map<char, TDriveRecord> byLetter;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t j = text.find(';', i);
        if (j == std::string_view::npos) j = text.size();
        std::string_view entry = Trim(text.substr(i, j - i));
        i = j + 1;
        if (entry.size() < 3 || entry[1] != '=') continue;
        char letter = entry[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
        if (letter < 'A' || letter > 'Z') continue;
        entry.remove_prefix(2);
        TDriveRecord drive;
        drive.Letter = letter;
        std::size_t bar = entry.find('|');
        const std::string_view root = Trim(entry.substr(0, bar));
        if (root.empty()) continue;
        drive.Root = NormalizeNative(root);
        while (bar != std::string_view::npos) {
            const std::size_t next = entry.find('|', bar + 1);
            const std::string_view attribute = Trim(entry.substr(
                bar + 1, next == std::string_view::npos ? std::string_view::npos : next - bar - 1));
            bar = next;
            if (attribute.empty()) continue;
            const std::size_t eq = attribute.find('=');
            std::string key(Trim(attribute.substr(0, eq)));
            for (char& c : key)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            const std::string value(eq == std::string_view::npos ? std::string_view()
                                                                 : Trim(attribute.substr(eq + 1)));
            if (!key.empty()) drive.Attributes.emplace_back(std::move(key), value);
        }
        byLetter[letter] = std::move(drive);
    }
    std::vector<TDriveRecord> drives;
    for (auto& [letter, drive] : byLetter) drives.push_back(std::move(drive));
    return drives;
}

std::vector<TDriveRecord> DefaultDriveMap(std::vector<std::string> mountPoints) {
    std::vector<TDriveRecord> drives;
    drives.push_back(TDriveRecord{'C', "/", {}});
    std::vector<std::string> below;
    for (const auto& point : mountPoints) {
        for (std::string_view prefix : {"/media/", "/run/media/", "/mnt/"}) {
            if (point.size() > prefix.size() && point.compare(0, prefix.size(), prefix) == 0) {
                below.push_back(NormalizeNative(point));
                break;
            }
        }
    }
    std::sort(below.begin(), below.end());
    below.erase(std::unique(below.begin(), below.end()), below.end());
    char letter = 'D';
    for (auto& point : below) {
        if (letter > 'Z') break;
        drives.push_back(TDriveRecord{letter++, std::move(point), {}});
    }
    return drives;
}

std::vector<TDriveRecord> GetDriveMap() {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    EnsureLoadedLocked(state);
    return state.drives;
}

std::optional<TDriveRecord> FindDrive(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    auto& state = State();
    std::lock_guard lock(state.mutex);
    EnsureLoadedLocked(state);
    for (const auto& drive : state.drives)
        if (drive.Letter == letter) return drive;
    return std::nullopt;
}

void ReloadDriveMap() {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    state.loaded = false;
    EnsureLoadedLocked(state);
}

std::string GetFullPathName(std::string_view path) {
    if (path.empty()) return {};
    std::string current;
    {
        auto& state = State();
        std::lock_guard lock(state.mutex);
        EnsureLoadedLocked(state);
        current = state.current;
    }
    std::string p = SlashesToBackslashes(path);
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return p;  // network names are not folded
    char letter;
    std::string rest;
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
        letter = static_cast<char>(p[0] >= 'a' ? p[0] - 32 : p[0]);
        rest = p.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // Drive-relative: from the current folder when it is on that drive, else from its root.
            rest = (current[0] == letter ? current.substr(2) + "\\" : std::string("\\")) + rest;
        }
    } else {
        letter = current[0];
        rest = p[0] == '\\' ? p : current.substr(2) + "\\" + p;
    }
    const bool finalSeparator = rest.size() > 1 && rest.back() == '\\';
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < rest.size()) {
        std::size_t j = rest.find('\\', i);
        if (j == std::string::npos) j = rest.size();
        std::string part = rest.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out(1, letter);
    out += ":\\";
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) out += '\\';
        out += parts[k];
    }
    if (finalSeparator && !parts.empty()) out += '\\';
    return out;
}

bool ResolveWindowsPath(std::string_view path, TNativePath& result) {
    const std::string full = GetFullPathName(path);
    if (full.size() < 3 || full[1] != ':')
        return FailWith(full.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
    const auto drive = FindDrive(full[0]);
    if (!drive) return FailWith(ERROR_INVALID_DRIVE);
    std::vector<std::string_view> parts;
    std::string_view rest = std::string_view(full).substr(3);
    while (!rest.empty()) {
        std::size_t j = rest.find('\\');
        const std::string_view part = rest.substr(0, j);
        if (!part.empty()) parts.push_back(part);
        if (j == std::string_view::npos) break;
        rest.remove_prefix(j + 1);
    }
    std::string native = drive->Root;
    result.Exists = true;
    if (parts.empty()) {  // the root itself, reached from no folder
        result.Native = native;
        result.Folder = nullptr;
        result.Entry = std::move(native);
        return true;
    }
    std::shared_ptr<const TOpenFolder> folder = OpenFolderAt(AT_FDCWD, native.c_str());
    if (!folder) return FailWith(ERROR_PATH_NOT_FOUND);
    // Folders that exist in the spelling asked for are what the steps below would find; they are
    // opened in runs as long as the native limit allows. From the first name that is spelled
    // otherwise (or missing), one step per component from the folder opened for the one before.
    // Either way the cost grows with the depth, never with the length of the native path.
    std::size_t k = 0;
    if (std::all_of(parts.begin(), parts.end(), ValidName)) {
        constexpr std::size_t kRunBytes = 3072;
        while (k + 1 < parts.size()) {
            std::string run;
            std::size_t end = k;
            for (; end + 1 < parts.size(); ++end) {
                const std::string name = AnsiToUtf8(parts[end]);
                if (!run.empty() && run.size() + 1 + name.size() > kRunBytes) break;
                if (!run.empty()) run += '/';
                run += name;
            }
            auto inner = OpenFolderAt(folder->Fd(), run.c_str());
            if (!inner) break;
            folder = std::move(inner);
            if (native != "/") native += '/';
            native += run;
            k = end;
        }
    }
    std::string entry;
    for (const std::size_t first = k; k < parts.size(); ++k) {
        if (!ValidName(parts[k])) return FailWith(ERROR_INVALID_NAME);
        if (k > first) {
            folder = OpenFolderAt(folder->Fd(), entry.c_str());
            if (!folder) return FailWith(ERROR_PATH_NOT_FOUND);
        }
        const bool last = k + 1 == parts.size();
        entry = MatchEntry(folder->Fd(), parts[k]);
        if (entry.empty()) {
            if (!last) return FailWith(ERROR_PATH_NOT_FOUND);
            result.Exists = false;
            entry = AnsiToUtf8(parts[k]);
        }
        if (native != "/") native += '/';
        native += entry;
    }
    result.Native = std::move(native);
    result.Folder = std::move(folder);
    result.Entry = std::move(entry);
    return true;
}

bool ResolveExistingPath(std::string_view path, TNativePath& result) {
    if (!ResolveWindowsPath(path, result)) return false;
    if (!result.Exists) return FailWith(ERROR_FILE_NOT_FOUND);
    return true;
}

bool ResolveExistingPath(std::string_view path, std::string& native) {
    TNativePath resolved;
    if (!ResolveExistingPath(path, resolved)) return false;
    native = std::move(resolved.Native);
    return true;
}

std::string NativeToWindowsPath(std::string_view native) {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    EnsureLoadedLocked(state);
    return NativeToWindowsLocked(state.drives, native);
}

std::string GetCurrentDirectory() {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    EnsureLoadedLocked(state);
    return IncludeTrailingBackslash(state.current);
}

bool SetCurrentDirectory(std::string_view path) {
    std::string native;
    if (!ResolveExistingPath(path, native)) return false;
    struct stat st {};
    if (stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
    if (chdir(native.c_str()) != 0) return FailWithErrno(errno);
    std::string full = GetFullPathName(path);
    if (full.size() > 3 && full.back() == '\\') full.pop_back();
    auto& state = State();
    std::lock_guard lock(state.mutex);
    state.current = std::move(full);
    return true;
}

std::string GetTempPath() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = NativeToWindowsPath(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    if (folder.empty()) return GetCurrentDirectory();
    return IncludeTrailingBackslash(folder);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AnsiUpperChar(static_cast<unsigned char>(a[i])) !=
            AnsiUpperChar(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string IncludeTrailingBackslash(std::string_view path) {
    std::string out(path);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

std::string SlashesToBackslashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

}  // namespace platform
