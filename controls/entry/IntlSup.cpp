#include "controls/entry/IntlSup.h"

#include <algorithm>
#include <optional>

#include "controls/entry/CtlDates.h"
#include "controls/entry/CtlMessages.h"
#include "framework/core/SysUtils.h"
#include "platform/Locale.h"
#include "platform/Profile.h"
#include "platform/RegionalSettings.h"
#include "platform/Registry.h"

namespace entry {

namespace {

constexpr size_t kCurrencyMax = 5;
constexpr size_t kAmPmMax = 5;
constexpr size_t kLiteralMax = 6;
constexpr size_t kLongDateMax = 39;
constexpr size_t kShortDateMax = 29;
constexpr size_t kMaxCollected = 20;

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char Upper(char c) {
    return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

// A field of a picture: the first run of a letter.
struct TField {
    size_t Pos = std::string::npos;
    size_t Len = 0;
    bool Found() const { return Pos != std::string::npos; }
};

// The first run of Letter in either case (Letter given in lower case).
TField FindField(std::string_view Picture, char Letter) {
    TField f;
    for (size_t i = 0; i < Picture.size(); ++i) {
        if (Lower(Picture[i]) == Letter) {
            f.Pos = i;
            while (i < Picture.size() && Lower(Picture[i]) == Letter) ++i;
            f.Len = i - f.Pos;
            break;
        }
    }
    return f;
}

// The first run of exactly this character.
TField FindExact(std::string_view Picture, char Letter) {
    TField f;
    size_t p = Picture.find(Letter);
    if (p == std::string::npos) return f;
    size_t e = p;
    while (e < Picture.size() && Picture[e] == Letter) ++e;
    return TField{p, e - p};
}

std::string Cut(std::string s, size_t max) {
    if (s.size() > max) s.resize(max);
    return s;
}

std::string Intl(std::string_view key, std::string_view deflt) {
    return platform::GetProfileString("intl", key, deflt);
}

char IntlChar(std::string_view key, char deflt) {
    std::string s = Intl(key, "");
    return s.empty() ? deflt : s[0];
}

std::optional<std::string> RegistryShortDate() {
    platform::HKEY key = 0;
    if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, "Control Panel\\International", &key) != 0) {
        return std::nullopt;
    }
    uint32_t type = 0;
    std::string data;
    const bool ok = platform::RegQueryValueEx(key, "sShortDate", &type, &data) == 0;
    platform::RegCloseKey(key);
    if (!ok) return std::nullopt;
    // A text value may carry its terminator.
    if (auto nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    return data;
}

// Sets a field's run to exactly Len letters (repeating its first letter at its start, or dropping
// letters from its end).
void SetRunLength(std::string& Picture, const TField& f, size_t Len) {
    const char c = Picture[f.Pos];
    if (f.Len < Len)
        Picture.insert(f.Pos, Len - f.Len, c);
    else if (f.Len > Len)
        Picture.erase(f.Pos + Len, f.Len - Len);
}

// The day and month fields of InternationalDate: looked up in lower case first, then upper case; a
// one-letter lower-case field turns upper case (blank padding), a two-letter upper-case one lower
// case (zero padding). AtLeast: the run only grows; otherwise it is set to exactly Len.
void AdjustDayMonth(std::string& Picture, char Letter, size_t Len, bool AtLeast) {
    TField f = FindExact(Picture, Letter);
    bool lower = true;
    if (!f.Found()) {
        f = FindExact(Picture, Upper(Letter));
        lower = false;
    }
    if (!f.Found()) return;
    char c = lower ? Letter : Upper(Letter);
    if (lower && f.Len == 1) c = Upper(Letter);
    if (!lower && f.Len == 2) c = Letter;
    const size_t newLen = AtLeast ? std::max(f.Len, Len) : Len;
    SetRunLength(Picture, f, newLen);
    for (size_t i = 0; i < newLen; ++i) Picture[f.Pos + i] = c;
}

void AdjustYear(std::string& Picture, size_t Len, bool AtLeast) {
    TField f = FindExact(Picture, 'y');
    if (!f.Found()) f = FindExact(Picture, 'Y');
    if (!f.Found()) return;
    SetRunLength(Picture, f, AtLeast ? std::max(f.Len, Len) : Len);
}

void FillNumber(std::string& Text, std::string_view Picture, char Letter, int32_t Value) {
    const TField f = FindField(Picture, Letter);
    if (!f.Found()) return;
    const char pad = IsLower(Picture[f.Pos]) ? '0' : ' ';
    std::string digits = std::to_string(Value < 0 ? 0 : Value);
    if (digits.size() > f.Len) digits.erase(0, digits.size() - f.Len);
    for (size_t i = 0; i < f.Len; ++i) Text[f.Pos + i] = pad;
    std::copy(digits.begin(), digits.end(),
              Text.begin() + static_cast<std::ptrdiff_t>(f.Pos + f.Len - digits.size()));
}

void FillName(std::string& Text, std::string_view Picture, char Letter, const std::string& Name) {
    const TField f = FindField(Picture, Letter);
    if (!f.Found()) return;
    const bool upper = !IsLower(Picture[f.Pos]);
    for (size_t i = 0; i < f.Len; ++i) {
        char c = i < Name.size() ? Name[i] : ' ';
        Text[f.Pos + i] = upper ? platform::CharUpper(c) : c;
    }
}

void FillText(std::string& Text, std::string_view Picture, char Letter, std::string_view Value) {
    const TField f = FindField(Picture, Letter);
    if (!f.Found()) return;
    for (size_t i = 0; i < f.Len; ++i) Text[f.Pos + i] = i < Value.size() ? Value[i] : ' ';
}

void Replace(std::string& Text, std::string_view Picture, char From, char To) {
    for (size_t i = 0; i < Picture.size() && i < Text.size(); ++i)
        if (Picture[i] == From) Text[i] = To;
}

void BlankLetters(std::string& Text, std::string_view Picture, std::string_view Letters) {
    for (size_t i = 0; i < Picture.size() && i < Text.size(); ++i)
        if (Letters.find(Lower(Picture[i])) != std::string_view::npos) Text[i] = ' ';
}

// Drops the blanks that padding put into name and blank-padded number fields, and a blank AM/PM
// text with the blank before it.
std::string Pack(std::string_view Picture, const std::string& Text) {
    static constexpr std::string_view kDropped = "DHMNSWnw";
    std::string out;
    bool keptPrevious = false;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char p = i < Picture.size() ? Picture[i] : '\0';
        const char c = Text[i];
        if (c == ' ' && p != '\0' && kDropped.find(p) != std::string_view::npos) {
            keptPrevious = false;
            continue;
        }
        if (c == ' ' && p == 't') {
            if (i > 0 && Picture[i - 1] == ' ' && keptPrevious) out.pop_back();
            keptPrevious = false;
            continue;
        }
        out.push_back(c);
        keptPrevious = true;
    }
    return out;
}

bool DecimalValue(const std::string& s, int32_t& Value) {
    if (s.empty() || s.size() > 9) return false;
    int32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    Value = v;
    return true;
}

}  // namespace

