#pragma once
// TDbTable is the dataset over one engine table named by DatabaseName and TableName: it opens the
// table on an index (IndexName, or the index whose leading fields are IndexFieldNames), searches
// it by key (SetKey, field assignments, GotoKey / GotoNearest, FindKey), limits it to a key range
// and makes, deletes, renames and empties its files.
//
// A table may follow a master dataset (MasterSource, MasterFields): it then shows only the records
// whose leading index fields equal the master's link fields, and new records take those values.
// AlterTable restructures the table's files to RestructureFieldDefs and RestructureIndexDefs.
//
// Key editing works on key buffers, each a header (Modified, FieldCount) and one engine record:
// in dsSetKey the fields read and write the key buffer being edited. FieldCount is the number of
// leading index fields the key uses (0: all of them).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbsql/components/DbDataSet.h"
#include "dbsql/components/RestructureDefs.h"
#include "framework/data/DataSource.h"
#include "framework/data/Variant.h"

namespace dbsql {

namespace dbtmsg {
inline constexpr const char* SNoTableName = "Missing table name.";
inline constexpr const char* SFieldIndexError = "Field index out of range.";
inline constexpr const char* SIndexFieldMissing = "Cannot access index field %s.";
inline constexpr const char* SIncompatibleTables = "Source and destination tables are incompatible.";
inline constexpr const char* SCircularDataLink = "Circular data links are not allowed.";
}  // namespace dbtmsg

// The key buffers of a table.
enum TKeyIndex { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd, kiSave };

using TLogEvent = std::function<void(framework::TObject* Sender, const std::string& LogMessage)>;
using TSteppedProgressEvent =
    std::function<void(framework::TObject* Sender, const std::string& Step, int PercentDone)>;
using TProgressEvent = std::function<void(framework::TObject* Sender, int PercentDone)>;
// Why a restructure loses data; the values are the engine's causes.
enum TDataLossCause { dlUnknown, dlKeyViolation, dlValidityCheckFail, dlFieldDeletion, dlFieldConversion };
using TDataLostEvent =
    std::function<void(framework::TObject* Sender, TDataLossCause Cause, const std::string& ContextInfo,
                       bool& ContinueRestructure, bool& StopAsking)>;

class TDbTable : public TDbDBDataSet {
public:
    explicit TDbTable(framework::TComponent* AOwner = nullptr);
    ~TDbTable() override;

    // A path ("C:\Data\Cat.DAT") sets DatabaseName to its folder (unless in memory) and TableName
    // to its file part; "/" counts as "\".
    const std::string& TableName() const { return FTableName; }
    void SetTableName(const std::string& name);
    // Always "3.24".
    std::string EngineVersion() const { return "3.24"; }
    bool Exclusive() const { return FExclusive; }
    void SetExclusive(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // Setting one clears the other; on an open table the cursor changes its order at once.
    const std::string& IndexName() const { return FIndexName; }
    void SetIndexName(const std::string& name);
    const std::string& IndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const std::string& names);

    // Whether the table's files exist (true while open; false for an empty name).
    bool Exists();

    // ---- the table's files (the table closed)
    // Makes the table from FieldDefs and IndexDefs; an index marked ixPrimary becomes the first.
    void CreateTable();
    void DeleteTable();
    void RenameTable(const std::string& newName);
    // Removes every record (open tables need Exclusive).
    void EmptyTable();
    void UpdateIndexDefs() override;
    // Of a closed table, from its files ("Missing table name." without a name).
    void InitFieldDefs() override;
    // Checks the table's files (the table closed): true when nothing is wrong. The engine's
    // steps and log lines go to the events.
    bool VerifyTable();
    // Repairs what a check finds (the table closed): true when the table was repaired.
    bool RepairTable(bool forceIndexRebuild);
    // The user version stored in the table (1 and 0 for a table made by CreateTable).
    uint16_t GetUserMajorVersion();
    uint16_t GetUserMinorVersion();
    // Restructures the table (closed) to RestructureFieldDefs and RestructureIndexDefs; an index
    // marked ixPrimary is moved to the front of the list first. LastAutoIncValue -1 keeps the
    // table's counter. Lost data is reported to OnDataLost, progress to OnRestructureProgress.
    void AlterTable(uint16_t LanguageId, uint16_t SortId, uint16_t UserMajorVersion,
                    uint16_t UserMinorVersion, bool Encrypted, const std::string& Password,
                    const std::string& Description, uint16_t BlobBlockSize, int32_t LastAutoIncValue,
                    bool SuppressBackups);

    TSteppedProgressEvent OnVerifyProgress, OnRepairProgress;
    TLogEvent OnVerifyLog, OnRepairLog;
    TProgressEvent OnRestructureProgress;
    TDataLostEvent OnDataLost;
    TRestructureFieldDefs RestructureFieldDefs{this};
    TRestructureIndexDefs RestructureIndexDefs{this};

