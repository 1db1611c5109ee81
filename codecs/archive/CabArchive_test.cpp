#include "codecs/archive/CabArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "codecs/archive/ArcBrowser.h"
#include "codecs/archive/ArcErrors.h"
#include "codecs/testsupport/TestFiles.h"
#include "platform/Cabinet.h"
#include "platform/Paths.h"

namespace codecs {
namespace {

namespace fs = std::filesystem;
using testing::Put16;
using testing::Put32;
using testing::TempDir;
using testing::Win;

// One entry as the standard tools describe it.
struct ToolEntry {
    std::string Name;
    uint32_t Size = 0;
    uint16_t Date = 0, Time = 0;
    uint32_t Attributes = 0;
};

uint16_t DosDate(int y, int m, int d) {
    return static_cast<uint16_t>((y - 1980) << 9 | m << 5 | d);
}
uint16_t DosTime(int h, int mi, int s) {
    return static_cast<uint16_t>(h << 11 | mi << 5 | s / 2);
}

// Sizes, dates and names from `cabextract -l`, attributes from `gcab -lv` (the other tool does not
// show them); names with "\" between folders as the cabinet stores them.
std::vector<ToolEntry> ToolListing(const TempDir& dir, const std::string& cab) {
    EXPECT_EQ(
        testing::Run("cabextract -l " + cab + " > list.txt && gcab -lv " + cab + " > attrs.txt", dir.Path()),
        0);
    std::vector<ToolEntry> entries;
    std::istringstream list(testing::ReadFile(dir / "list.txt"));
    std::string line;
    while (std::getline(list, line)) {
        unsigned size, d, mo, y, h, mi, s;
        char name[300];
        if (std::sscanf(line.c_str(), " %u | %u.%u.%u %u:%u:%u | %299[^\n]", &size, &d, &mo, &y, &h, &mi, &s,
                        name) != 8)
            continue;
        ToolEntry e;
        e.Name = name;
        for (char& c : e.Name)
            if (c == '/') c = '\\';
        e.Size = size;
        e.Date = DosDate(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d));
        e.Time = DosTime(static_cast<int>(h), static_cast<int>(mi), static_cast<int>(s));
        entries.push_back(e);
    }
    std::istringstream attrs(testing::ReadFile(dir / "attrs.txt"));
    size_t i = 0;
    while (std::getline(attrs, line) && i < entries.size()) {
        size_t x = line.rfind(" 0x");
        if (x != std::string::npos) entries[i++].Attributes = std::stoul(line.substr(x + 1), nullptr, 16);
    }
    return entries;
}

class CabinetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::ToolAvailable("gcab") || !testing::ToolAvailable("cabextract"))
            GTEST_SKIP() << "gcab or cabextract is not installed";
        fs::create_directories(Dir.Path() / "src" / "docs");
        testing::WriteFile(Dir / "src/a.txt", testing::TextLike(40000, 1));
        testing::WriteFile(Dir / "src/b.bin", testing::RandomBytes(70000, 2));
        testing::WriteFile(Dir / "src/empty.txt", "");
        testing::WriteFile(Dir / "src/docs/readme.txt", "read me\r\n");
        testing::Run(
            "touch -d '2018-07-06 05:04:02' a.txt empty.txt && touch -d '2001-12-31 23:59:59' b.bin "
            "docs/readme.txt",
            Dir.Path() / "src");
    }
    TempDir Dir;
};