TCtlIntlSup::TCtlIntlSup() {
    ReadIntlSettings();
}

void TCtlIntlSup::ReadIntlSettings() {
    DecimalChar = IntlChar("sDecimal", '.');
    ThousandChar = IntlChar("sThousand", ',');
    CurrencyDigits = static_cast<uint8_t>(platform::GetProfileInt("intl", "iCurrDigits", 2));
    if (ThousandChar == DecimalChar) {
        DecimalChar = '.';
        ThousandChar = ',';
    }

    NegativeCurrencyFormat = static_cast<uint8_t>(platform::GetProfileInt("intl", "iNegCurr", 0));
    ListChar = IntlChar("sList", ',');
    Country = Intl("sCountry", "");

    CurrencyLeft = Cut(Intl("sCurrency", "$"), kCurrencyMax);
    CurrencyRight = CurrencyLeft;
    CurrencyFormat = static_cast<uint8_t>(platform::GetProfileInt("intl", "iCurrency", 0));
    if (CurrencyFormat == 2) CurrencyLeft = Cut(CurrencyLeft + " ", kCurrencyMax);
    if (CurrencyFormat == 3) CurrencyRight = Cut(" " + CurrencyRight, kCurrencyMax);

    HourLeadingZero = platform::GetProfileInt("intl", "iTLZero", 0) != 0;
    TwelveHour = !framework::LongTimeFormat.empty() && framework::LongTimeFormat.back() == 'M';

    TimeSeparator = IntlChar("sTime", ':');
    DateSeparator = IntlChar("sDate", '/');
    AmString = Cut(Intl("s1159", "AM"), kAmPmMax);
    PmString = Cut(Intl("s2359", "PM"), kAmPmMax);

    std::optional<std::string> shortDate = RegistryShortDate();
    ShortDatePicture = Cut(shortDate ? *shortDate : Intl("sShortDate", "MM/dd/yy"), kShortDateMax);
    for (char& c : ShortDatePicture)
        if (c == DateSeparator) c = '/';

    LongDatePicture = Cut(Intl("sLongDate", "dddd, MMMM dd, yyyy"), kLongDateMax);

    // The quoted parts of the long date become literals, shown through the markers f, g and h.
    static constexpr char kMarkers[3] = {'f', 'g', 'h'};
    for (int i = 0; i < 3; ++i) {
        LongDateLiterals[i].clear();
        const size_t open = LongDatePicture.find('\'');
        if (open == std::string::npos) continue;
        LongDatePicture.erase(open, 1);
        const size_t close = LongDatePicture.find('\'', open);
        if (close == std::string::npos) continue;
        std::string literal = LongDatePicture.substr(open, close - open);
        const size_t kept = std::min(literal.size(), kLiteralMax);
        LongDateLiterals[i] = literal.substr(0, kept);
        LongDatePicture.replace(open, close - open + 1, std::string(kept, kMarkers[i]));
    }

    if (size_t p = LongDatePicture.find("ddd"); p != std::string::npos) {
        while (p < LongDatePicture.size() && LongDatePicture[p] == 'd') LongDatePicture[p++] = 'w';
    }
    for (std::string* picture : {&ShortDatePicture, &LongDatePicture}) {
        if (size_t p = picture->find("MMM"); p != std::string::npos) {
            while (p < picture->size() && (*picture)[p] == 'M') (*picture)[p++] = 'n';
        }
    }

    for (size_t i = 0; i < LongDatePicture.size(); ++i) {
        const char c = LongDatePicture[i];
        if ((c == ',' || c == '.') && (i + 1 >= LongDatePicture.size() || LongDatePicture[i + 1] != ' ')) {
            LongDatePicture.insert(i + 1, 1, ' ');
        }
    }
    LongDatePicture = Cut(LongDatePicture, kLongDateMax);

    auto oneChar = [](uint32_t number, char& target) {
        const std::string text = CtlGetMessage(number);
        if (text.size() == 1) target = text[0];
    };
    oneChar(SCtlYesChar, YesChar);
    oneChar(SCtlNoChar, NoChar);
    oneChar(SCtlTrueChar, TrueChar);
    oneChar(SCtlFalseChar, FalseChar);

    const platform::TRegionalSettings settings = platform::RegionalSettings();
    FMonthNames = settings.MonthNames;
    FDayNames = settings.DayNames;
}

