#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/RegionalSettings.h"
#include "platform/XdgDirs.h"

namespace platform {
namespace {

constexpr int32_t kSuccess = 0;
constexpr int32_t kFileNotFound = 2;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kInvalidData = 13;
constexpr int32_t kInvalidParameter = 87;

// ---- names ---------------------------------------------------------------------------------

unsigned char FoldChar(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
    if (c == 0xFF) return 0x9F;
    return c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

// "a\\b\" → "a\b": empty components are dropped, as the system does with doubled separators.
std::string NormalizePath(std::string_view path) {
    std::string out;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string_view::npos) j = path.size();
        if (j > i) {
            if (!out.empty()) out += '\\';
            out.append(path.substr(i, j - i));
        }
        i = j + 1;
    }
    return out;
}

std::string JoinPath(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    return std::string(a) + "\\" + std::string(b);
}

// True when path is below (or equal to, with orSame) the key base.
bool IsBelow(std::string_view path, std::string_view base, bool orSame) {
    if (base.empty()) return orSame || !path.empty();
    if (path.size() == base.size()) return orSame && SameName(path, base);
    return path.size() > base.size() && path[base.size()] == '\\' &&
           SameName(path.substr(0, base.size()), base);
}

// ---- the file ------------------------------------------------------------------------------

struct Value {
    std::string name;
    uint32_t type = REG_SZ;
    std::string data;
};

struct Section {
    std::string path;
    std::vector<Value> values;
    std::vector<std::string> unreadLines;  // kept as they were so that a rewrite loses nothing
};

struct Hive {
    std::vector<Section> sections;
    std::vector<std::string> leadingLines;
    bool loaded = false;
    struct stat stamp {};
    bool hasStamp = false;

    Section* Find(std::string_view path) {
        for (auto& s : sections)
            if (SameName(s.path, path)) return &s;
        return nullptr;
    }
    bool KeyExists(std::string_view path) {
        if (path.empty()) return true;
        for (auto& s : sections)
            if (IsBelow(s.path, path, true)) return true;
        return false;
    }
    Section& Ensure(std::string_view path) {
        if (Section* s = Find(path)) return *s;
        sections.push_back(Section{std::string(path), {}, {}});
        return sections.back();
    }
};

const char kHexDigits[] = "0123456789abcdef";
// The first line of every settings file; other comment lines are kept like unknown lines.
constexpr std::string_view kFileHeader = "; Korvane registry";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Section names: "%HH" for '%', ']', control bytes and bytes above 0x7E.
std::string EscapeSection(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x7F || c == '%' || c == ']') {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool UnescapeSection(std::string_view s, std::string* out) {
    out->clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            *out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

// Quoted texts: "\\", "\"" and "\xHH" for control bytes and bytes above 0x7E.
std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Reads a quoted text at s[*pos]; leaves *pos after the closing quote.
bool Unquote(std::string_view s, size_t* pos, std::string* out) {
    out->clear();
    size_t i = *pos;
    if (i >= s.size() || s[i] != '"') return false;
    for (++i; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= s.size()) return false;
        if (s[i] == '\\' || s[i] == '"') {
            *out += s[i];
        } else if (s[i] == 'x' && i + 2 < s.size()) {
            int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            if (hi < 0 || lo < 0) return false;
            *out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            return false;
        }
    }
    return false;
}

std::string HexList(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        unsigned char c = bytes[i];
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 15];
    }
    return out;
}

