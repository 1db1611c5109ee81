#pragma once
// Test support: regional settings of the test's own for the duration of a test (the settings that
// were in force before come back afterwards), and a locale made of a table.

#include <map>
#include <optional>
#include <string>

#include "platform/RegionalSettings.h"

namespace platform::testsupport {

class ScopedRegionalSettings {
public:
    explicit ScopedRegionalSettings(const TRegionalSettings& settings);
    ~ScopedRegionalSettings();
    ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
    ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;

private:
    std::optional<TRegionalSettings> saved_;
};

// A locale whose items are the entries of two tables; an item missing from them is not chosen.
class TTableLocaleSource final : public TLocaleSource {
public:
    std::map<nl_item, std::string> Texts;  // UTF-8
    std::map<nl_item, int> Numbers;

    std::optional<std::string> Text(nl_item item) const override;
    std::optional<int> Number(nl_item item) const override;
};

// A German user's locale (UTF-8, as the C library gives it) with the short date "%-d.%-m.%Y":
// "," and ".", the euro after the amount with a blank, the 24-hour clock, German names.
TTableLocaleSource GermanLocale();
// The regional settings of that locale: "d.M.yyyy", "," and ".", names in Windows-1252 ("M\xE4rz").
TRegionalSettings GermanRegionalSettings();

}  // namespace platform::testsupport