std::string TCtlIntlSup::CurrencyLeftStr() const {
    return (CurrencyFormat == 0 || CurrencyFormat == 2) ? CurrencyLeft : std::string();
}

std::string TCtlIntlSup::CurrencyRightStr() const {
    return (CurrencyFormat == 1 || CurrencyFormat == 3) ? CurrencyRight : std::string();
}

std::string TCtlIntlSup::InternationalDate(bool ForceCentury) const {
    std::string picture = ShortDatePicture;
    AdjustDayMonth(picture, 'd', 2, true);
    AdjustDayMonth(picture, 'm', 2, true);
    AdjustYear(picture, ForceCentury ? 4 : 2, true);
    return picture;
}

std::string TCtlIntlSup::InternationalLongDate(bool ShortNames, bool ExcludeDayOfWeek) const {
    std::string picture = LongDatePicture;
    TField w = FindField(picture, 'w');
    if (ExcludeDayOfWeek) {
        if (w.Found()) {
            size_t e = w.Pos;
            while (e < picture.size() &&
                   std::string_view("dmny").find(Lower(picture[e])) == std::string_view::npos)
                ++e;
            picture.erase(w.Pos, e - w.Pos);
        }
    } else if (w.Found()) {
        if (ShortNames) {
            SetRunLength(picture, w, 3);
        } else if (w.Len == 4) {
            size_t longest = 0;
            for (const auto& n : FDayNames) longest = std::max(longest, n.size());
            SetRunLength(picture, w, longest);
        }
    }
    TField n = FindField(picture, 'n');
    if (n.Found()) {
        if (ShortNames) {
            SetRunLength(picture, n, 3);
        } else if (n.Len == 4) {
            size_t longest = 0;
            for (const auto& name : FMonthNames) longest = std::max(longest, name.size());
            SetRunLength(picture, n, longest);
        }
    }
    AdjustDayMonth(picture, 'd', 2, false);
    AdjustDayMonth(picture, 'm', 2, false);
    AdjustYear(picture, 4, false);
    return picture;
}

