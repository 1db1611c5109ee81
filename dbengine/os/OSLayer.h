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
