#include "platform/Shell.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/XdgDirs.h"

extern char** environ;

namespace platform {
namespace {

// ---- started processes ---------------------------------------------------------------------

struct Launched {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    uint32_t exitCode = STILL_ACTIVE;
};

std::mutex gTableMutex;
std::map<HPROCESS, std::shared_ptr<Launched>> gProcesses;
HPROCESS gNextProcess = 1;

// A reaper thread per child collects its status, so that no child is left a zombie and a later
// wait (if any) finds the result.
std::shared_ptr<Launched> Watch(pid_t pid) {
    auto state = std::make_shared<Launched>();
    std::thread([pid, state] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status))
                                            : 0xC0000000u | static_cast<uint32_t>(WTERMSIG(status));
        state->ended.notify_all();
    }).detach();
    return state;
}

std::shared_ptr<Launched> FindProcess(HPROCESS h) {
    std::lock_guard lock(gTableMutex);
    auto it = gProcesses.find(h);
    return it == gProcesses.end() ? nullptr : it->second;
}

// ---- programs on PATH ----------------------------------------------------------------------

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t i = 0;
    while (i <= dirs.size()) {
        size_t j = dirs.find(':', i);
        if (j == std::string::npos) j = dirs.size();
        // An empty entry of PATH is the current folder.
        std::string candidate = (j > i ? dirs.substr(i, j - i) : std::string(".")) + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        i = j + 1;
    }
    return {};
}

// Splits a parameter line at blanks; double quotes group blanks into one argument.
std::vector<std::string> SplitParameters(std::string_view line) {
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) args.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) args.push_back(cur);
    return args;
}