std::string TCtlIntlSup::InternationalTime(bool ShowSeconds) const {
    std::string picture = "hh:mm:ss";
    if (!HourLeadingZero) picture[0] = 'H';
    if (!ShowSeconds) picture.resize(5);
    if (TwelveHour) picture += " " + std::string(std::max(AmString.size(), PmString.size()), 't');
    return picture;
}

std::string TCtlIntlSup::DateToDateString(std::string_view Picture, int32_t Date, bool Pack) const {
    std::string text(Picture);
    if (Date == CtlBadDate) {
        BlankLetters(text, Picture, "mndyw");
        for (int i = 0; i < 3; ++i) FillText(text, Picture, "fgh"[i], LongDateLiterals[i]);
        Replace(text, Picture, '/', DateSeparator);
        return text;
    }
    int32_t day = 0, month = 0, year = 0;
    CtlDecodeDate(Date, day, month, year);
    FillNumber(text, Picture, 'm', month);
    FillNumber(text, Picture, 'd', day);
    FillNumber(text, Picture, 'y', year);
    FillName(text, Picture, 'n', month >= 1 && month <= 12 ? FMonthNames[month - 1] : std::string());
    const int32_t dow = CtlDayOfWeek(Date);
    FillName(text, Picture, 'w', dow >= 0 && dow <= 6 ? FDayNames[dow] : std::string());
    Replace(text, Picture, '/', DateSeparator);
    for (int i = 0; i < 3; ++i) FillText(text, Picture, "fgh"[i], LongDateLiterals[i]);
    return Pack ? entry::Pack(Picture, text) : text;
}

namespace {

// The value of a field of S laid out by Picture: Default when the picture has no such field or the
// lengths differ, Blank when the field holds only blanks, -1 when it holds no number (or no month
// name for n).
int32_t ReadField(const TCtlIntlSup& Intl, std::string_view Picture, std::string_view S, char Letter,
                  int32_t Default, int32_t Blank) {
    const TField f = FindField(Picture, Letter);
    if (!f.Found() || Picture.size() != S.size()) return Default;
    std::string collected;
    for (size_t i = f.Pos; i < f.Pos + f.Len && collected.size() < kMaxCollected; ++i)
        if (S[i] != ' ') collected.push_back(S[i]);
    if (collected.empty()) return Blank;
    if (Letter == 'n') {
        const int32_t month = Intl.MonthStringToMonth(collected, static_cast<int>(f.Len));
        return month == 0 ? -1 : month;
    }
    int32_t value = 0;
    return DecimalValue(collected, value) ? value : -1;
}

}  // namespace

bool TCtlIntlSup::DateStringToDMY(std::string_view Picture, std::string_view S, int32_t& Day, int32_t& Month,
                                  int32_t& Year, int32_t Epoch) const {
    if (Picture.size() != S.size()) return false;
    Month = ReadField(*this, Picture, S, 'n', 0, -1);
    if (Month == 0) Month = ReadField(*this, Picture, S, 'm', CtlCurrentMonth(), -1);
    Day = ReadField(*this, Picture, S, 'd', 1, -1);
    Year = ReadField(*this, Picture, S, 'y', CtlCurrentYear(), -1);
    return CtlValidDate(Day, Month, Year, Epoch);
}

int32_t TCtlIntlSup::DateStringToDate(std::string_view Picture, std::string_view S, int32_t Epoch) const {
    int32_t d = 0, m = 0, y = 0;
    if (!DateStringToDMY(Picture, S, d, m, y, Epoch)) return CtlBadDate;
    return CtlEncodeDate(d, m, y, Epoch);
}

