// The include and exclude specs over a table of cases.

#include "cataloging/specs/IncludeExclude.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/Globals.h"

namespace cataloging {
namespace {

TSpecList Specs(std::initializer_list<const char*> Entries) {
    TSpecList list{};
    size_t i = 0;
    for (const char* e : Entries) list[i++] = e;
    return list;
}

TEST(IncludeExcludeSpecs, TableOfCases) {
    const struct {
        std::vector<const char*> Include, Exclude;
        const char* Folder;
        const char* Name;
        bool Passes;
    } cases[] = {
        {{}, {}, "\\", "ANY.THING", true},
        {{"*.TXT"}, {}, "\\", "README.TXT", true},
        {{"*.TXT"}, {}, "\\", "README", false},
        {{"*"}, {}, "\\DEEP\\", "MAKEFILE", true},
        {{"*.*"}, {}, "\\", "MAKEFILE", false},
        {{"*.*"}, {}, "\\", "A.B", true},
        {{"\\GAMES\\*"}, {}, "\\GAMES", "DOOM.EXE", true},  // a final "\" is added to the folder
        {{"\\GAMES\\*"}, {}, "\\GAMES\\DOOM\\", "DOOM.WAD", true},
        {{"\\GAMES\\*"}, {}, "\\OLDGAMES\\", "X.EXE", false},
        {{"C:\\TEMP\\*"}, {}, "\\TEMP\\", "A.TMP", false},  // the tested text has no drive
        {{}, {"*.BAK"}, "\\", "OLD.BAK", false},
        {{}, {"*.BAK"}, "\\", "OLD.TXT", true},
        {{"OLD.*"}, {"*.BAK"}, "\\", "OLD.BAK", false},  // included and excluded: not written
        {{"*.jpg"}, {}, "\\", "PHOTO.JPG", true},
        {{"[abc"}, {}, "\\", "A", false},  // malformed: matches nothing, yet the list is not empty
        {{"[abc", "*.TXT"}, {}, "\\", "B.TXT", true},
        {{}, {"[x"}, "\\", "X", true},
        {{"", "", "*.DOC"}, {}, "", "A.DOC", true},  // empty entries are skipped
    };
    for (const auto& c : cases) {
        TSpecList include{}, exclude{};
        for (size_t i = 0; i < c.Include.size(); ++i) include[i] = c.Include[i];
        for (size_t i = 0; i < c.Exclude.size(); ++i) exclude[i] = c.Exclude[i];
        EXPECT_EQ(PassesSpecs(include, exclude, c.Folder, c.Name), c.Passes)
            << (c.Include.empty() ? "" : c.Include[0]) << " / " << (c.Exclude.empty() ? "" : c.Exclude[0]) << " : "
            << c.Folder << c.Name;
    }
}

TEST(IncludeExcludeSpecs, TheProgramsListsAndDirectoryOnlyScans) {
    const auto savedInclude = catalog::IncludeSpecs;
    const auto savedExclude = catalog::ExcludeSpecs;
    catalog::IncludeSpecs = Specs({"*.TXT"});
    catalog::ExcludeSpecs = Specs({"SECRET.*"});
    EXPECT_TRUE(PassesIncludeExclude("\\", "A.TXT"));
    EXPECT_FALSE(PassesIncludeExclude("\\", "A.DOC"));
    EXPECT_FALSE(PassesIncludeExclude("\\", "SECRET.TXT"));
    EXPECT_TRUE(MatchesIncludeSpecs("\\", "SECRET.TXT"));
    EXPECT_TRUE(MatchesExcludeSpecs("\\", "SECRET.TXT"));
    EXPECT_TRUE(PassesIncludeExclude("\\", "A.DOC", true));  // a directory-only scan tests nothing
    catalog::IncludeSpecs = savedInclude;
    catalog::ExcludeSpecs = savedExclude;
}

}  // namespace
}  // namespace cataloging
