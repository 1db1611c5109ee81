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
#include "platform/Locale.h"

namespace dbengine {

uint16_t MakeLangId(uint16_t primary, uint16_t sublanguage) {
    return static_cast<uint16_t>((sublanguage << 10) | (primary & 0x3FF));
}

uint32_t MakeLocaleId(uint16_t languageId, uint16_t sortId) {
    return (static_cast<uint32_t>(sortId) << 16) | languageId;
}

bool IsLocaleInstalled(uint32_t localeId) {
    // Only the engine's own byte order (language 0) is installed on this system; every other
    // language is refused at table create and open with the "language driver" error.
    return platform::IsValidLocale(localeId, platform::LCID_INSTALLED);
}

namespace {

unsigned char Upper0(unsigned char c) {
    return platform::AnsiUpperChar(c);
}

// Language 0 is case-mapped as English (United States) with the default sort.
uint32_t MappingLocale(uint16_t languageId, uint16_t sortId) {
    return languageId == 0 ? platform::MAKELCID(0x0409, 0) : platform::MAKELCID(languageId, sortId);
}

// Language 0: bytes (upper-cased when case is ignored) up to the first text's terminating zero,
// or over exactly `length` bytes.
int CompareAnsiBytes(const char* a, const char* b, size_t length, bool ignoreCase) {
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

}  // namespace

int CompareLocaleChar(uint16_t languageId, uint16_t sortId, char a, char b) {
    if (languageId != 0) {
        int r = platform::CompareString(platform::MAKELCID(languageId, sortId),
                                        platform::SORT_STRINGSORT | platform::NORM_IGNORENONSPACE,
                                        std::string_view(&a, 1), std::string_view(&b, 1));
        if (r != 0) return r - 2;
    }
    unsigned char ua = Upper0(static_cast<unsigned char>(a)), ub = Upper0(static_cast<unsigned char>(b));
    return ua < ub ? -1 : (ua > ub ? 1 : 0);
}

int CompareLocaleText(uint16_t languageId, uint16_t sortId, const char* a, const char* b, size_t length,
                      bool ignoreCase) {
    if (a == nullptr) return 1;
    if (languageId != 0) {
        static const char empty[1] = {0};
        const char* bb = b != nullptr ? b : empty;
        std::string_view va = length != 0 ? std::string_view(a, length) : std::string_view(a);
        std::string_view vb = length != 0 ? std::string_view(bb, length) : std::string_view(bb);
        uint32_t flags = platform::SORT_STRINGSORT | platform::NORM_IGNORENONSPACE |
                         (ignoreCase ? platform::NORM_IGNORECASE : 0);
        int r = platform::CompareString(platform::MAKELCID(languageId, sortId), flags, va, vb);
        if (r != 0) return r - 2;
    }
    return CompareAnsiBytes(a, b, length, ignoreCase);
}

namespace {

void MapCase(uint16_t languageId, uint16_t sortId, char* text, size_t length, uint32_t flag) {
    std::string mapped;
    // A language the system does not have leaves the text as it is.
    if (platform::LCMapString(MappingLocale(languageId, sortId), flag, std::string_view(text, length),
                              mapped) &&
        mapped.size() == length)
        std::memcpy(text, mapped.data(), length);
}

}  // namespace

void UpperCaseLocale(uint16_t languageId, uint16_t sortId, char* text) {
    MapCase(languageId, sortId, text, std::strlen(text), platform::LCMAP_UPPERCASE);
}

void LowerCaseLocale(uint16_t languageId, uint16_t sortId, char* text) {
    MapCase(languageId, sortId, text, std::strlen(text), platform::LCMAP_LOWERCASE);
}

void UpperCaseLocale(uint16_t languageId, uint16_t sortId, std::string& text) {
    MapCase(languageId, sortId, text.data(), text.size(), platform::LCMAP_UPPERCASE);
}

void LowerCaseLocale(uint16_t languageId, uint16_t sortId, std::string& text) {
    MapCase(languageId, sortId, text.data(), text.size(), platform::LCMAP_LOWERCASE);
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