bool TCtlIntlSup::DateStringIsBlank(std::string_view Picture, std::string_view S) const {
    int32_t month = ReadField(*this, Picture, S, 'n', 0, -2);
    if (month == 0) month = ReadField(*this, Picture, S, 'm', -2, -2);
    const int32_t day = ReadField(*this, Picture, S, 'd', -2, -2);
    const int32_t year = ReadField(*this, Picture, S, 'y', -2, -2);
    return month == -2 && day == -2 && year == -2;
}

std::string TCtlIntlSup::TimeToTimeString(std::string_view Picture, int32_t Time, bool Pack) const {
    uint8_t h = 0, m = 0, s = 0;
    CtlDecodeTime(Time, h, m, s);
    int32_t hours = h;
    const TField t = FindField(Picture, 't');
    std::string ampm;
    if (t.Found()) {
        ampm = hours < 12 ? AmString : PmString;
        if (!AmString.empty() && !PmString.empty()) {
            if (hours == 0)
                hours = 12;
            else if (hours >= 13 && hours <= 23)
                hours -= 12;
        }
    }
    std::string text(Picture);
    if (Time == CtlBadTime) {
        BlankLetters(text, Picture, "hms");
    } else {
        FillNumber(text, Picture, 'h', hours);
        FillNumber(text, Picture, 'm', m);
        FillNumber(text, Picture, 's', s);
    }
    Replace(text, Picture, ':', TimeSeparator);
    if (t.Found()) {
        const bool blank = (AmString.empty() && PmString.empty()) || (Time == CtlBadTime && AmString.empty());
        FillText(text, Picture, 't', blank ? std::string_view() : std::string_view(ampm));
    }
    return (Pack && Time != CtlBadTime) ? entry::Pack(Picture, text) : text;
}

bool TCtlIntlSup::TimeStringToHMS(std::string_view Picture, std::string_view S, int32_t& Hours,
                                  int32_t& Minutes, int32_t& Seconds) const {
    if (Picture.size() != S.size()) return false;
    Hours = ReadField(*this, Picture, S, 'h', 0, -1);
    Minutes = ReadField(*this, Picture, S, 'm', 0, -1);
    Seconds = ReadField(*this, Picture, S, 's', 0, -1);
    if (Hours == -1 || Minutes == -1 || Seconds == -1) return false;
    const TField t = FindField(Picture, 't');
    if (t.Found() && !AmString.empty() && !PmString.empty()) {
        std::string text(S.substr(t.Pos, t.Len));
        while (!text.empty() && text.back() == ' ') text.pop_back();
        auto same = [&](const std::string& word) {
            const std::string cut = word.substr(0, std::min(word.size(), t.Len));
            return !text.empty() && framework::AnsiCompareText(text, cut) == 0;
        };
        if (same(PmString) && Hours <= 12) {
            if (Hours < 12) Hours += 12;
        } else if (same(AmString) && Hours >= 1 && Hours <= 12) {
            if (Hours == 12) Hours = 0;
        } else {
            Hours = -1;
        }
    }
    return CtlValidTime(Hours, Minutes, Seconds);
}

int32_t TCtlIntlSup::TimeStringToTime(std::string_view Picture, std::string_view S) const {
    int32_t h = 0, m = 0, s = 0;
    if (!TimeStringToHMS(Picture, S, h, m, s)) return CtlBadTime;
    return CtlEncodeTime(h, m, s);
}

int32_t TCtlIntlSup::MonthStringToMonth(std::string_view S, int Width) const {
    if (Width <= 0 || S.empty()) return 0;
    auto upperCut = [Width](std::string_view text) {
        std::string u(text.substr(0, std::min(text.size(), static_cast<size_t>(Width))));
        for (char& c : u) c = platform::CharUpper(c);
        return u;
    };
    const std::string wanted = upperCut(S);
    for (int i = 0; i < 12; ++i)
        if (upperCut(FMonthNames[i]) == wanted) return i + 1;
    return 0;
}

TCtlIntlSup& CtlIntlSup() {
    static TCtlIntlSup instance;
    return instance;
}

}  // namespace entry