// Starts a program without waiting for it; its standard input is /dev/null.
bool Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
           pid_t* pid) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = ::posix_spawn(pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        SetLastError(rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

// ---- file types and associations -----------------------------------------------------------

std::vector<std::string> DataFolders() {
    std::vector<std::string> out{UserHomeFolder() + "/.local/share"};
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home == '/') out[0] = home;
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    size_t i = 0;
    while (i <= list.size()) {
        size_t j = list.find(':', i);
        if (j == std::string::npos) j = list.size();
        if (j > i && list[i] == '/') out.push_back(list.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

std::vector<std::string> ConfigFolders() {
    std::vector<std::string> out{UserHomeFolder() + "/.config"};
    if (const char* home = std::getenv("XDG_CONFIG_HOME"); home && *home == '/') out[0] = home;
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string list = dirs && *dirs ? dirs : "/etc/xdg";
    size_t i = 0;
    while (i <= list.size()) {
        size_t j = list.find(':', i);
        if (j == std::string::npos) j = list.size();
        if (j > i && list[i] == '/') out.push_back(list.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

std::string LowerAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// Matches a file name against a glob of the MIME database ("*.txt", "README*", "[Mm]akefile").
bool GlobMatch(std::string_view glob, std::string_view name) {
    size_t g = 0, n = 0, starG = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == '*') {
            starG = g++;
            starN = n;
        } else if (g < glob.size() && glob[g] == '[') {
            size_t close = glob.find(']', g + 1);
            if (close == std::string_view::npos) return false;
            bool match = false;
            for (size_t k = g + 1; k < close; ++k) match = match || glob[k] == name[n];
            if (match) {
                g = close + 1;
                ++n;
            } else if (starG != std::string_view::npos) {
                g = starG + 1;
                n = ++starN;
            } else {
                return false;
            }
        } else if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) {
            ++g;
            ++n;
        } else if (starG != std::string_view::npos) {
            g = starG + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*') ++g;
    return g == glob.size();
}

bool LooksLikeText(const std::string& nativePath) {
    std::ifstream f(nativePath, std::ios::binary);
    char buf[512];
    f.read(buf, sizeof buf);
    std::streamsize n = f.gcount();
    for (std::streamsize i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(buf[i]);
        if (c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A))
            return false;
    }
    return true;
}

// Types a type counts as, most specific first: itself, its declared parents, text/plain for
// text/*, application/octet-stream for everything that is not a folder.
std::vector<std::string> TypeAndParents(const std::string& type) {
    std::vector<std::string> out{type};
    std::multimap<std::string, std::string> parents;
    for (auto& base : DataFolders()) {
        std::ifstream f(base + "/mime/subclasses");
        std::string child, parent;
        while (f >> child >> parent) parents.emplace(child, parent);
    }
    for (size_t i = 0; i < out.size() && i < 32; ++i) {
        auto [b, e] = parents.equal_range(out[i]);
        for (auto it = b; it != e; ++it)
            if (std::find(out.begin(), out.end(), it->second) == out.end()) out.push_back(it->second);
    }
    if (type.starts_with("text/") && std::find(out.begin(), out.end(), "text/plain") == out.end())
        out.push_back("text/plain");
    if (!type.starts_with("inode/") &&
        std::find(out.begin(), out.end(), "application/octet-stream") == out.end())
        out.push_back("application/octet-stream");
    return out;
}

// The value of "key=" lines inside one [group] of a desktop-style file, split at ";".
bool ListsType(const std::string& file, const std::vector<std::string>& groups, const std::string& key,
               const std::string& type) {
    std::ifstream f(file);
    std::string line;
    bool inGroup = false;
    while (std::getline(f, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("[")) {
            inGroup = std::find(groups.begin(), groups.end(), line) != groups.end();
            continue;
        }
        if (!inGroup) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string k = line.substr(0, eq), v = line.substr(eq + 1);
        while (!k.empty() && k.back() == ' ') k.pop_back();
        if (!key.empty()) {
            if (k != key) continue;
            size_t i = 0;
            while (i <= v.size()) {
                size_t j = v.find(';', i);
                if (j == std::string::npos) j = v.size();
                if (v.compare(i, j - i, type) == 0) return true;
                i = j + 1;
            }
        } else if (k == type && v.find_first_not_of("; ") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool DesktopEntryHandles(const std::string& file, const std::string& type) {
    std::ifstream f(file);
    std::string line;
    bool inEntry = false, hidden = false, listed = false;
    while (std::getline(f, line)) {
        if (line.starts_with("[")) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        if (line == "Hidden=true") hidden = true;
        if (line.starts_with("MimeType=")) {
            std::string v = line.substr(9);
            size_t i = 0;
            while (i <= v.size()) {
                size_t j = v.find(';', i);
                if (j == std::string::npos) j = v.size();
                if (v.compare(i, j - i, type) == 0) listed = true;
                i = j + 1;
            }
        }
    }
    return listed && !hidden;
}

bool AnyDesktopEntryHandles(const std::string& folder, const std::string& type, int depth) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return false;
    bool found = false;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string full = folder + "/" + name;
        struct stat st {};
        if (::stat(full.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) && depth < 3)
            found = AnyDesktopEntryHandles(full, type, depth + 1);
        else if (S_ISREG(st.st_mode) && name.size() > 8 && name.ends_with(".desktop"))
            found = DesktopEntryHandles(full, type);
        if (found) break;
    }
    ::closedir(d);
    return found;
}

bool IsKnownHandler(const std::string& type) {
    const std::vector<std::string> assoc{"[Default Applications]", "[Added Associations]"};
    for (auto& c : ConfigFolders())
        if (ListsType(c + "/mimeapps.list", assoc, "", type)) return true;
    for (auto& d : DataFolders()) {
        std::string apps = d + "/applications";
        if (ListsType(apps + "/mimeapps.list", assoc, "", type)) return true;
        if (ListsType(apps + "/mimeinfo.cache", {"[MIME Cache]"}, "", type)) return true;
        if (AnyDesktopEntryHandles(apps, type, 0)) return true;
    }
    return false;
}

// A program is an executable file that starts as one: a script ("#!") or an ELF image. The
// execute bit alone says little: FAT and NTFS mounts often give it to every file.
bool IsProgram(const std::string& nativePath, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || ::access(nativePath.c_str(), X_OK) != 0) return false;
    std::ifstream f(nativePath, std::ios::binary);
    char magic[4] = {};
    f.read(magic, sizeof magic);
    return (f.gcount() >= 2 && magic[0] == '#' && magic[1] == '!') ||
           (f.gcount() == 4 && std::string_view(magic, 4) ==
                                   "\x7F"
                                   "ELF");
}

}  // namespace

std::string FileMimeType(const std::string& nativePath) {
    struct stat st {};
    if (::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "inode/directory";
    std::string name = nativePath.substr(nativePath.rfind('/') + 1);
    std::string lower = LowerAscii(name);
    // globs2 lines are "weight:type:glob[:flags]"; a case-sensitive match beats the others, then
    // the heaviest, then the longest glob wins.
    bool bestCase = false;
    int bestWeight = -1;
    size_t bestLength = 0;
    std::string best;
    for (auto& base : DataFolders()) {
        std::ifstream f(base + "/mime/globs2");
        std::string line;
        while (std::getline(f, line)) {
            if (line.empty() || line[0] == '#') continue;
            size_t a = line.find(':'), b = line.find(':', a + 1);
            if (a == std::string::npos || b == std::string::npos) continue;
            size_t c = line.find(':', b + 1);
            std::string glob = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
            bool caseSensitive = c != std::string::npos && line.find("cs", c) != std::string::npos;
            int weight = std::atoi(line.substr(0, a).c_str());
            if (!(caseSensitive ? GlobMatch(glob, name) : GlobMatch(LowerAscii(glob), lower))) continue;
            size_t length = glob.size();
            if (std::tie(caseSensitive, weight, length) > std::tie(bestCase, bestWeight, bestLength)) {
                bestCase = caseSensitive;
                bestWeight = weight;
                bestLength = length;
                best = line.substr(a + 1, b - a - 1);
            }
        }
    }
    if (!best.empty()) return best;
    return LooksLikeText(nativePath) ? "text/plain" : "application/octet-stream";
}

bool HasAssociatedProgram(const std::string& mimeType) {
    for (auto& t : TypeAndParents(mimeType))
        if (IsKnownHandler(t)) return true;
    return false;
}

namespace {

bool IsUrl(std::string_view text) {
    // scheme ":" with a scheme of two or more characters, so that "D:\X" stays a path.
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!alpha(text[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        char c = text[i];
        if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// Starts the program and, when asked for, hands back a handle of the started process.
bool StartProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
                  SHELLEXECUTEINFO* info) {
    pid_t pid = 0;
    if (!Spawn(program, args, folder, &pid)) return false;
    auto state = Watch(pid);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
        std::lock_guard lock(gTableMutex);
        info->hProcess = gNextProcess++;
        gProcesses[info->hProcess] = std::move(state);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace

bool ShellExecuteEx(SHELLEXECUTEINFO* info) {
    if (!info) return FailWith(ERROR_INVALID_PARAMETER);
    info->hProcess = 0;
    if (info->lpFile.empty()) return FailWith(ERROR_FILE_NOT_FOUND);
    std::string verb = LowerAscii(info->lpVerb.empty() ? std::string("open") : info->lpVerb);
    if (IsUrl(info->lpFile)) {
        // A web or mail address goes to the desktop's opener as it stands.
        if (verb != "open") return FailWith(ERROR_NO_ASSOCIATION);
        std::string opener = FindOnPath("xdg-open");
        if (opener.empty()) return FailWith(ERROR_NO_ASSOCIATION);
        return StartProgram(opener, {AnsiToUtf8(info->lpFile)}, {}, info);
    }
    std::string native;
    if (!ResolveExistingPath(info->lpFile, native)) return false;
    std::string folder;
    if (!info->lpDirectory.empty() && !ResolveExistingPath(info->lpDirectory, folder))
        return FailWith(ERROR_PATH_NOT_FOUND);
    struct stat st {};
    ::stat(native.c_str(), &st);
    bool isFolder = S_ISDIR(st.st_mode);

    std::string program;
    std::vector<std::string> args;
    if (verb == "print") {
        program = isFolder ? std::string() : FindOnPath("lp");
        if (program.empty()) return FailWith(ERROR_NO_ASSOCIATION);
        args = {"--", native};
    } else if (verb == "open" || verb == "explore") {
        if (verb == "open" && IsProgram(native, st)) {
            program = native;  // a program starts itself
            args = SplitParameters(info->lpParameters);
        } else {
            if (!isFolder && !HasAssociatedProgram(FileMimeType(native)))
                return FailWith(ERROR_NO_ASSOCIATION);
            program = FindOnPath("xdg-open");
            if (program.empty()) return FailWith(ERROR_NO_ASSOCIATION);
            args = {native};
        }
    } else {
        return FailWith(ERROR_NO_ASSOCIATION);
    }

    return StartProgram(program, args, folder, info);
}

intptr_t ShellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                      std::string_view directory, int32_t showCommand) {
    SHELLEXECUTEINFO info;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = showCommand;
    if (ShellExecuteEx(&info)) return 42;
    uint32_t e = GetLastError();
    if (e == ERROR_NO_ASSOCIATION) return SE_ERR_NOASSOC;
    return e == 0 ? 0 : static_cast<intptr_t>(e);
}

uint32_t WaitForProcess(HPROCESS process, uint32_t milliseconds) {
    auto state = FindProcess(process);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock lock(state->mutex);
    if (milliseconds == INFINITE) {
        state->ended.wait(lock, [&] { return state->done; });
        return WAIT_OBJECT_0;
    }
    return state->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return state->done; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
}

bool GetExitCodeProcess(HPROCESS process, uint32_t* exitCode) {
    auto state = FindProcess(process);
    if (!state) return FailWith(ERROR_INVALID_HANDLE);
    std::lock_guard lock(state->mutex);
    *exitCode = state->done ? state->exitCode : STILL_ACTIVE;
    return true;
}

bool CloseProcessHandle(HPROCESS process) {
    std::lock_guard lock(gTableMutex);
    if (!gProcesses.erase(process)) return FailWith(ERROR_INVALID_HANDLE);
    return true;
}

std::vector<std::string> SystemAboutLines(const std::string& OsRelease) {
    std::vector<std::string> lines;
    std::ifstream f;
    for (const char* name : {"/etc/os-release", "/usr/lib/os-release"}) {
        f.open(OsRelease.empty() ? name : OsRelease.c_str());
        if (f.is_open() || !OsRelease.empty()) break;
    }
    std::string line, pretty;
    while (std::getline(f, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string value = line.substr(12);
        // Shell-style quoting: one pair of quotes around the value, backslash escapes inside.
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
            std::string unquoted;
            for (size_t i = 1; i + 1 < value.size(); ++i) {
                if (value[i] == '\\' && i + 2 < value.size()) ++i;
                unquoted += value[i];
            }
            value = unquoted;
        }
        pretty = value;
    }
    if (!pretty.empty()) lines.push_back(Utf8ToAnsi(pretty));
    struct utsname u {};
    if (::uname(&u) == 0 && u.release[0]) lines.push_back(Utf8ToAnsi(u.release));
    std::string computer = GetComputerName();
    if (!computer.empty()) lines.push_back(computer);
    return lines;
}

}  // namespace platform
