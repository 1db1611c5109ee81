#include "platform/RegionalSettings.h"

#include <clocale>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/CodePage.h"

namespace platform {

TRegionalSettings UnitedStatesRegionalSettings() {
    TRegionalSettings s;
    s.sDecimal = ".";
    s.sThousand = ",";
    s.iCurrDigits = 2;
    s.iNegCurr = 0;
    s.sList = ",";
    s.sCountry = "United States";
    s.sCurrency = "$";
    s.iCurrency = 0;
    s.iTLZero = 0;
    s.iTime = 0;
    s.sTime = ":";
    s.sDate = "/";
    s.s1159 = "AM";
    s.s2359 = "PM";
    s.sShortDate = "M/d/yyyy";
    s.sLongDate = "dddd, MMMM d, yyyy";
    s.iDate = 0;
    s.MonthNames = {"January", "February", "March",     "April",   "May",      "June",
                    "July",    "August",   "September", "October", "November", "December"};
    s.AbbrevMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    s.DayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    s.AbbrevDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return s;
}

namespace {

// ---- C-library layouts -------------------------------------------------------------------------

// One piece of a layout: a conversion ("%d" → code 'd') or one literal character (code 0).
struct LayoutPiece {
    char code = 0;
    bool unpadded = false;  // "%-d", "%_d": no leading zero
    char literal = 0;
};

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiLetterOrDigit(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

// Splits a layout into pieces, with the combined conversions (%D, %F, %T, %R, %r) spelled out.
void SplitLayout(std::string_view layout, std::vector<LayoutPiece>& pieces, int depth) {
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] != '%' || i + 1 >= layout.size()) {
            pieces.push_back(LayoutPiece{0, false, layout[i]});
            continue;
        }
        bool unpadded = false;
        char code = layout[++i];
        // Flags, field widths and the alternative-form modifiers change nothing a picture can show,
        // except that "-" and "_" drop the leading zero.
        while (i + 1 < layout.size() &&
               (code == 'E' || code == 'O' || code == '-' || code == '_' || code == '0' || code == '^' ||
                code == '#' || (code >= '1' && code <= '9'))) {
            if (code == '-' || code == '_') unpadded = true;
            code = layout[++i];
        }
        const char* spelled = code == 'D'   ? "%m/%d/%y"
                              : code == 'F' ? "%Y-%m-%d"
                              : code == 'T' ? "%H:%M:%S"
                              : code == 'R' ? "%H:%M"
                              : code == 'r' ? "%I:%M:%S %p"
                                            : nullptr;
        if (spelled) {
            if (depth < 2) SplitLayout(spelled, pieces, depth + 1);
        } else if (code == '%') {
            pieces.push_back(LayoutPiece{0, false, '%'});
        } else {
            pieces.push_back(LayoutPiece{code, unpadded, 0});
        }
    }
}

std::vector<LayoutPiece> SplitLayout(std::string_view layout) {
    std::vector<LayoutPiece> pieces;
    SplitLayout(layout, pieces, 0);
    return pieces;
}

struct TimeLayout {
    bool found = false;  // the layout shows the hour
    bool twelveHour = false;
    bool leadingZero = false;
    std::string separator;  // the text between the hour and the next field
};

TimeLayout ReadTimeLayout(std::string_view layout) {
    TimeLayout t;
    const std::vector<LayoutPiece> pieces = SplitLayout(layout);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const char code = pieces[i].code;
        if (code == 'I' || code == 'l' || code == 'p' || code == 'P') t.twelveHour = true;
        if (t.found || (code != 'H' && code != 'I' && code != 'k' && code != 'l')) continue;
        t.found = true;
        t.leadingZero = (code == 'H' || code == 'I') && !pieces[i].unpadded;
        for (std::size_t j = i + 1; j < pieces.size() && pieces[j].code == 0; ++j)
            t.separator += pieces[j].literal;
    }
    return t;
}

// ---- currency placement ------------------------------------------------------------------------

// iCurrency from whether the symbol precedes the amount and whether a blank separates them.
int32_t CurrencyPlacement(bool precedes, bool blank) {
    return precedes ? (blank ? 2 : 0) : (blank ? 3 : 1);
}

// iNegCurr from the same two and the C library's sign position: 0 parentheses, 1 sign before
// amount and symbol, 2 sign after both, 3 sign just before the symbol, 4 sign just after it.
int32_t NegativeCurrencyPattern(bool precedes, bool blank, int signPosition) {
    static const int8_t kPattern[2][2][5] = {
        // symbol after the amount
        {{4, 5, 7, 6, 7},       // "(1$)" "-1$" "1$-" "1-$" "1$-"
         {15, 8, 10, 13, 10}},  // "(1 $)" "-1 $" "1 $-" "1- $" "1 $-"
        // symbol before the amount
        {{0, 1, 3, 1, 2},      // "($1)" "-$1" "$1-" "-$1" "$-1"
         {14, 9, 11, 9, 12}},  // "($ 1)" "-$ 1" "$ 1-" "-$ 1" "$ -1"
    };
    if (signPosition < 0 || signPosition > 4) signPosition = 1;
    return kPattern[precedes ? 1 : 0][blank ? 1 : 0][signPosition];
}