TEST_F(CabinetFiles, ListingMatchesTheToolsAndExtractionMatchesCabextract) {
    for (const char* options : {"-c", "-cz"}) {
        SCOPED_TRACE(options);
        fs::remove_all(Dir.Path() / "out");
        fs::remove_all(Dir.Path() / "ref");
        fs::create_directories(Dir.Path() / "out");
        ASSERT_EQ(testing::Run(std::string("rm -f ../t.cab && gcab ") + options +
                                   " ../t.cab a.txt b.bin empty.txt docs/readme.txt",
                               Dir.Path() / "src"),
                  0);
        const std::vector<ToolEntry> expected = ToolListing(Dir, "t.cab");
        ASSERT_EQ(expected.size(), 4u);

        TArcCabBrowser browser(nullptr);
        int changes = 0;
        browser.OnChange = [&](framework::TObject*) { ++changes; };
        browser.SetFileName(Win(Dir / "t.cab"));
        EXPECT_EQ(changes, 1);
        ASSERT_EQ(browser.Count(), 4);
        EXPECT_EQ(browser.FolderCount(), 1);
        EXPECT_EQ(browser.CabSize(), fs::file_size(Dir.Path() / "t.cab"));
        EXPECT_FALSE(browser.HasPrev());
        EXPECT_FALSE(browser.HasNext());
        for (int i = 0; i < browser.Count(); ++i) {
            TArcCabItem* item = browser.GetItem(i);
            SCOPED_TRACE(expected[i].Name);
            EXPECT_EQ(item->GetStoredName(), expected[i].Name);
            EXPECT_EQ(item->GetUnpackedSize(), expected[i].Size);
            EXPECT_EQ(item->GetDosDate(), expected[i].Date);
            EXPECT_EQ(item->GetDosTime(), expected[i].Time);
            EXPECT_EQ(item->GetAttributes(), expected[i].Attributes);
            EXPECT_EQ(item->PendingAction, paNone);
            EXPECT_FALSE(item->StartsInPreviousCabinet);
        }

        // Every item extracted on its own, with its folder, equals what cabextract writes.
        ASSERT_EQ(testing::Run("cabextract -q -d ref t.cab", Dir.Path()), 0);
        TArcCabArchive* cab = browser.CabArchive();
        cab->SetBaseDirectory(Win(Dir / "out"));
        cab->ExtractOptions = eoCreateDirs | eoRestorePath;
        int failures = 0;
        cab->OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t, int32_t, int32_t) {
            ++failures;
        };
        for (int i = 0; i < cab->Count(); ++i) cab->ExtractItemAt(i);
        EXPECT_EQ(failures, 0);
        for (const char* name : {"a.txt", "b.bin", "empty.txt", "docs/readme.txt"}) {
            EXPECT_EQ(testing::ReadFile(Dir / (std::string("out/") + name)),
                      testing::ReadFile(Dir / (std::string("ref/") + name)))
                << name;
            EXPECT_EQ(fs::last_write_time(Dir.Path() / "out" / name),
                      fs::last_write_time(Dir.Path() / "ref" / name))
                << name;
        }
        browser.CloseArchive();
        EXPECT_EQ(changes, 2);
        EXPECT_EQ(browser.Count(), 0);
    }
    EXPECT_EQ(platform::OpenFdiContexts(), 0);
}

TEST_F(CabinetFiles, ExtractionOptionsAndOverwrite) {
    ASSERT_EQ(testing::Run("gcab -cz ../t.cab a.txt docs/readme.txt", Dir.Path() / "src"), 0);
    TArcCabArchive cab(Win(Dir / "t.cab"), 0);
    cab.Load();
    ASSERT_EQ(cab.Count(), 2);
    fs::create_directories(Dir.Path() / "out");
    cab.SetBaseDirectory(Win(Dir / "out"));
    // Without restore-path the folder part is dropped.
    cab.ExtractItemAt(1);
    EXPECT_EQ(testing::ReadFile(Dir / "out/readme.txt"), "read me\r\n");
    // Restoring the path into a missing folder needs the create option.
    cab.ExtractOptions = eoRestorePath;
    EXPECT_THROW(cab.ExtractItemAt(1), EArcNoSuchDirectory);
    // An existing file is only replaced when the handler agrees.
    testing::WriteFile(Dir / "out/a.txt", "old");
    std::vector<std::string> asked;
    bool answer = false;
    cab.OnOverwriteQuery = [&](std::string& name, bool& confirm) {
        asked.push_back(name);
        confirm = answer;
    };
    cab.ExtractItemAt(0);
    EXPECT_EQ(testing::ReadFile(Dir / "out/a.txt"), "old");
    answer = true;
    cab.ExtractItemAt(0);
    EXPECT_EQ(testing::ReadFile(Dir / "out/a.txt"), testing::ReadFile(Dir / "src/a.txt"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], Win(Dir / "out") + "\\a.txt");
}

