#pragma once
// TCompareCatalogsForm, "Compare Catalogs": two catalogs side by side with their disk, file and
// byte counts; Perform Comparison merges the two catalogs' entries, ordered by name (and size), into
// the files only the first holds, the files both hold and the files only the second holds, written
// to the tables CCUnique1, CCCommon and CCUnique2 in CatalogDataFolder. Each set opens as a file
// report window over its table. The tables live until the next comparison or until the window
// closes; the report windows never delete them.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TBitBtn;
class TCheckBox;
class TGroupBox;
class TLabel;
class TPanel;
}  // namespace framework
namespace dbsql {
class TDbQuery;
class TDbTable;
}  // namespace dbsql
namespace entry {
class TCtlAttachedButton;
}
namespace reports {
class TFileReportScreenForm;
}

namespace tools {

// What an entry is matched by: its name, and its size when sizes count.
struct TCompareKey {
    std::string Name;
    int64_t Size = 0;
};

// Negative, 0 or positive. Names are ordered as the engine orders text in a case-sensitive sort
// (so that the keys follow the catalog queries' order), then sizes as numbers.
int CompareKeys(const TCompareKey& A, const TCompareKey& B);

// The lines of one catalog's query: the six fields of <catalog>_CAT, only the entries outside
// archives unless archive members count, ordered case-sensitively by name (then size) so that equal
// keys come next to each other.
std::vector<std::string> CompareCatalogSql(const std::string& CatalogName, bool IncludeFilesInArcs,
                                           bool UseFileSize);

class TCompareCatalogsForm : public framework::TForm {
public:
    explicit TCompareCatalogsForm(framework::TComponent* AOwner);
    ~TCompareCatalogsForm() override;

    // The result sets, in the order of the window's groups.
    enum TSet { csUnique1 = 0, csCommon = 1, csUnique2 = 2 };
    static constexpr std::array<const char*, 3> kTableNames{"CCUnique1", "CCCommon", "CCUnique2"};

    framework::TPanel* Catalog1;
    framework::TPanel* Catalog2;
    entry::TCtlAttachedButton* SelCat1Btn;
    entry::TCtlAttachedButton* SelCat2Btn;
    framework::TPanel* Disks1;
    framework::TPanel* Files1;
    framework::TPanel* Bytes1;
    framework::TPanel* Disks2;
    framework::TPanel* Files2;
    framework::TPanel* Bytes2;
    std::array<framework::TGroupBox*, 3> ResultGroups{};
    framework::TPanel* UC1Files;
    framework::TPanel* UC1Bytes;
    framework::TPanel* CBFiles;
    framework::TPanel* CBBytes;
    framework::TPanel* UC2Files;
    framework::TPanel* UC2Bytes;
    framework::TBitBtn* UC1Btn;
    framework::TBitBtn* CBBtn;
    framework::TBitBtn* UC2Btn;
    framework::TCheckBox* IncludeFilesInArcs;
    framework::TCheckBox* UseFileSize;
    framework::TBitBtn* BitBtn1;
    framework::TBitBtn* CloseBtn;
    framework::TBitBtn* HelpBtn;

    // A catalog counts as chosen while its summary table has a table name.
    dbsql::TDbTable* SummaryTable1;
    dbsql::TDbTable* SummaryTable2;
    dbsql::TDbQuery* Query1;
    dbsql::TDbQuery* Query2;
    dbsql::TDbTable* UniqueTable1;
    dbsql::TDbTable* CommonTable;
    dbsql::TDbTable* UniqueTable2;

    // Per catalog (index 0 and 1): disks, files and the bytes used.
    std::array<int32_t, 2> Disks{}, Files{};
    std::array<int64_t, 2> Bytes{};
    // Per result set: entries and their bytes.
    std::array<int64_t, 3> SetCount{}, SetBytes{};
    // Per result set: its report window, valid while the flag is set (the window clears it when it
    // closes).
    std::array<reports::TFileReportScreenForm*, 3> Reports{};
    std::array<bool, 3> ReportOpen{};

    void FormShow();
    void FormClose();
    // Either select button; Side 0 is catalog #1.
    void SelCatBtnClick(int Side);
    void BitBtn1Click();
    void UC1BtnClick();
    void CBBtnClick();
    void UC2BtnClick();
    // The merge of the two ordered catalog queries into the three tables: false when cancelled or
    // when reading failed.
    bool MergeCompare();

private:
    dbsql::TDbTable& Summary(int Side) const;
    dbsql::TDbTable& SetTable(int Set) const;
    // Takes a side's statistics from <Name>_SUM: false (the side's counts zero) when it cannot be
    // read.
    bool TakeStatistics(int Side, const std::string& Name);
    // The side no longer names a catalog: counts zero, panels cleared, summary table without name.
    void ResetSide(int Side);
    void ClearResults();
    void ShowResults();
    void CloseReportWindows();
    void MakeComparisonTables();
    void ViewReport(int Set);
    // The current row's key and size.
    TCompareKey CurrentKey(dbsql::TDbQuery& Query) const;
    void AddToSet(int Set, dbsql::TDbQuery& Query);
    bool FClosed = false;
};

}  // namespace tools