// ---- the process locale ------------------------------------------------------------------------

// The locale name the environment chooses for a category; empty for the plain C locale.
std::string ChosenLocaleName(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            const std::string name = value;
            if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return {};
            return name;
        }
    }
    return {};
}

struct CategoryOfLocale {
    int category;
    int mask;
    const char* variable;
};

constexpr CategoryOfLocale kCategories[] = {
    {LC_NUMERIC, LC_NUMERIC_MASK, "LC_NUMERIC"},
    {LC_MONETARY, LC_MONETARY_MASK, "LC_MONETARY"},
    {LC_TIME, LC_TIME_MASK, "LC_TIME"},
    {LC_ADDRESS, LC_ADDRESS_MASK, "LC_ADDRESS"},
};

// What decides the process locale's settings: the chosen name of every category and where the C
// library looks for locales.
std::string ProcessLocaleKey() {
    std::string key;
    for (const auto& c : kCategories) key += ChosenLocaleName(c.variable) + '\n';
    if (const char* path = std::getenv("LOCPATH")) key += path;
    return key;
}

class ProcessLocaleSource final : public TLocaleSource {
public:
    ProcessLocaleSource() {
        for (std::size_t i = 0; i < std::size(kCategories); ++i) {
            if (ChosenLocaleName(kCategories[i].variable).empty()) continue;
            locales_[i] = newlocale(kCategories[i].mask, "", static_cast<locale_t>(0));
        }
    }
    ~ProcessLocaleSource() override {
        for (locale_t l : locales_)
            if (l) freelocale(l);
    }
    ProcessLocaleSource(const ProcessLocaleSource&) = delete;
    ProcessLocaleSource& operator=(const ProcessLocaleSource&) = delete;

    std::optional<std::string> Text(nl_item item) const override {
        locale_t l = LocaleOf(item);
        if (!l) return std::nullopt;
        const char* text = nl_langinfo_l(item, l);
        return std::string(text ? text : "");
    }
    std::optional<int> Number(nl_item item) const override {
        locale_t l = LocaleOf(item);
        if (!l) return std::nullopt;
        const char* value = nl_langinfo_l(item, l);
        // One byte; the C library marks an unspecified value with CHAR_MAX (or -1).
        const int n = value ? static_cast<signed char>(*value) : -1;
        if (n < 0 || n == 127) return std::nullopt;
        return n;
    }

private:
    locale_t LocaleOf(nl_item item) const {
        const int category = _NL_ITEM_CATEGORY(item);
        for (std::size_t i = 0; i < std::size(kCategories); ++i)
            if (kCategories[i].category == category) return locales_[i];
        return static_cast<locale_t>(0);
    }

    locale_t locales_[std::size(kCategories)] = {};
};

struct SettingsState {
    std::mutex mutex;
    std::optional<TRegionalSettings> replacement;
    std::optional<TRegionalSettings> fromLocale;
    std::string fromLocaleKey;
};

SettingsState& State() {
    static SettingsState state;
    return state;
}

}  // namespace

std::string ShortDateFromLayout(std::string_view layout, std::string* separator, int32_t* order) {
    std::string picture;
    std::string sep;
    std::string fields;  // 'd', 'm', 'y' in order of appearance
    const std::vector<LayoutPiece> pieces = SplitLayout(layout);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const LayoutPiece& p = pieces[i];
        if (p.code == 0) {
            if (IsAsciiLetter(p.literal)) {
                // A run of letters is text, quoted so that it is not read as picture letters.
                picture += '\'';
                for (; i < pieces.size() && pieces[i].code == 0 && IsAsciiLetter(pieces[i].literal); ++i)
                    picture += pieces[i].literal;
                picture += '\'';
                --i;
            } else if (p.literal == '\'') {
                picture += "''";
            } else {
                if (sep.empty() && p.literal != ' ' && !IsAsciiLetterOrDigit(p.literal)) sep = p.literal;
                picture += p.literal;
            }
            continue;
        }
        const char* field = nullptr;
        char kind = 0;
        switch (p.code) {
            case 'd':
                field = p.unpadded ? "d" : "dd";
                kind = 'd';
                break;
            case 'e':
                field = "d";
                kind = 'd';
                break;
            case 'm':
                field = p.unpadded ? "M" : "MM";
                kind = 'm';
                break;
            case 'b':
            case 'h':
                field = "MMM";
                kind = 'm';
                break;
            case 'B':
                field = "MMMM";
                kind = 'm';
                break;
            case 'y':
                field = "yy";
                kind = 'y';
                break;
            case 'Y':
                field = "yyyy";
                kind = 'y';
                break;
            case 'a':
                field = "ddd";
                break;
            case 'A':
                field = "dddd";
                break;
            default:
                break;  // fields a date picture has no letters for are left out
        }
        if (!field) continue;
        picture += field;
        if (kind && fields.find(kind) == std::string::npos) fields += kind;
    }
    if (separator) *separator = sep;
    if (order) *order = fields.empty() || fields[0] == 'm' ? 0 : fields[0] == 'd' ? 1 : 2;
    return picture;
}

