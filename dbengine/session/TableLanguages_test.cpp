#include "dbengine/session/TableLanguages.h"

#include <gtest/gtest.h>

#include "dbengine/os/OSLayer.h"

namespace dbengine {
namespace {

TEST(TableLanguagesTest, ListAndLookups) {
    const auto& languages = TableLanguages();
    ASSERT_EQ(languages.size(), 99u);
    EXPECT_EQ(languages.front().Name, "ANSI Standard");
    EXPECT_EQ(languages.back().Name, "Vietnamese");
    EXPECT_EQ(GetTableLanguageId("english (usa)"), 0x0409);
    EXPECT_EQ(GetTableLanguageId("GERMAN (SWISS)"), 0x0807);
    EXPECT_EQ(GetTableLanguageId("Klingon"), 0);
    EXPECT_FALSE(IsTableLanguageName("Klingon"));
    EXPECT_EQ(GetTableLanguageId("ANSI Standard"), 0);
    EXPECT_TRUE(IsTableLanguageName("ansi standard"));
    // Each id is the primary language in bits 0..9 and the sublanguage above.
    EXPECT_EQ(MakeLangId(0x07, 0x02), 0x0807);
    EXPECT_EQ(MakeLocaleId(0x0407, 1), 0x10407u);
}

TEST(TableLanguagesTest, PhoneBookOrderOnlyForTheGermanLanguages) {
    int withPhoneBook = 0;
    for (const TTableLanguage& l : TableLanguages()) {
        bool german = l.Name.rfind("German (", 0) == 0;
        EXPECT_EQ(IsSortOrderName(l.LanguageId, "german phone book order"), german) << l.Name;
        if (german) {
            EXPECT_EQ(GetSortOrderId(l.LanguageId, "German Phone Book Order"), 1);
            ++withPhoneBook;
        }
        EXPECT_TRUE(IsSortOrderName(l.LanguageId, "Default Order"));
        EXPECT_EQ(GetSortOrderId(l.LanguageId, "DEFAULT ORDER"), 0);
    }
    EXPECT_EQ(withPhoneBook, 5);
    // An id not in the list offers only the default order.
    EXPECT_TRUE(IsSortOrderName(0x7777, "Default Order"));
    EXPECT_FALSE(IsSortOrderName(0x7777, "German Phone Book Order"));
    EXPECT_EQ(GetSortOrderId(0x0409, "German Phone Book Order"), 0);
    EXPECT_EQ(GetSortOrderId(0x0407, "Nonsense"), 0);
}

}  // namespace
}  // namespace dbengine
