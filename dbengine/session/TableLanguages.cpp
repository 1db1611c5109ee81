#include "dbengine/session/TableLanguages.h"

#include "dbengine/os/OSLayer.h"

namespace dbengine {

namespace {

// Positions of the German languages in the list, the ones with a phone-book order.
constexpr size_t FirstGermanLanguage = 48;
constexpr size_t LastGermanLanguage = 52;

}  // namespace

const std::vector<TTableLanguage>& TableLanguages() {
    static const std::vector<TTableLanguage> languages = {
        {"ANSI Standard", 0x0000},
        {"Afrikaans", 0x0436},
        {"Albanian", 0x041c},
        {"Arabic (Saudi Arabia)", 0x0401},
        {"Arabic (Iraq)", 0x0801},
        {"Arabic (Egypt)", 0x0c01},
        {"Arabic (Libya)", 0x1001},
        {"Arabic (Algeria)", 0x1401},
        {"Arabic (Morocco)", 0x1801},
        {"Arabic (Tunisia)", 0x1c01},
        {"Arabic (Oman)", 0x2001},
        {"Arabic (Yemen)", 0x2401},
        {"Arabic (Syria)", 0x2801},
        {"Arabic (Jordan)", 0x2c01},
        {"Arabic (Lebanon)", 0x3001},
        {"Arabic (Kuwait)", 0x3401},
        {"Arabic (U.A.E)", 0x3801},
        {"Arabic (Bahrain)", 0x3c01},
        {"Arabic (Qatar)", 0x4001},
        {"Basque", 0x042d},
        {"Belarusian", 0x0423},
        {"Bulgarian", 0x0402},
        {"Catalan", 0x0403},
        {"Croatian", 0x041a},
        {"Czech", 0x0405},
        {"Danish", 0x0406},
        {"Dutch (Standard)", 0x0413},
        {"Dutch (Belgian)", 0x0813},
        {"English (USA)", 0x0409},
        {"English (UK)", 0x0809},
        {"English (Australian)", 0x0c09},
        {"English (Canadian)", 0x1009},
        {"English (New Zealand)", 0x1409},
        {"English (Irish)", 0x1809},
        {"English (South Africa)", 0x1c09},
        {"English (Jamaica)", 0x2009},
        {"English (Caribbean)", 0x2409},
        {"English (Belize)", 0x2809},
        {"English (Trinidad)", 0x2c09},
        {"Estonian", 0x0425},
        {"Faeroese", 0x0438},
        {"Farsi", 0x0429},
        {"Finnish", 0x040b},
        {"French (Standard)", 0x040c},
        {"French (Belgian)", 0x080c},
        {"French (Canadian)", 0x0c0c},
        {"French (Swiss)", 0x100c},
        {"French (Luxembourg)", 0x140c},
        {"German (Standard)", 0x0407},
        {"German (Swiss)", 0x0807},
        {"German (Austrian)", 0x0c07},
        {"German (Luxembourg)", 0x1007},
        {"German (Liechtenstein)", 0x1407},
        {"Greek", 0x0408},
        {"Hebrew", 0x040d},
        {"Hungarian", 0x040e},
        {"Icelandic", 0x040f},
        {"Indonesian", 0x0421},
        {"Italian (Standard)", 0x0410},
        {"Italian (Swiss)", 0x0810},
        {"Latvian", 0x0426},
        {"Lithuanian", 0x0427},
        {"Norwegian (Bokmal)", 0x0414},
        {"Norwegian (Nynorsk)", 0x0814},
        {"Polish", 0x0415},
        {"Portuguese (Standard)", 0x0816},
        {"Portuguese (Brazilian)", 0x0416},
        {"Romanian", 0x0418},
        {"Russian", 0x0419},
        {"Serbian (Latin)", 0x081a},
        {"Serbian (Cyrillic)", 0x0c1a},
        {"Slovak", 0x041b},
        {"Slovenian", 0x0424},
        {"Spanish (Castilian)", 0x040a},
        {"Spanish (Mexican)", 0x080a},
        {"Spanish (Modern)", 0x0c0a},
        {"Spanish (Guatemala)", 0x100a},
        {"Spanish (Costa Rica)", 0x140a},
        {"Spanish (Panama)", 0x180a},
        {"Spanish (Dominican Republic)", 0x1c0a},
        {"Spanish (Venezuela)", 0x200a},
        {"Spanish (Colombia)", 0x240a},
        {"Spanish (Peru)", 0x280a},
        {"Spanish (Argentina)", 0x2c0a},
        {"Spanish (Ecuador)", 0x300a},
        {"Spanish (Chile)", 0x340a},
        {"Spanish (Uruguay)", 0x380a},
        {"Spanish (Paraguay)", 0x3c0a},
        {"Spanish (Bolivia)", 0x400a},
        {"Spanish (El Salvador)", 0x440a},
        {"Spanish (Honduras)", 0x480a},
        {"Spanish (Nicaragua)", 0x4c0a},
        {"Spanish (Puerto Rico)", 0x500a},
        {"Swedish (Standard)", 0x041d},
        {"Swedish (Finland)", 0x081d},
        {"Thai", 0x041e},
        {"Turkish", 0x041f},
        {"Ukranian", 0x0422},
        {"Vietnamese", 0x042a},
    };
    return languages;
}

bool IsTableLanguageName(const std::string& name) {
    for (const TTableLanguage& l : TableLanguages())
        if (SameNameText(l.Name, name)) return true;
    return false;
}

uint16_t GetTableLanguageId(const std::string& name) {
    for (const TTableLanguage& l : TableLanguages())
        if (SameNameText(l.Name, name)) return l.LanguageId;
    return 0;
}

std::vector<std::string> GetSortOrderNames(uint16_t languageId) {
    std::vector<std::string> names = {"Default Order"};
    const auto& languages = TableLanguages();
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].LanguageId != languageId) continue;
        if (i >= FirstGermanLanguage && i <= LastGermanLanguage) names.push_back("German Phone Book Order");
        break;
    }
    return names;
}

bool IsSortOrderName(uint16_t languageId, const std::string& name) {
    for (const std::string& n : GetSortOrderNames(languageId))
        if (SameNameText(n, name)) return true;
    return false;
}

uint16_t GetSortOrderId(uint16_t languageId, const std::string& name) {
    std::vector<std::string> names = GetSortOrderNames(languageId);
    for (size_t i = 0; i < names.size(); ++i)
        if (SameNameText(names[i], name)) return static_cast<uint16_t>(i);
    return 0;
}

}  // namespace dbengine
