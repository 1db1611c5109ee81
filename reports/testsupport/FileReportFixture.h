#pragma once
// The file report's tests run over a real catalog: CAT1 in the engine's tables on drive D: (program
// folder and catalog data folder), with plain files, a ZIP member carrying its path, sizes at and
// above 4 GiB, a comment of two lines, and volumes with a summary record (DISK1 from drive D, TXTVOL
// made by a text import) and without one (DISK2).
//
// The rows are written directly because a cataloguing run cannot give them: system and
// no-archive attributes, category codes, comments, a volume without a summary record and one made
// by a text import. Their names have the forms a run writes: a folder with a leading "\" and no
// final one, an archive member's ArchiveID the archive's bare name and its folder the archive's.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/data/Fields.h"
#include "platform/testsupport/UserEnv.h"
#include "reports/filereport/FileReportScreenForm.h"

namespace reports::testsupport {

using namespace framework;

struct TEntry {
    std::string Name, Volume, Folder, Archive;
    int64_t Size;
    TDateTime Date, Time;
    int Attribute;
    std::string Code, Comment;
};

inline TDateTime Day(int Y, int M, int D) {
    return EncodeDate(Y, M, D);
}
inline TDateTime At(int H, int Mi, int S) {
    return EncodeTime(H, Mi, S, 0);
}

inline const std::vector<TEntry>& Entries() {
    static const std::vector<TEntry> entries = {
        {"README.TXT", "DISK1", "\\DOCS", "", 100, Day(2024, 3, 15), At(8, 0, 0), 0x20, "DOC",
         "Read me first\r\nSecond line"},
        {"README.TXT <DOCS/>", "DISK1", "\\", "PACK.ZIP", 50, Day(2024, 3, 14), At(9, 0, 0), 0x20, "DOC",
         "Zip member"},
        {"BIG.ISO", "DISK2", "\\", "", 5000000000LL, Day(2024, 3, 15), At(23, 59, 59), 1, "",
         "disk   backup image"},
        {"photo.TARGZBZ2", "DISK1", "\\PICS", "", 4294967296LL, Day(2023, 1, 1), At(0, 0, 0), 0, "PIC", ""},
        {"ROOT.TXT", "DISK1", "\\", "", 10, Day(2024, 3, 16), At(12, 0, 0), 2 | 4, "", "backup copy"},
        {"NOTES.DOC", "TXTVOL", "\\", "", 20, Day(2024, 3, 15), At(0, 0, 1), 0, "", "  "},
    };
    return entries;
}

// The seed that makes the next Random(2147483647) give Wanted (the generator's step run backwards).
inline uint32_t SeedFor(int32_t Wanted) {
    uint32_t inverse = 1664525u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 1664525u * inverse;
    for (uint32_t next = uint32_t(Wanted) * 2u;; ++next)
        if (int32_t((uint64_t(next) * 2147483647u) >> 32) == Wanted) return (next - 1013904223u) * inverse;
}

class FileReportTest : public catalog::testsupport::TCatalogFixture {
protected:
    void SetUp() override {
        TCatalogFixture::SetUp();
        auto categories = Table("Categories");
        catalog::DefineTable(*categories, catalog::CategoriesSchema());
        categories->CreateTable();
        categories->Open();
        for (auto [code, text] : {std::pair{"DOC", "Documents"}, std::pair{"PIC", "Pictures"}}) {
            categories->Append();
            categories->FieldByName("Code")->SetAsString(code);
            categories->FieldByName("Description")->SetAsString(text);
            categories->Post();
        }
        categories->Close();
        MakeCatalog("CAT1", Entries());
        catalog::CurrentCatalogName = "CAT1";
        catalog::OpenReportCount = 0;
    }
    void TearDown() override {
        for (TFileReportScreenForm* f : Open)
            if (f) f->Free();
        Driver.RunPending();
        catalog::OpenReportCount = 0;
        TCatalogFixture::TearDown();
    }

    void MakeCatalog(const std::string& Name, const std::vector<TEntry>& List) {
        // The catalog's tables as the catalog store makes them (made here directly: the store
        // refuses names such as MY"CAT, which stored configurations may still hold).
        auto cat = Table(Name + "_CAT");
        catalog::DefineTable(*cat, catalog::CatalogTableSchema(60, 60, 40).Table);
        cat->CreateTable();
        {
            auto sum = Table(Name + "_SUM");
            catalog::DefineTable(*sum, catalog::SummaryTableSchema().Table);
            sum->CreateTable();
        }
        cat->Open();
        for (const TEntry& e : List) {
            cat->Append();
            cat->FieldByName("FileName")->SetAsString(e.Name);
            cat->FieldByName("VolumeLabel")->SetAsString(e.Volume);
            cat->FieldByName("FolderName")->SetAsString(e.Folder);
            cat->FieldByName("ArchiveID")->SetAsString(e.Archive);
            cat->FieldByName("FileSize")->SetAsString(std::to_string(e.Size));
            cat->FieldByName("DateModified")->SetAsDateTime(e.Date);
            cat->FieldByName("TimeModified")->SetAsDateTime(e.Time);
            cat->FieldByName("Attribute")->SetAsInteger(e.Attribute);
            cat->FieldByName("CategoryCode")->SetAsString(e.Code);
            cat->FieldByName("Comment")->SetAsString(e.Comment);
            cat->Post();
        }
        cat->Close();
        auto sum = Table(Name + "_SUM");
        sum->Open();
        for (auto [label, from] : {std::pair{"DISK1", "D"}, std::pair{"TXTVOL", "*"}}) {
            sum->Append();
            sum->FieldByName("CatalogVolumeLabel")->SetAsString(label);
            sum->FieldByName("ActualVolumeLabel")->SetAsString(label);
            sum->FieldByName("CatalogedFrom")->SetAsString(from);
            sum->Post();
        }
        sum->Close();
    }

    TFileReportScreenForm* NewReport() {
        auto* f = TCustomForm::Create<TFileReportScreenForm>(Application);
        Open.push_back(f);
        f->OnDestroy = [this, f](TObject*) {
            std::replace(Open.begin(), Open.end(), f, (TFileReportScreenForm*)nullptr);
        };
        f->ReportTitle = "Sort By FileName";
        for (int i = 0; i < kColumnItems; ++i) f->ColumnPos[size_t(i)] = uint8_t(i + 1);
        return f;
    }
    // The names of the rows the report's query gives, in order.
    static std::vector<std::string> Rows(TFileReportScreenForm& F) {
        std::vector<std::string> names;
        for (F.Query->First(); !F.Query->Eof(); F.Query->Next())
            names.push_back(F.Query->FieldByName("FileName")->AsString());
        F.Query->First();
        return names;
    }
    // The accepted names, sorted (the order of the result table is the finder's).
    std::set<std::string> Accepted(const std::function<void(TFileReportScreenForm&)>& Fill) {
        TFileReportScreenForm* f = NewReport();
        Fill(*f);
        EXPECT_TRUE(f->CreateReport());
        auto rows = Rows(*f);
        f->Close();
        Driver.RunPending();
        return {rows.begin(), rows.end()};
    }
    bool TableExists(const std::string& Name) {
        auto t = Table(Name);
        return t->Exists();
    }
    void CloseReport(TFileReportScreenForm* F) {
        F->Close();
        Driver.RunPending();
    }

    platform::testsupport::ScopedUserEnv Env;
    std::vector<TFileReportScreenForm*> Open;
};

}  // namespace reports::testsupport