    // Runs op on the open cursor, or on one opened for the call while the database is held for
    // the reason (the definition lists load through it).
    void WithDefinitionCursor(unsigned reason, const std::function<void(dbengine::TDataCursor&)>& op);

    // ---- master/detail
    framework::TDataSource* MasterSource() const { return FMasterLink.DataSource(); }
    // Raises "Circular data links are not allowed." for a source whose masters lead back here.
    void SetMasterSource(framework::TDataSource* source);
    std::string MasterFields() const { return FMasterLink.FieldNames(); }
    void SetMasterFields(const std::string& names) { FMasterLink.SetFieldNames(names); }
    framework::TDataSource* GetDataSource() const override { return MasterSource(); }
    void GetDetailLinkFields(std::vector<framework::TField*>& masterFields,
                             std::vector<framework::TField*>& detailFields) override;
    // Moves onto the record another table over the same table stands on.
    void GotoCurrent(TDbTable* other);
    void DataEvent(framework::TDataEvent event, intptr_t info) override;

    // ---- index information
    int IndexFieldCount() const { return KeyFieldCount; }
    framework::TField* GetIndexField(int index) const;
    void SetIndexField(int index, const framework::Variant& value);
    // The number of the current index (0: the primary order).
    int IndexNumber() const { return FIndexNo; }

    // ---- key search
    void SetKey();
    void EditKey();
    bool GotoKey();
    void GotoNearest();
    bool FindKey(const std::vector<framework::Variant>& keyValues);
    void FindNearest(const std::vector<framework::Variant>& keyValues);
    // Leading key fields a key edited by SetKey/EditKey/SetRangeStart/... uses (0: all).
    int KeyFieldsUsed() const;
    void SetKeyFieldsUsed(int count);

    // ---- ranges
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    void ApplyRange();
    void CancelRange();
    void SetRange(const std::vector<framework::Variant>& startValues,
                  const std::vector<framework::Variant>& endValues);

    void Post() override;
    void Cancel() override;
    framework::TRecordBuffer GetActiveRecBuf() override;

protected:
    dbengine::TDataCursor* CreateCursorHandle() override;
    void FreeCursorHandle() override;
    void ApplyIndexSettings() override;
    void InternalClose() override;
    void InternalRefresh() override;
    void DoOnNewRecord() override;
    bool GetCanModify() override { return TDbDBDataSet::GetCanModify() && !FReadOnly; }
    dbengine::TDataCursor* GetLookupCursor(const std::string& keyFields, bool caseInsensitive) override;
    void FreeLookupCursor() override;

    // True when the range to apply differs from the applied one (then it is applied).
    bool ApplyKeyRange();
    // True when a range was applied (then it is removed).
    bool ClearKeyRange();

private:
    struct TKeyBuffer {
        bool Modified = false;
        int FieldCount = 0;
        std::vector<uint8_t> Record;
        bool operator==(const TKeyBuffer&) const = default;
    };
    dbengine::TDataCursor* NewCursor(bool exclusive) const;
    // Runs op while the database is held for the reason.
    void HoldingDatabase(unsigned reason, const std::function<void()>& op);
    // Runs op on a closed exclusive cursor over the table while the database is held.
    void WithTableCursor(const std::function<void(dbengine::TDataCursor&)>& op);
    void CheckTableName() const;
    bool VerifyRepair(bool verifyOnly, bool forceIndexRebuild);
    // The table's cursor, or a closed one made for the call.
    int16_t UserVersion(bool major);
    void ReadIndexInfo();
    void SelectIndex();
    void ClearKeyBuffer(TKeyBuffer& buffer);
    void ClearKeyBuffers();
    void BeginKeyEdit(TKeyIndex which, bool clear);
    void EndKeyEdit(bool keep);
    void SetKeyValues(TKeyIndex which, const std::vector<framework::Variant>& values);
    bool FindKeyBuffer(bool nearest);
    void LoadLinkRange(const std::vector<framework::TField*>& fields);
    void CheckMasterRange();
    void MasterChanged();
    void MasterDisabled();
    // The index the detail link uses: IndexName's, the first one led by IndexFieldNames, else the
    // primary index.
    const framework::TIndexDef* DetailIndexDef();
    // The name of an index fit for searching the fields, or false.
    bool FindIndexForLookup(const std::string& keyFields, bool caseInsensitive, std::string& indexName);

    std::string FTableName;
    std::string FIndexName;
    std::string FIndexFieldNames;
    bool FExclusive = false;
    bool FReadOnly = false;
    int FIndexNo = 0;
    std::array<TKeyBuffer, 6> FKeyBuffers;
    TKeyBuffer* FKeyBuffer = nullptr;
    framework::TMasterDataLink FMasterLink{this};
    // A clone of the cursor ordered for Locate and Lookup, and what it was made for.
    std::unique_ptr<dbengine::TDataCursor> FLookupCursor;
    bool FLookupKnown = false;
    std::string FLookupFields;
    bool FLookupCaseIns = false;
};

}  // namespace dbsql
