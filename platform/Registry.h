#pragma once
// The registry of the current user (and of the machine), kept in settings files.
//
// Each root key is one file under $XDG_CONFIG_HOME/korvane/ ("CurrentUser.reg" for
// HKEY_CURRENT_USER, "LocalMachine.reg" for HKEY_LOCAL_MACHINE). Every key is one section of
// that file, named by its path below the root ("[Software\Korvane\TMainForm]"); a key exists when
// its section or a section below it exists. Key and value names compare without regard to case.
//
// Values are typed: REG_SZ / REG_EXPAND_SZ text, REG_DWORD 32-bit integers and REG_BINARY bytes.
// Every change is written atomically: the whole file goes to a temporary name in the same folder
// and is renamed over the old one, under an exclusive lock of "<file>.lock", so a writer killed
// at any moment leaves either the old or the new file, never a torn one, and two processes never
// lose each other's changes.
//
// The calls return 0 (ERROR_SUCCESS) or a system error code: 2 for a missing key or value, 6 for
// a handle that is not open, 13 for a value read with a type it does not have, 87 for a bad
// argument, 5 or the code of the failed file operation when the settings file cannot be written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using HKEY = std::uintptr_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Opens an existing key below an open key or a root; 2 when it does not exist.
int32_t RegOpenKeyEx(HKEY key, std::string_view subKey, HKEY* result);
// Opens a key, creating it (and the keys above it) when missing; *created tells which happened.
int32_t RegCreateKeyEx(HKEY key, std::string_view subKey, HKEY* result, bool* created = nullptr);
int32_t RegCloseKey(HKEY key);

// Reads a value: its type and its bytes (text without a terminating NUL; a DWORD as 4 bytes,
// little-endian). Either out-pointer may be null. An empty name is the key's default value.
int32_t RegQueryValueEx(HKEY key, std::string_view valueName, uint32_t* type, std::string* data);
int32_t RegSetValueEx(HKEY key, std::string_view valueName, uint32_t type, std::string_view data);
int32_t RegDeleteValue(HKEY key, std::string_view valueName);
// Deletes a sub-key with everything below it.
int32_t RegDeleteKey(HKEY key, std::string_view subKey);
// Names of the direct sub-keys and of the values of a key, in the order they were created.
int32_t RegEnumKeyNames(HKEY key, std::vector<std::string>* names);
int32_t RegEnumValueNames(HKEY key, std::vector<std::string>* names);

// The settings file that holds a root key (for tests and diagnostics).
std::string RegistryFileName(HKEY root);

// A small object over one open key, in the manner of the class library's registry class.
class TRegistry {
public:
    TRegistry() = default;
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey = HKEY_CURRENT_USER;
    HKEY CurrentKey() const { return current_; }
    const std::string& CurrentPath() const { return currentPath_; }

    // A key name starting with "\" is taken from the root, any other from the current key.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
    void CloseKey();
    bool KeyExists(std::string_view key);
    bool DeleteKey(std::string_view key);
    bool ValueExists(std::string_view name);
    bool DeleteValue(std::string_view name);
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    // Readers give nothing when the value is missing or of another type.
    std::optional<std::string> ReadString(std::string_view name);
    std::optional<int32_t> ReadInteger(std::string_view name);
    std::optional<std::string> ReadBinaryData(std::string_view name);
    bool WriteString(std::string_view name, std::string_view value);
    bool WriteExpandString(std::string_view name, std::string_view value);
    bool WriteInteger(std::string_view name, int32_t value);
    bool WriteBinaryData(std::string_view name, std::string_view bytes);

    // Code of the last call that failed, 0 after one that succeeded.
    int32_t LastError() const { return lastError_; }

private:
    HKEY current_ = 0;
    std::string currentPath_;
    int32_t lastError_ = 0;
};

// A key opened as a file of sections: each section is a sub-key, each name a value in it.
class TRegIniFile {
public:
    // Opens (creating when missing) the key fileName below the root.
    explicit TRegIniFile(std::string_view fileName, HKEY root = HKEY_CURRENT_USER);
    ~TRegIniFile();
    TRegIniFile(const TRegIniFile&) = delete;
    TRegIniFile& operator=(const TRegIniFile&) = delete;

    const std::string& FileName() const { return fileName_; }
    // Reads give the default when the section or the value is missing. Integers written by
    // WriteInteger are stored as decimal text; a REG_DWORD value reads back as well.
    std::string ReadString(std::string_view section, std::string_view ident, std::string_view deflt);
    int32_t ReadInteger(std::string_view section, std::string_view ident, int32_t deflt);
    bool ReadBool(std::string_view section, std::string_view ident, bool deflt);
    bool WriteString(std::string_view section, std::string_view ident, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view ident, int32_t value);
    bool WriteBool(std::string_view section, std::string_view ident, bool value);
    bool ValueExists(std::string_view section, std::string_view ident);
    bool DeleteKey(std::string_view section, std::string_view ident);
    bool EraseSection(std::string_view section);
    std::vector<std::string> ReadSections();
    std::vector<std::string> ReadSection(std::string_view section);

private:
    HKEY root_;
    std::string fileName_;
    HKEY key_ = 0;
};

// The text a settings file is rewritten as after it was read: what the registry understands in
// its own layout, and every line it cannot read kept as it stands. Reading the result again gives
// the same text.
std::string NormalizeRegistryText(std::string_view fileText);

// Writes of the settings files call this hook (when set) after half of the new file's bytes are
// in its temporary file, to let a test stop the writer in the middle of a write.
using RegistryWriteHook = void (*)();
void SetRegistryWriteHook(RegistryWriteHook hook);

}  // namespace platform
