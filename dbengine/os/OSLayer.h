#pragma once
// The engine's one door to the operating system: critical sections, the thread's last errors,
// file primitives, directory and locale queries, and locale-aware text comparison and case
// mapping. Everything here stands on platform/, so tests can inject faults below the engine.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace dbengine {

// A re-entrant lock owned by the object or unit that creates it.
class TEngineCriticalSection {
public:
    void Enter() { Mutex.lock(); }
    void Leave() { Mutex.unlock(); }

private:
    std::recursive_mutex Mutex;
};

std::unique_ptr<TEngineCriticalSection> NewCriticalSection();
void EnterEngineLock(TEngineCriticalSection* section);
void LeaveEngineLock(TEngineCriticalSection* section);
void FreeCriticalSection(std::unique_ptr<TEngineCriticalSection>& section);

// Holds a critical section for the lifetime of the guard.
class TEngineLockGuard {
public:
    explicit TEngineLockGuard(TEngineCriticalSection& section) : Section(section) { Section.Enter(); }
    ~TEngineLockGuard() { Section.Leave(); }
    TEngineLockGuard(const TEngineLockGuard&) = delete;
    TEngineLockGuard& operator=(const TEngineLockGuard&) = delete;

private:
    TEngineCriticalSection& Section;
};

// The calling thread's last operating-system error (Windows numbering) and last socket error.
uint32_t LastOSErrorCode();
uint32_t LastSocketErrorCode();
// The remote client records its socket failures here; nothing else in the engine uses sockets.
void SetLastSocketErrorCode(uint32_t code);

}  // namespace dbengine

namespace dbengine {

// Language id: primary language in bits 0..9, sublanguage in bits 10..15; 0 is the engine's
// "ANSI Standard" language (byte order after upper-casing with the Windows-1252 table).
uint16_t MakeLangId(uint16_t primary, uint16_t sublanguage);
// Locale id: sort id in bits 16..19 over the language id.
uint32_t MakeLocaleId(uint16_t languageId, uint16_t sortId);
bool IsLocaleInstalled(uint32_t localeId);

// -1, 0 or 1. Language 0 compares the upper-cased bytes, so its order never regards case.
int CompareLocaleChar(uint16_t languageId, uint16_t sortId, char a, char b);
// -1, 0 or 1 over zero-terminated texts. Length 0 compares up to and including the first
// text's terminating zero; a length above 0 compares exactly that many bytes. A missing (null)
// first text compares as larger.
int CompareLocaleText(uint16_t languageId, uint16_t sortId, const char* a, const char* b, size_t length,
                      bool ignoreCase);
// In-place case mapping of a zero-terminated text, or of a whole string.
void UpperCaseLocale(uint16_t languageId, uint16_t sortId, char* text);
void LowerCaseLocale(uint16_t languageId, uint16_t sortId, char* text);
void UpperCaseLocale(uint16_t languageId, uint16_t sortId, std::string& text);
void LowerCaseLocale(uint16_t languageId, uint16_t sortId, std::string& text);

// Whole-string comparisons of names ("in the user's default locale"): without regard to case
// for names of tables, databases and the like, with regard to case for passwords.
bool SameNameText(const std::string& a, const std::string& b);
bool SameCaseText(const std::string& a, const std::string& b);

}  // namespace dbengine

namespace dbengine {

// The current folder and the temporary folder in Windows form, and the computer name.
std::string QueryCurrentDirectory();
std::string QueryTempDirectory();
std::string QueryComputerName();

}  // namespace dbengine

namespace dbengine {

// Grows a zero-filled heap buffer in steps of the granularity; never shrinks it, except that a
// size of 0 or less frees it.
void EnsureBufferSize(int64_t size, int64_t granularity, std::unique_ptr<uint8_t[]>& buffer,
                      int64_t& capacity);

// The OS version as a currency value (four decimal places: 5.0 is 50000) and the platform id
// (1 is the Windows 9x family; this system reports 2). The Windows 9x case-mapping quirk is
// therefore never taken.
int64_t GetOSVersion();
uint32_t GetOSPlatform();

}  // namespace dbengine

namespace dbengine {

// An operating-system file handle; OSInvalidHandle means failure.
using TOSHandle = std::intptr_t;
extern const TOSHandle OSInvalidHandle;

// Open mode byte. Bits 0..1 access: 0 read, 1 write, 2 read and write. Bits 4..7 sharing:
// 0x00 and 0x10 exclusive, 0x20 deny write, 0x30 deny read, 0x40 deny none.
constexpr uint8_t fmOpenRead = 0x00;
constexpr uint8_t fmOpenWrite = 0x01;
constexpr uint8_t fmOpenReadWrite = 0x02;
constexpr uint8_t fmShareExclusive = 0x10;
constexpr uint8_t fmShareDenyWrite = 0x20;
constexpr uint8_t fmShareDenyRead = 0x30;
constexpr uint8_t fmShareDenyNone = 0x40;

// File primitives over Windows-form names. Failures show only in the results (false, -1, the
// invalid handle) with the thread's last error set; the callers raise the engine errors.
TOSHandle OSOpenFile(const std::string& name, uint8_t mode, bool temporary);
// Read/write, exclusive, replacing an existing file; a temporary file is not deleted on close.
TOSHandle OSCreateFile(const std::string& name, bool temporary);
bool OSCloseFile(TOSHandle handle);
bool OSDeleteFile(const std::string& name);
bool OSRenameFile(const std::string& oldName, const std::string& newName);
// Non-blocking: fails at once when any byte of the range is locked through another handle.
bool OSLockRange(TOSHandle handle, uint64_t offset, uint64_t count);
bool OSUnlockRange(TOSHandle handle, uint64_t offset, uint64_t count);
// Origin 0 start, 1 current, 2 end. The new position, or -1 when the seek failed.
int64_t OSSeek(TOSHandle handle, int origin, int64_t offset);
// Bytes transferred, or -1 on failure.
int32_t OSRead(TOSHandle handle, void* buffer, uint32_t count);
int32_t OSWrite(TOSHandle handle, const void* buffer, uint32_t count);
// A read-only view of the file's first `count` bytes (all of a shorter file: `mapped` says how
// many) that follows every write to them, by any process, without a system call per look;
// nullptr when the file is empty or cannot be mapped. The view holds no lock and outlives the
// handle; OSUnmapFileStart ends it.
const uint8_t* OSMapFileStart(TOSHandle handle, uint32_t count, uint32_t& mapped);
void OSUnmapFileStart(const uint8_t* view);
bool OSSetEndOfFile(TOSHandle handle);
bool OSFlushFile(TOSHandle handle);
// Attributes, or -1 when the file is missing.
int32_t OSFileAttributes(const std::string& name);
// DOS date (high 16 bits) and time (low 16 bits) of the last write in local time; -1 for a
// folder or a missing file.
int32_t OSFileAge(const std::string& name);
bool OSFileExists(const std::string& name);

// Path delimiters of the path routines.
constexpr char PathDelimiter = '\\';
constexpr char SlashDelimiter = '/';
constexpr char DriveDelimiter = ':';
constexpr char ExtDelimiter = '.';

}  // namespace dbengine