TEST_F(CabinetFiles, Utf8NamesComeInTheSystemsCodePage) {
    // gcab stores a non-ASCII name as UTF-8 and flags it with attribute 0x80.
    testing::WriteFile(Dir / "src/M\xC3\xBCller.txt", "umlaut");
    testing::WriteFile(Dir / "src/\xE6\x97\xA5.txt", "no code page");
    ASSERT_EQ(
        testing::Run(
            "gcab -c ../u.cab a.txt M\xC3\xBCller.txt \xE6\x97\xA5.txt && gcab -lv ../u.cab > ../attrs.txt",
            Dir.Path() / "src"),
        0);
    std::istringstream attrs(testing::ReadFile(Dir / "attrs.txt"));
    std::vector<uint32_t> toolAttributes;
    for (std::string line; std::getline(attrs, line);) {
        size_t x = line.rfind(" 0x");
        if (x != std::string::npos) toolAttributes.push_back(std::stoul(line.substr(x + 1), nullptr, 16));
    }
    ASSERT_EQ(toolAttributes.size(), 3u);
    EXPECT_EQ(toolAttributes[0] & 0x80, 0u);
    EXPECT_EQ(toolAttributes[1] & 0x80, 0x80u);
    TArcCabArchive cab(Win(Dir / "u.cab"), 0);
    cab.Load();
    ASSERT_EQ(cab.Count(), 3);
    const std::vector<std::string> names = {"a.txt", "M\xFCller.txt", "?.txt"};
    for (int i = 0; i < 3; ++i) {
        TArcArchiveItem* item = cab.ItemList->Get(i);
        EXPECT_EQ(item->GetStoredName(), names[size_t(i)]);
        EXPECT_EQ(item->GetAttributes(), toolAttributes[size_t(i)] & ~0x80u);
    }
    // Extraction finds the entry by its converted name and writes it under that name.
    fs::create_directories(Dir.Path() / "out");
    cab.SetBaseDirectory(Win(Dir / "out"));
    int failures = 0;
    cab.OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t, int32_t, int32_t) { ++failures; };
    cab.ExtractItemAt(1);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(testing::ReadFile(Dir / "out/M\xC3\xBCller.txt"), "umlaut");
}

TEST_F(CabinetFiles, DamagedDataIsReportedAndLeavesNoPartialFile) {
    ASSERT_EQ(testing::Run("gcab -cz ../t.cab a.txt", Dir.Path() / "src"), 0);
    std::string cab = testing::ReadFile(Dir / "t.cab");
    for (size_t i = cab.size() - 200; i < cab.size() - 100; ++i) cab[i] = static_cast<char>(cab[i] ^ 0x5A);
    testing::WriteFile(Dir / "bad.cab", cab);
    TArcCabArchive archive(Win(Dir / "bad.cab"), 0);
    archive.Load();
    ASSERT_EQ(archive.Count(), 1);
    fs::create_directories(Dir.Path() / "out");
    archive.SetBaseDirectory(Win(Dir / "out"));
    std::vector<int32_t> failure;
    archive.OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t type, int32_t cls,
                                int32_t code) {
        failure = {type, cls, code};
    };
    archive.ExtractItemAt(0);
    EXPECT_EQ(failure, (std::vector<int32_t>{ptExtract, ecCabinetError, 0}));
    EXPECT_FALSE(fs::exists(Dir.Path() / "out" / "a.txt"));
}