bool ParseHexList(std::string_view s, std::string* out) {
    out->clear();
    size_t i = 0;
    while (i < s.size()) {
        if (i + 1 >= s.size()) return false;
        int hi = HexValue(s[i]), lo = HexValue(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        if (i < s.size()) {
            if (s[i] != ',') return false;
            ++i;
            if (i == s.size()) return false;
        }
    }
    return true;
}

std::string FormatValue(const Value& v) {
    std::string line = v.name.empty() ? std::string("@") : Quote(v.name);
    line += '=';
    if (v.type == REG_SZ) {
        line += Quote(v.data);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        line += buf;
    } else if (v.type == REG_EXPAND_SZ) {
        line += "str(2):" + Quote(v.data);
    } else if (v.type == REG_BINARY) {
        line += "hex:" + HexList(v.data);
    } else {
        line += "hex(" + std::to_string(v.type) + "):" + HexList(v.data);
    }
    return line;
}

bool ParseValueLine(std::string_view line, Value* v) {
    size_t pos = 0;
    if (line.starts_with("@=")) {
        v->name.clear();
        pos = 1;
    } else {
        if (!Unquote(line, &pos, &v->name)) return false;
        if (v->name.empty()) return false;
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    std::string_view rest = line.substr(pos + 1);
    if (rest.starts_with("\"")) {
        size_t p = 0;
        v->type = REG_SZ;
        return Unquote(rest, &p, &v->data) && p == rest.size();
    }
    if (rest.starts_with("str(2):")) {
        rest.remove_prefix(7);
        size_t p = 0;
        v->type = REG_EXPAND_SZ;
        return Unquote(rest, &p, &v->data) && p == rest.size();
    }
    if (rest.starts_with("dword:")) {
        rest.remove_prefix(6);
        if (rest.size() != 8) return false;
        uint32_t n = 0;
        for (char c : rest) {
            int d = HexValue(c);
            if (d < 0) return false;
            n = n << 4 | d;
        }
        v->type = REG_DWORD;
        v->data.clear();
        for (int i = 0; i < 4; ++i) v->data += static_cast<char>(n >> (8 * i) & 0xFF);
        return true;
    }
    if (rest.starts_with("hex:")) {
        v->type = REG_BINARY;
        return ParseHexList(rest.substr(4), &v->data);
    }
    if (rest.starts_with("hex(")) {
        size_t close = rest.find("):");
        if (close == std::string_view::npos || close < 5 || close > 14) return false;
        uint64_t t = 0;
        for (char c : rest.substr(4, close - 4)) {
            if (c < '0' || c > '9') return false;
            t = t * 10 + (c - '0');
        }
        if (t > 0xFFFFFFFFu) return false;
        v->type = static_cast<uint32_t>(t);
        return ParseHexList(rest.substr(close + 2), &v->data);
    }
    return false;
}

void ParseHive(std::string_view text, Hive* hive) {
    hive->sections.clear();
    hive->leadingLines.clear();
    Section* current = nullptr;
    size_t i = 0;
    bool first = true;
    while (i < text.size()) {
        size_t j = text.find('\n', i);
        if (j == std::string_view::npos) j = text.size();
        std::string_view line = text.substr(i, j - i);
        i = j + 1;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        bool header = first && line == kFileHeader;
        first = false;
        if (line.empty() || header) continue;
        std::string name;
        if (line.front() == '[' && line.back() == ']' &&
            UnescapeSection(line.substr(1, line.size() - 2), &name)) {
            current = &hive->Ensure(NormalizePath(name));
            continue;
        }
        Value v;
        if (current && ParseValueLine(line, &v)) {
            bool replaced = false;
            for (auto& old : current->values)
                if (SameName(old.name, v.name)) {
                    old = v;
                    replaced = true;
                }
            if (!replaced) current->values.push_back(std::move(v));
        } else if (current) {
            current->unreadLines.emplace_back(line);
        } else {
            hive->leadingLines.emplace_back(line);
        }
    }
}

std::string FormatHive(const Hive& hive) {
    std::string out = std::string(kFileHeader) + "\n";
    for (auto& l : hive.leadingLines) out += l + "\n";
    for (auto& s : hive.sections) {
        out += "\n[" + EscapeSection(s.path) + "]\n";
        for (auto& v : s.values) out += FormatValue(v) + "\n";
        for (auto& l : s.unreadLines) out += l + "\n";
    }
    return out;
}

// ---- process-wide state --------------------------------------------------------------------

struct OpenKey {
    HKEY root;
    std::string path;
};

std::mutex gMutex;
std::map<HKEY, Hive> gHives;
std::map<HKEY, OpenKey> gOpenKeys;
HKEY gNextHandle = 0x100;
RegistryWriteHook gWriteHook = nullptr;

bool IsRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

std::string FileOfRoot(HKEY root) {
    const char* name = root == HKEY_CURRENT_USER    ? "CurrentUser.reg"
                       : root == HKEY_LOCAL_MACHINE ? "LocalMachine.reg"
                       : root == HKEY_CLASSES_ROOT  ? "ClassesRoot.reg"
                                                    : "Users.reg";
    return KorvaneConfigFolder() + "/" + name;
}

bool SameStamp(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool ReadWholeFile(const std::string& name, std::string* text, struct stat* st) {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fstat(fd, st) == 0;
    text->clear();
    char buf[65536];
    while (ok) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

// Brings the cached hive up to date with its file (another process may have written it).
Hive& Refresh(HKEY root) {
    Hive& hive = gHives[root];
    std::string name = FileOfRoot(root);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) {
        if (hive.hasStamp || !hive.loaded) {
            hive.sections.clear();
            hive.leadingLines.clear();
            hive.hasStamp = false;
        }
        hive.loaded = true;
        return hive;
    }
    if (hive.loaded && hive.hasStamp && SameStamp(st, hive.stamp)) return hive;
    std::string text;
    if (ReadWholeFile(name, &text, &st)) {
        ParseHive(text, &hive);
        hive.stamp = st;
        hive.hasStamp = true;
    }
    hive.loaded = true;
    return hive;
}

int32_t ErrnoToCode(int e) {
    switch (e) {
        case ENOENT:
            return 3;  // path not found
        case EACCES:
        case EPERM:
        case EROFS:
            return kAccessDenied;
        case ENOSPC:
            return 112;  // disk full
        default:
            return 29;  // write fault
    }
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

int32_t MakeFolders(const std::string& folder) {
    std::string path;
    size_t i = 0;
    while (i <= folder.size()) {
        size_t j = folder.find('/', i);
        if (j == std::string::npos) j = folder.size();
        path = folder.substr(0, j);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return ErrnoToCode(errno);
        i = j + 1;
    }
    return kSuccess;
}

// Runs one change of a root's hive: under the file lock, re-reads the file, applies the change
// and, when the change says so, writes the whole file to a temporary name and renames it.
template <typename Change>
int32_t Modify(HKEY root, Change change) {
    std::string name = FileOfRoot(root);
    std::string folder = name.substr(0, name.rfind('/'));
    if (int32_t rc = MakeFolders(folder)) return rc;
    int lockFd = ::open((name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return ErrnoToCode(errno);
    while (::flock(lockFd, LOCK_EX) != 0 && errno == EINTR) {
    }
    Hive& hive = Refresh(root);
    Hive before = hive;
    int32_t rc = change(hive);
    if (rc == kSuccess) {
        std::string text = FormatHive(hive);
        std::string temp = name + "." + std::to_string(::getpid()) + ".tmp";
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = fd >= 0;
        int err = ok ? 0 : errno;
        if (ok) {
            size_t half = text.size() / 2;
            ok = WriteAll(fd, text.data(), half);
            if (ok && gWriteHook) gWriteHook();
            ok = ok && WriteAll(fd, text.data() + half, text.size() - half) && ::fsync(fd) == 0;
            if (!ok) err = errno;
            ::close(fd);
        }
        if (ok && ::rename(temp.c_str(), name.c_str()) != 0) {
            ok = false;
            err = errno;
        }
        if (ok) {
            int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dirFd >= 0) {
                ::fsync(dirFd);
                ::close(dirFd);
            }
            struct stat st {};
            hive.hasStamp = ::stat(name.c_str(), &st) == 0;
            hive.stamp = st;
        } else {
            ::unlink(temp.c_str());
            before.stamp = hive.stamp;
            before.hasStamp = hive.hasStamp;
            hive = std::move(before);
            rc = ErrnoToCode(err);
        }
    }
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return rc;
}

// Resolves a handle to its root and path; false for a handle that is not open.
bool Resolve(HKEY key, HKEY* root, std::string* path) {
    if (IsRoot(key)) {
        *root = key;
        path->clear();
        return true;
    }
    auto it = gOpenKeys.find(key);
    if (it == gOpenKeys.end()) return false;
    *root = it->second.root;
    *path = it->second.path;
    return true;
}

HKEY NewHandle(HKEY root, std::string path) {
    HKEY h = gNextHandle++;
    gOpenKeys[h] = OpenKey{root, std::move(path)};
    return h;
}

// HKEY_CURRENT_USER "Control Panel\International" shows the regional settings in force: the key
// always exists and its value "sShortDate" is their short date, which is not stored in the file
// and cannot be written or deleted here.
constexpr std::string_view kInternationalKey = "Control Panel\\International";
constexpr std::string_view kShortDateValue = "sShortDate";

// True for the international key and every key above it.
bool LeadsToInternational(HKEY root, std::string_view path) {
    return root == HKEY_CURRENT_USER && IsBelow(kInternationalKey, path, true);
}

bool IsInternationalShortDate(HKEY root, std::string_view path, std::string_view valueName) {
    return root == HKEY_CURRENT_USER && SameName(path, kInternationalKey) &&
           SameName(valueName, kShortDateValue);
}

}  // namespace

std::string RegistryFileName(HKEY root) {
    return FileOfRoot(root);
}

std::string NormalizeRegistryText(std::string_view fileText) {
    Hive hive;
    ParseHive(fileText, &hive);
    return FormatHive(hive);
}

void SetRegistryWriteHook(RegistryWriteHook hook) {
    std::lock_guard lock(gMutex);
    gWriteHook = hook;
}

int32_t RegOpenKeyEx(HKEY key, std::string_view subKey, HKEY* result) {
    std::lock_guard lock(gMutex);
    if (!result) return kInvalidParameter;
    *result = 0;
    HKEY root;
    std::string base;
    if (!Resolve(key, &root, &base)) return kInvalidHandle;
    std::string path = JoinPath(base, NormalizePath(subKey));
    if (!Refresh(root).KeyExists(path) && !LeadsToInternational(root, path)) return kFileNotFound;
    *result = NewHandle(root, path);
    return kSuccess;
}

int32_t RegCreateKeyEx(HKEY key, std::string_view subKey, HKEY* result, bool* created) {
    std::lock_guard lock(gMutex);
    if (!result) return kInvalidParameter;
    *result = 0;
    HKEY root;
    std::string base;
    if (!Resolve(key, &root, &base)) return kInvalidHandle;
    std::string path = JoinPath(base, NormalizePath(subKey));
    bool exists = Refresh(root).KeyExists(path) || LeadsToInternational(root, path);
    if (!exists) {
        int32_t rc = Modify(root, [&](Hive& h) {
            h.Ensure(path);
            return kSuccess;
        });
        if (rc) return rc;
    }
    if (created) *created = !exists;
    *result = NewHandle(root, path);
    return kSuccess;
}

int32_t RegCloseKey(HKEY key) {
    std::lock_guard lock(gMutex);
    if (IsRoot(key)) return kSuccess;
    return gOpenKeys.erase(key) ? kSuccess : kInvalidHandle;
}

int32_t RegQueryValueEx(HKEY key, std::string_view valueName, uint32_t* type, std::string* data) {
    std::lock_guard lock(gMutex);
    HKEY root;
    std::string path;
    if (!Resolve(key, &root, &path)) return kInvalidHandle;
    Hive& hive = Refresh(root);
    if (IsInternationalShortDate(root, path, valueName)) {
        if (type) *type = REG_SZ;
        if (data) *data = RegionalSettings().sShortDate;
        return kSuccess;
    }
    if (!hive.KeyExists(path)) return kFileNotFound;  // deleted by someone else meanwhile
    if (Section* s = hive.Find(path))
        for (auto& v : s->values)
            if (SameName(v.name, valueName)) {
                if (type) *type = v.type;
                if (data) *data = v.data;
                return kSuccess;
            }
    return kFileNotFound;
}

int32_t RegSetValueEx(HKEY key, std::string_view valueName, uint32_t type, std::string_view data) {
    std::lock_guard lock(gMutex);
    HKEY root;
    std::string path;
    if (!Resolve(key, &root, &path)) return kInvalidHandle;
    if (type == REG_DWORD && data.size() != 4) return kInvalidParameter;
    if (path.empty()) return kAccessDenied;  // values are never stored on a root itself
    if (IsInternationalShortDate(root, path, valueName)) return kAccessDenied;
    return Modify(root, [&](Hive& h) {
        Section& s = h.Ensure(path);
        for (auto& v : s.values)
            if (SameName(v.name, valueName)) {
                v.type = type;
                v.data = std::string(data);
                return kSuccess;
            }
        s.values.push_back(Value{std::string(valueName), type, std::string(data)});
        return kSuccess;
    });
}

int32_t RegDeleteValue(HKEY key, std::string_view valueName) {
    std::lock_guard lock(gMutex);
    HKEY root;
    std::string path;
    if (!Resolve(key, &root, &path)) return kInvalidHandle;
    if (IsInternationalShortDate(root, path, valueName)) return kAccessDenied;
    return Modify(root, [&](Hive& h) {
        Section* s = h.Find(path);
        if (!s) return kFileNotFound;
        for (size_t i = 0; i < s->values.size(); ++i)
            if (SameName(s->values[i].name, valueName)) {
                s->values.erase(s->values.begin() + static_cast<std::ptrdiff_t>(i));
                return kSuccess;
            }
        return kFileNotFound;
    });
}

int32_t RegDeleteKey(HKEY key, std::string_view subKey) {
    std::lock_guard lock(gMutex);
    HKEY root;
    std::string base;
    if (!Resolve(key, &root, &base)) return kInvalidHandle;
    std::string path = JoinPath(base, NormalizePath(subKey));
    if (path.empty() || NormalizePath(subKey).empty()) return kInvalidParameter;
    if (LeadsToInternational(root, path)) return kAccessDenied;
    return Modify(root, [&](Hive& h) {
        if (!h.KeyExists(path)) return kFileNotFound;
        std::erase_if(h.sections, [&](const Section& s) { return IsBelow(s.path, path, true); });
        return kSuccess;
    });
}

int32_t RegEnumKeyNames(HKEY key, std::vector<std::string>* names) {
    std::lock_guard lock(gMutex);
    names->clear();
    HKEY root;
    std::string path;
    if (!Resolve(key, &root, &path)) return kInvalidHandle;
    Hive& hive = Refresh(root);
    if (!hive.KeyExists(path) && !LeadsToInternational(root, path)) return kFileNotFound;
    std::vector<std::string_view> below;
    for (auto& s : hive.sections)
        if (IsBelow(s.path, path, false)) below.push_back(s.path);
    if (root == HKEY_CURRENT_USER && IsBelow(kInternationalKey, path, false))
        below.push_back(kInternationalKey);
    for (std::string_view sub : below) {
        std::string_view rest = sub.substr(path.empty() ? 0 : path.size() + 1);
        std::string_view child = rest.substr(0, rest.find('\\'));
        bool seen = false;
        for (auto& n : *names) seen = seen || SameName(n, child);
        if (!seen) names->emplace_back(child);
    }
    return kSuccess;
}

int32_t RegEnumValueNames(HKEY key, std::vector<std::string>* names) {
    std::lock_guard lock(gMutex);
    names->clear();
    HKEY root;
    std::string path;
    if (!Resolve(key, &root, &path)) return kInvalidHandle;
    Hive& hive = Refresh(root);
    if (!hive.KeyExists(path) && !LeadsToInternational(root, path)) return kFileNotFound;
    if (Section* s = hive.Find(path))
        for (auto& v : s->values) names->push_back(v.name);
    if (IsInternationalShortDate(root, path, kShortDateValue)) {
        bool seen = false;
        for (auto& n : *names) seen = seen || SameName(n, kShortDateValue);
        if (!seen) names->emplace_back(kShortDateValue);
    }
    return kSuccess;
}

// ---- TRegistry -----------------------------------------------------------------------------

TRegistry::~TRegistry() {
    CloseKey();
}

void TRegistry::CloseKey() {
    if (current_) RegCloseKey(current_);
    current_ = 0;
    currentPath_.clear();
}

namespace {
// Where a key name given to TRegistry leads: from the root when it starts with "\".
std::string TargetPath(std::string_view key, const std::string& currentPath, bool haveCurrent) {
    if (!key.empty() && key.front() == '\\') return NormalizePath(key);
    if (!haveCurrent) return NormalizePath(key);
    return JoinPath(currentPath, NormalizePath(key));
}
}  // namespace

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::string path = TargetPath(key, currentPath_, current_ != 0);
    HKEY h = 0;
    lastError_ = canCreate ? RegCreateKeyEx(RootKey, path, &h) : RegOpenKeyEx(RootKey, path, &h);
    if (lastError_) return false;
    CloseKey();
    current_ = h;
    currentPath_ = path;
    return true;
}

bool TRegistry::KeyExists(std::string_view key) {
    HKEY h = 0;
    lastError_ = RegOpenKeyEx(RootKey, TargetPath(key, currentPath_, current_ != 0), &h);
    if (h) RegCloseKey(h);
    return lastError_ == kSuccess;
}

bool TRegistry::DeleteKey(std::string_view key) {
    lastError_ = RegDeleteKey(RootKey, TargetPath(key, currentPath_, current_ != 0));
    return lastError_ == kSuccess;
}

bool TRegistry::ValueExists(std::string_view name) {
    lastError_ = current_ ? RegQueryValueEx(current_, name, nullptr, nullptr) : kInvalidHandle;
    return lastError_ == kSuccess;
}

bool TRegistry::DeleteValue(std::string_view name) {
    lastError_ = current_ ? RegDeleteValue(current_, name) : kInvalidHandle;
    return lastError_ == kSuccess;
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> names;
    lastError_ = RegEnumKeyNames(current_ ? current_ : RootKey, &names);
    return names;
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    lastError_ = current_ ? RegEnumValueNames(current_, &names) : kInvalidHandle;
    return names;
}

std::optional<std::string> TRegistry::ReadString(std::string_view name) {
    uint32_t type = 0;
    std::string data;
    lastError_ = current_ ? RegQueryValueEx(current_, name, &type, &data) : kInvalidHandle;
    if (lastError_) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        lastError_ = kInvalidData;
        return std::nullopt;
    }
    return data;
}

std::optional<int32_t> TRegistry::ReadInteger(std::string_view name) {
    uint32_t type = 0;
    std::string data;
    lastError_ = current_ ? RegQueryValueEx(current_, name, &type, &data) : kInvalidHandle;
    if (lastError_) return std::nullopt;
    if (type != REG_DWORD || data.size() != 4) {
        lastError_ = kInvalidData;
        return std::nullopt;
    }
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(data[i]);
    return static_cast<int32_t>(n);
}

std::optional<std::string> TRegistry::ReadBinaryData(std::string_view name) {
    uint32_t type = 0;
    std::string data;
    lastError_ = current_ ? RegQueryValueEx(current_, name, &type, &data) : kInvalidHandle;
    if (lastError_) return std::nullopt;
    if (type != REG_BINARY) {
        lastError_ = kInvalidData;
        return std::nullopt;
    }
    return data;
}

bool TRegistry::WriteString(std::string_view name, std::string_view value) {
    lastError_ = current_ ? RegSetValueEx(current_, name, REG_SZ, value) : kInvalidHandle;
    return lastError_ == kSuccess;
}

bool TRegistry::WriteExpandString(std::string_view name, std::string_view value) {
    lastError_ = current_ ? RegSetValueEx(current_, name, REG_EXPAND_SZ, value) : kInvalidHandle;
    return lastError_ == kSuccess;
}

bool TRegistry::WriteInteger(std::string_view name, int32_t value) {
    std::string bytes;
    auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(u >> (8 * i) & 0xFF);
    lastError_ = current_ ? RegSetValueEx(current_, name, REG_DWORD, bytes) : kInvalidHandle;
    return lastError_ == kSuccess;
}

bool TRegistry::WriteBinaryData(std::string_view name, std::string_view bytes) {
    lastError_ = current_ ? RegSetValueEx(current_, name, REG_BINARY, bytes) : kInvalidHandle;
    return lastError_ == kSuccess;
}

// ---- TRegIniFile ---------------------------------------------------------------------------

TRegIniFile::TRegIniFile(std::string_view fileName, HKEY root)
    : root_(root), fileName_(NormalizePath(fileName)) {
    RegCreateKeyEx(root_, fileName_, &key_);
}

TRegIniFile::~TRegIniFile() {
    if (key_) RegCloseKey(key_);
}

namespace {
// Decimal text to a 32-bit integer; nothing for anything else (blanks around are not allowed).
std::optional<int32_t> ParseInt32(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool neg = s.front() == '-';
    if (neg || s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > 2147483648LL) return std::nullopt;
    }
    if (neg) n = -n;
    if (n > INT32_MAX || n < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(n);
}
}  // namespace

std::string TRegIniFile::ReadString(std::string_view section, std::string_view ident,
                                    std::string_view deflt) {
    HKEY h = 0;
    if (!key_ || RegOpenKeyEx(key_, section, &h)) return std::string(deflt);
    uint32_t type = 0;
    std::string data;
    int32_t rc = RegQueryValueEx(h, ident, &type, &data);
    RegCloseKey(h);
    if (rc || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string(deflt);
    return data;
}

int32_t TRegIniFile::ReadInteger(std::string_view section, std::string_view ident, int32_t deflt) {
    HKEY h = 0;
    if (!key_ || RegOpenKeyEx(key_, section, &h)) return deflt;
    uint32_t type = 0;
    std::string data;
    int32_t rc = RegQueryValueEx(h, ident, &type, &data);
    RegCloseKey(h);
    if (rc) return deflt;
    if (type == REG_DWORD && data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(data[i]);
        return static_cast<int32_t>(n);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) return ParseInt32(data).value_or(deflt);
    return deflt;
}

bool TRegIniFile::ReadBool(std::string_view section, std::string_view ident, bool deflt) {
    return ReadInteger(section, ident, deflt ? 1 : 0) != 0;
}

bool TRegIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
    HKEY h = 0;
    if (!key_ || RegCreateKeyEx(key_, section, &h)) return false;
    int32_t rc = RegSetValueEx(h, ident, REG_SZ, value);
    RegCloseKey(h);
    return rc == kSuccess;
}

bool TRegIniFile::WriteInteger(std::string_view section, std::string_view ident, int32_t value) {
    return WriteString(section, ident, std::to_string(value));
}

bool TRegIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
    return WriteInteger(section, ident, value ? 1 : 0);
}

bool TRegIniFile::ValueExists(std::string_view section, std::string_view ident) {
    HKEY h = 0;
    if (!key_ || RegOpenKeyEx(key_, section, &h)) return false;
    int32_t rc = RegQueryValueEx(h, ident, nullptr, nullptr);
    RegCloseKey(h);
    return rc == kSuccess;
}

bool TRegIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    HKEY h = 0;
    if (!key_ || RegOpenKeyEx(key_, section, &h)) return false;
    int32_t rc = RegDeleteValue(h, ident);
    RegCloseKey(h);
    return rc == kSuccess;
}

bool TRegIniFile::EraseSection(std::string_view section) {
    return key_ && RegDeleteKey(key_, section) == kSuccess;
}

std::vector<std::string> TRegIniFile::ReadSections() {
    std::vector<std::string> names;
    if (key_) RegEnumKeyNames(key_, &names);
    return names;
}

std::vector<std::string> TRegIniFile::ReadSection(std::string_view section) {
    std::vector<std::string> names;
    HKEY h = 0;
    if (!key_ || RegOpenKeyEx(key_, section, &h)) return names;
    RegEnumValueNames(h, &names);
    RegCloseKey(h);
    return names;
}

}  // namespace platform