TRegionalSettings RegionalSettingsFromLocale(const TLocaleSource& source) {
    TRegionalSettings s = UnitedStatesRegionalSettings();
    auto text = [&source](nl_item item) -> std::optional<std::string> {
        std::optional<std::string> t = source.Text(item);
        if (t) *t = Utf8ToAnsi(*t);
        return t;
    };
    auto setText = [&text](std::string& field, nl_item item) {
        if (std::optional<std::string> t = text(item); t && !t->empty()) field = *t;
    };

    // Numbers
    setText(s.sDecimal, RADIXCHAR);
    if (std::optional<std::string> t = text(THOUSEP)) s.sThousand = *t;
    if (s.sThousand.empty() || s.sThousand == s.sDecimal) s.sThousand = s.sDecimal == "," ? "." : ",";
    s.sList = s.sDecimal == "," ? ";" : ",";

    // Currency
    setText(s.sCurrency, CURRENCY_SYMBOL);
    if (std::optional<int> digits = source.Number(FRAC_DIGITS); digits && *digits <= 9)
        s.iCurrDigits = *digits;
    const std::optional<int> pPrecedes = source.Number(P_CS_PRECEDES);
    const std::optional<int> pBlank = source.Number(P_SEP_BY_SPACE);
    if (pPrecedes && pBlank) s.iCurrency = CurrencyPlacement(*pPrecedes != 0, *pBlank != 0);
    const std::optional<int> nPrecedes = source.Number(N_CS_PRECEDES);
    const std::optional<int> nBlank = source.Number(N_SEP_BY_SPACE);
    const std::optional<int> nSign = source.Number(N_SIGN_POSN);
    if (nPrecedes && nBlank && nSign)
        s.iNegCurr = NegativeCurrencyPattern(*nPrecedes != 0, *nBlank != 0, *nSign);

    setText(s.sCountry, _NL_ADDRESS_COUNTRY_NAME);

    // Dates
    if (std::optional<std::string> layout = text(D_FMT); layout && !layout->empty()) {
        std::string separator;
        int32_t order = 0;
        const std::string picture = ShortDateFromLayout(*layout, &separator, &order);
        if (!picture.empty()) {
            s.sShortDate = picture;
            s.sDate = separator.empty() ? "/" : separator;
            s.iDate = order;
            static const char* const kLongDates[3] = {"dddd, MMMM d, yyyy", "dddd, d MMMM yyyy",
                                                      "dddd, yyyy MMMM d"};
            s.sLongDate = kLongDates[order];
        }
    }

    // Times
    if (std::optional<std::string> layout = text(T_FMT)) {
        const TimeLayout t = ReadTimeLayout(*layout);
        if (t.found) {
            s.iTime = t.twelveHour ? 0 : 1;
            s.iTLZero = t.leadingZero ? 1 : 0;
            if (!t.separator.empty()) s.sTime = t.separator;
        }
    }
    const std::optional<std::string> am = text(AM_STR);
    const std::optional<std::string> pm = text(PM_STR);
    // A 24-hour clock may leave them empty; a 12-hour clock needs them.
    if (am && (s.iTime == 1 || !am->empty())) s.s1159 = *am;
    if (pm && (s.iTime == 1 || !pm->empty())) s.s2359 = *pm;

    // Names
    for (int i = 0; i < 12; ++i) {
        setText(s.MonthNames[i], static_cast<nl_item>(MON_1 + i));
        setText(s.AbbrevMonthNames[i], static_cast<nl_item>(ABMON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        setText(s.DayNames[i], static_cast<nl_item>(DAY_1 + i));
        setText(s.AbbrevDayNames[i], static_cast<nl_item>(ABDAY_1 + i));
    }
    return s;
}

TRegionalSettings RegionalSettings() {
    SettingsState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.replacement) return *state.replacement;
    std::string key = ProcessLocaleKey();
    if (!state.fromLocale || key != state.fromLocaleKey) {
        state.fromLocale = RegionalSettingsFromLocale(ProcessLocaleSource());
        state.fromLocaleKey = std::move(key);
    }
    return *state.fromLocale;
}

std::optional<TRegionalSettings> SetRegionalSettings(std::optional<TRegionalSettings> settings) {
    SettingsState& state = State();
    std::lock_guard lock(state.mutex);
    std::swap(state.replacement, settings);
    return settings;
}

}  // namespace platform