TEST(CabinetArchive, NotACabinetMissingFileAndReadModeRules) {
    TempDir dir;
    testing::WriteFile(dir / "fake.cab", "MSCX this is no cabinet at all, only text");
    testing::WriteFile(dir / "short.cab", "MSCF");
    for (const char* name : {"fake.cab", "short.cab"}) {
        SCOPED_TRACE(name);
        TArcCabBrowser browser(nullptr);
        int changes = 0;
        browser.OnChange = [&](framework::TObject*) { ++changes; };
        EXPECT_THROW(browser.SetFileName(Win(dir / name)), EArcInvalidCabFile);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(browser.Count(), 0);
        EXPECT_EQ(platform::OpenFdiContexts(), 0);
    }
    // A missing file leaves the browser closed and still reports the change.
    TArcCabBrowser browser(nullptr);
    int changes = 0;
    browser.OnChange = [&](framework::TObject*) { ++changes; };
    browser.SetFileName(Win(dir / "missing.cab"));
    EXPECT_EQ(browser.Count(), 0);
    EXPECT_EQ(changes, 1);
    browser.CloseArchive();  // the name is still set, so this clears it
    EXPECT_EQ(changes, 2);
    browser.CloseArchive();  // closed: nothing happens
    EXPECT_EQ(changes, 2);
    // At design time the name is only stored.
    browser.SetDesigning(true);
    browser.SetFileName(Win(dir / "fake.cab"));
    EXPECT_EQ(browser.FileName, Win(dir / "fake.cab"));
    EXPECT_EQ(changes, 2);

    TArcCabArchive cab(Win(dir / "fake.cab"), 0);
    cab.SetSpanSize(-5);
    EXPECT_EQ(cab.SpanSize, 0);
    EXPECT_EQ(cab.CabName, "fake.cab");
    EXPECT_EQ(cab.CabPath, Win(dir.Path().string()) + "\\");
    std::vector<int32_t> failure;
    cab.OnItemFailure = [&](framework::TObject*, TArcArchiveItem*, int32_t type, int32_t cls, int32_t code) {
        failure = {type, cls, code};
    };
    EXPECT_NO_THROW(cab.Add(new TArcCabItem));
    EXPECT_EQ(failure, (std::vector<int32_t>{ptAdd, ecCabinetError, 0}));
    EXPECT_EQ(cab.Count(), 0);
    const std::vector<std::pair<int, uint16_t>> codes = {{ctNone, 0}, {ctMsZip, 1}, {ctLzx, 0x1203}};
    for (auto [type, code] : codes) {
        cab.CompressionType = static_cast<uint8_t>(type);
        EXPECT_EQ(cab.CompressionCode(), code);
    }

    // Building cabinets is not offered by this system's cabinet library.
    TArcCabArchive build(Win(dir / "new.cab"), 1);
    EXPECT_EQ(build.Mode, 1);
    try {
        build.Load();
        FAIL() << "building must not be possible";
    } catch (const EArcFCICreateError& e) {
        EXPECT_NE(e.Message.find("not supported"), std::string::npos);
    }
}

// A cabinet of one stored folder, built field by field from the published layout.
struct HandFile {
    std::string Name;
    std::string Data;
    uint16_t Folder;  // raw folder index
};
std::string HandCabinet(const std::vector<HandFile>& files, const std::string& folderData, uint16_t flags,
                        uint16_t setId, uint16_t number, const std::string& prev, const std::string& next) {
    std::string names;
    if (flags & 1) names += prev + '\0' + "DISK1" + '\0';
    if (flags & 2) names += next + '\0' + "DISK2" + '\0';
    const uint32_t folderAt = 36 + static_cast<uint32_t>(names.size());
    const uint32_t filesAt = folderAt + 8;
    std::string entries;
    uint32_t offset = 0;
    for (const HandFile& f : files) {
        Put32(entries, static_cast<uint32_t>(f.Data.size()));
        Put32(entries, f.Folder == 0xFFFD ? 0 : offset);
        Put16(entries, f.Folder);
        Put16(entries, DosDate(2020, 2, 29));
        Put16(entries, DosTime(13, 14, 16));
        Put16(entries, 0x21);
        entries += f.Name + '\0';
        if (f.Folder != 0xFFFD) offset += static_cast<uint32_t>(f.Data.size());
    }
    const uint32_t dataAt = filesAt + static_cast<uint32_t>(entries.size());
    std::string data;
    Put32(data, 0);  // no checksum
    Put16(data, static_cast<uint32_t>(folderData.size()));
    Put16(data, static_cast<uint32_t>(folderData.size()));
    data += folderData;
    std::string cab = "MSCF";
    Put32(cab, 0);
    Put32(cab, dataAt + static_cast<uint32_t>(data.size()));
    Put32(cab, 0);
    Put32(cab, filesAt);
    Put32(cab, 0);
    cab += '\x03';
    cab += '\x01';
    Put16(cab, 1);
    Put16(cab, static_cast<uint32_t>(files.size()));
    Put16(cab, flags);
    Put16(cab, setId);
    Put16(cab, number);
    cab += names;
    Put32(cab, dataAt);
    Put16(cab, 1);  // one data block
    Put16(cab, 0);  // stored
    cab += entries;
    cab += data;
    return cab;
}

