#include "controls/kit/StyledStrings.h"

#include <algorithm>
#include <mutex>

#include "framework/core/SysUtils.h"
#include "platform/CodePage.h"
#include "platform/LittleEndian.h"

namespace kit {

using namespace framework;

namespace {

using platform::AppendUInt32;
using platform::GetUInt32;

// UTF-16LE code units to Windows-1252; "?" for what the code page cannot hold (lone surrogates
// included).
std::string Utf16ToAnsi(const uint8_t* P, uint32_t Units) {
    std::string utf8;
    for (uint32_t i = 0; i < Units; ++i) {
        uint32_t c = uint32_t(P[2 * i]) | uint32_t(P[2 * i + 1]) << 8;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Units) {
            const uint32_t low = uint32_t(P[2 * i + 2]) | uint32_t(P[2 * i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                c = '?';
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = '?';
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return platform::Utf8ToAnsi(utf8);
}

// The reader's own messages, as carried by "STYSRMGR_STRINGS".
const char* const kMessages[] = {"",
                                 "String not found: %d",
                                 "Cannot lock resource",
                                 "String resource not found: %s",
                                 "Unable to open string resource: %s",
                                 "Invalid string resource"};

// A message of the reader: from its resource when that can be read, else the built-in text (always
// while the message resource itself is being opened).
std::string Message(int Id, const std::string& Reader) {
    std::string text;
    if (SameText(Reader, "STYSRMGR_STRINGS")) return kMessages[Id];
    try {
        TStyledStringResource& own = StyledStringManagerStrings();
        if (own.Opened()) text = own.String(Id);
    } catch (const EStyledStringResourceError&) {
    }
    return text.empty() ? kMessages[Id] : text;
}

}  // namespace

std::vector<uint8_t> BuildStyledStringResource(std::vector<std::pair<uint32_t, std::string>> Texts) {
    std::sort(Texts.begin(), Texts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint8_t> out = {'S', 'T', 'R', '0'};
    AppendUInt32(out, static_cast<uint32_t>(Texts.size()));
    std::vector<std::u16string> wide;
    uint32_t offset = static_cast<uint32_t>(8 + 12 * Texts.size());
    for (const auto& [id, text] : Texts) {
        const std::string utf8 = platform::AnsiToUtf8(text);
        std::u16string w;
        for (size_t i = 0; i < utf8.size();) {  // UTF-8 of Windows-1252: at most 3 bytes, BMP only
            const auto b = static_cast<unsigned char>(utf8[i]);
            uint32_t c = b;
            int n = 1;
            if (b >= 0xE0) {
                c = b & 0x0F;
                n = 3;
            } else if (b >= 0xC0) {
                c = b & 0x1F;
                n = 2;
            }
            for (int k = 1; k < n && i + k < utf8.size(); ++k)
                c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            i += n;
            w += static_cast<char16_t>(c);
        }
        AppendUInt32(out, id);
        AppendUInt32(out, offset);
        AppendUInt32(out, static_cast<uint32_t>(w.size()));
        offset += static_cast<uint32_t>(2 * w.size());
        wide.push_back(std::move(w));
    }
    for (const auto& w : wide)
        for (char16_t c : w) {
            out.push_back(static_cast<uint8_t>(c & 0xFF));
            out.push_back(static_cast<uint8_t>(c >> 8));
        }
    return out;
}

void RegisterStyledStringResources() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::vector<std::pair<uint32_t, std::string>> own;
        for (uint32_t id = 1; id <= 5; ++id) own.emplace_back(id, kMessages[id]);
        RegisterDataResource("STYSRMGR_STRINGS", RT_RCDATA, BuildStyledStringResource(own));

        const char* const colours[] = {"Black", "Maroon",  "Green",  "Olive", "Navy", "Purple",
                                       "Teal",  "Gray",    "Silver", "Red",   "Lime", "Yellow",
                                       "Blue",  "Fuchsia", "Aqua",   "White"};
        const char* const dates[] = {"No label is attached", "A blank date is not allowed",
                                     "Invalid day",          "Invalid month",
                                     "Invalid month name",   "Invalid year",
                                     "Day is required",      "Month is required",
                                     "Year is required",     "Invalid date"};
        std::vector<std::pair<uint32_t, std::string>> english;
        for (uint32_t id = 0; id < 16; ++id) english.emplace_back(id, colours[id]);
        for (uint32_t id = 0; id < 10; ++id) english.emplace_back(30 + id, dates[id]);
        RegisterDataResource("STYLED_STRINGS_ENGLISH", RT_RCDATA, BuildStyledStringResource(english));
    });
}

TStyledStringResource::TStyledStringResource(HINSTANCE Instance, const std::string& ResourceName)
    : FInstance(Instance), FResourceName(ResourceName) {
    if (!FResourceName.empty()) Open();
}

TStyledStringResource::~TStyledStringResource() {
    Close();
}

void TStyledStringResource::Close() {
    FData = nullptr;
    FSize = 0;
    FCount = 0;
}

void TStyledStringResource::Open() {
    Close();
    RegisterStyledStringResources();
    const std::string name = FResourceName.substr(0, 255);
    HINSTANCE module = FInstance;
    HRSRC res = FindResource(module, name, RT_RCDATA);
    if (!res && module != HInstance) {
        module = HInstance;
        res = FindResource(module, name, RT_RCDATA);
    }
    if (!res) throw EStyledStringResourceError(Format(Message(3, FResourceName), {FResourceName}));
    const HGLOBAL loaded = LoadResource(module, res);
    if (!loaded) throw EStyledStringResourceError(Format(Message(4, FResourceName), {FResourceName}));
    const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
    if (!data) throw EStyledStringResourceError(Message(2, FResourceName));
    const uint32_t size = SizeofResource(module, res);
    // Every index entry and every text must lie inside the resource.
    bool sound = size >= 8 && std::equal(data, data + 4, "STR0");
    const uint32_t count = sound ? GetUInt32(data + 4) : 0;
    sound = sound && 8 + 12 * uint64_t(count) <= size;
    for (uint32_t i = 0; sound && i < count; ++i) {
        const uint8_t* e = data + 8 + 12 * size_t(i);
        sound = uint64_t(GetUInt32(e + 4)) + 2 * uint64_t(GetUInt32(e + 8)) <= size;
    }
    if (!sound) throw EStyledStringResourceError(Message(5, FResourceName));
    FData = data;
    FSize = size;
    FCount = count;
}

std::string TStyledStringResource::String(int Id) {
    if (!FData) {
        if (ReportErrors) throw EStyledStringResourceError(Message(2, FResourceName));
        return {};
    }
    uint32_t lo = 0, hi = FCount;
    const auto key = static_cast<uint32_t>(Id);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const uint8_t* e = FData + 8 + 12 * size_t(mid);
        const uint32_t id = GetUInt32(e);
        if (id == key) return Utf16ToAnsi(FData + GetUInt32(e + 4), GetUInt32(e + 8));
        if (id < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (ReportErrors) throw EStyledStringResourceError(Format(Message(1, FResourceName), {Id}));
    return {};
}

TStyledStringResource& StyledStringManagerStrings() {
    static TStyledStringResource reader(HInstance, "STYSRMGR_STRINGS");
    return reader;
}

TStyledStringResource& StyledEnglishStrings() {
    static TStyledStringResource reader(HInstance, "STYLED_STRINGS_ENGLISH");
    return reader;
}

}  // namespace kit
