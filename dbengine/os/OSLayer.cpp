#include "dbengine/os/OSLayer.h"

#include "platform/Paths.h"
#include "platform/Process.h"

namespace dbengine {

namespace {
thread_local uint32_t LastSocketError = 0;
}

std::unique_ptr<TEngineCriticalSection> NewCriticalSection() {
    return std::make_unique<TEngineCriticalSection>();
}

void EnterEngineLock(TEngineCriticalSection* section) {
    section->Enter();
}

void LeaveEngineLock(TEngineCriticalSection* section) {
    section->Leave();
}

void FreeCriticalSection(std::unique_ptr<TEngineCriticalSection>& section) {
    section.reset();
}

uint32_t LastOSErrorCode() {
    return platform::GetLastError();
}

uint32_t LastSocketErrorCode() {
    return LastSocketError;
}

void SetLastSocketErrorCode(uint32_t code) {
    LastSocketError = code;
}

}  // namespace dbengine

#include <cstring>

#include "platform/CodePage.h"

namespace dbengine {

uint16_t MakeLangId(uint16_t primary, uint16_t sublanguage) {
    return static_cast<uint16_t>((sublanguage << 10) | (primary & 0x3FF));
}

uint32_t MakeLocaleId(uint16_t languageId, uint16_t sortId) {
    return (static_cast<uint32_t>(sortId) << 16) | languageId;
}

bool IsLocaleInstalled(uint32_t localeId) {
    // Only the engine's own byte order is available on this system; every other language's
    // collation is reported as not installed, which the engine turns into its
    // "language driver not available" error.
    return (localeId & 0xFFFF) == 0;
}

namespace {

unsigned char Upper0(unsigned char c) {
    return platform::AnsiUpperChar(c);
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

}  // namespace

int CompareLocaleChar(uint16_t languageId, uint16_t sortId, char a, char b) {
    (void)languageId;
    (void)sortId;
    // Only language 0 is installed (see IsLocaleInstalled), so every caller orders by it.
    return Sign(int(Upper0(static_cast<unsigned char>(a))) - int(Upper0(static_cast<unsigned char>(b))));
}

int CompareLocaleText(uint16_t languageId, uint16_t sortId, const char* a, const char* b, size_t length,
                      bool ignoreCase) {
    (void)languageId;
    (void)sortId;
    if (a == nullptr) return 1;
    static const char empty[1] = {0};
    if (b == nullptr) b = empty;
    size_t count = length != 0 ? length : std::strlen(a) + 1;
    bool bEnded = false;
    for (size_t i = 0; i < count; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        // Without a length, b is read no further than its own terminating zero.
        unsigned char cb = bEnded ? 0 : static_cast<unsigned char>(b[i]);
        if (length == 0 && cb == 0) bEnded = true;
        if (ignoreCase) {
            ca = Upper0(ca);
            cb = Upper0(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return 0;
}

void UpperCaseLocale(uint16_t, uint16_t, char* text) {
    for (; *text != '\0'; ++text) *text = static_cast<char>(Upper0(static_cast<unsigned char>(*text)));
}

void LowerCaseLocale(uint16_t, uint16_t, char* text) {
    for (; *text != '\0'; ++text)
        *text = static_cast<char>(platform::AnsiLowerChar(static_cast<unsigned char>(*text)));
}

void UpperCaseLocale(uint16_t, uint16_t, std::string& text) {
    for (char& c : text) c = static_cast<char>(Upper0(static_cast<unsigned char>(c)));
}

void LowerCaseLocale(uint16_t, uint16_t, std::string& text) {
    for (char& c : text) c = static_cast<char>(platform::AnsiLowerChar(static_cast<unsigned char>(c)));
}

bool SameNameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareLocaleText(0, 0, a.c_str(), b.c_str(), 0, true) == 0;
}

bool SameCaseText(const std::string& a, const std::string& b) {
    return a == b;
}

}  // namespace dbengine

namespace dbengine {

std::string QueryCurrentDirectory() {
    return platform::GetCurrentDirectory();
}

std::string QueryTempDirectory() {
    return platform::GetTempPath();
}

std::string QueryComputerName() {
    return platform::GetComputerName();
}

}  // namespace dbengine

#include <algorithm>

namespace dbengine {

void EnsureBufferSize(int64_t size, int64_t granularity, std::unique_ptr<uint8_t[]>& buffer,
                      int64_t& capacity) {
    if (size <= 0) {
        if (capacity > 0) {
            buffer.reset();
            capacity = 0;
        }
        return;
    }
    if (granularity > 0 && size % granularity != 0) size += granularity - size % granularity;
    if (size <= capacity) return;
    auto grown = std::make_unique<uint8_t[]>(static_cast<size_t>(size));  // zero-filled
    if (capacity > 0) std::copy_n(buffer.get(), static_cast<size_t>(capacity), grown.get());
    buffer = std::move(grown);
    capacity = size;
}

int64_t GetOSVersion() {
    return 50000;
}

uint32_t GetOSPlatform() {
    return 2;
}

}  // namespace dbengine