TEST(CabinetSet, SecondCabinetMarksTheContinuedEntry) {
    TempDir dir;
    const std::string a = "first file", b = "second file spread over two cabinets", c = "third";
    // B's first 10 bytes end the first cabinet's folder; the second cabinet's folder goes on with
    // the rest of B and holds C.
    testing::WriteFile(dir / "set1.cab", HandCabinet({{"A.TXT", a, 0}, {"B.TXT", b, 0xFFFE}},
                                                     a + b.substr(0, 10), 2, 0x1234, 0, "", "set2.cab"));
    testing::WriteFile(dir / "set2.cab", HandCabinet({{"B.TXT", b, 0xFFFD}, {"C.TXT", c, 0}},
                                                     b.substr(10) + c, 1, 0x1234, 1, "set1.cab", ""));
    TArcCabBrowser first(nullptr);
    first.SetFileName(Win(dir / "set1.cab"));
    ASSERT_EQ(first.Count(), 2);
    EXPECT_TRUE(first.HasNext());
    EXPECT_FALSE(first.HasPrev());
    EXPECT_EQ(first.GetSetID(), 0x1234);
    EXPECT_EQ(first.CurrentCab(), 0);
    EXPECT_EQ(first.CabArchive()->NextCabinet, "set2.cab");
    EXPECT_EQ(first.CabArchive()->NextDisk, "DISK2");
    EXPECT_FALSE(first.GetItem(0)->StartsInPreviousCabinet);
    EXPECT_FALSE(first.GetItem(1)->StartsInPreviousCabinet);

    TArcCabBrowser second(nullptr);
    second.SetFileName(Win(dir / "set2.cab"));
    ASSERT_EQ(second.Count(), 2);
    EXPECT_TRUE(second.HasPrev());
    EXPECT_FALSE(second.HasNext());
    EXPECT_EQ(second.CurrentCab(), 1);
    EXPECT_EQ(second.GetItem(0)->GetStoredName(), "B.TXT");
    EXPECT_TRUE(second.GetItem(0)->StartsInPreviousCabinet);
    EXPECT_EQ(second.GetItem(0)->GetUnpackedSize(), b.size());
    EXPECT_EQ(second.GetItem(0)->GetAttributes(), 0x21u);
    EXPECT_EQ(second.GetItem(0)->GetDosDate(), DosDate(2020, 2, 29));
    EXPECT_EQ(second.GetItem(0)->GetDosTime(), DosTime(13, 14, 16));
    EXPECT_EQ(second.GetItem(1)->GetStoredName(), "C.TXT");
    EXPECT_FALSE(second.GetItem(1)->StartsInPreviousCabinet);
}

TEST(CabinetSet, DamagedHeadersRaiseTheLibrarysError) {
    TempDir dir;
    const std::string good = HandCabinet({{"A.TXT", "abc", 0}}, "abc", 0, 1, 0, "", "");
    struct Case {
        const char* What;
        std::string Bytes;
    };
    std::string badFolder = good;
    badFolder[36 + 8 + 8] = 5;  // folder index 5 of one folder
    std::string badFilesAt = good;
    badFilesAt[16] = '\xF0';                              // file entries past the end
    std::string noNul = good.substr(0, 36 + 8 + 16 + 3);  // name cut before its NUL
    const std::vector<Case> cases = {{"folder index", badFolder},
                                     {"file offset", badFilesAt},
                                     {"cut name", noNul},
                                     {"header only", good.substr(0, 30)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        testing::WriteFile(dir / "bad.cab", c.Bytes);
        TArcCabBrowser browser(nullptr);
        EXPECT_THROW(browser.SetFileName(Win(dir / "bad.cab")), EArcCabException);
        browser.CloseArchive();
        EXPECT_EQ(platform::OpenFdiContexts(), 0);
    }
}

}  // namespace
}  // namespace codecs
