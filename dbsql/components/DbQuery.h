#pragma once
// TDbQuery runs SQL text through a statement of the SQL layer: a SELECT opens the query as a
// dataset on the statement's result cursor (a live cursor on the source table, or a temporary
// result table); any other statement runs through ExecuteStatement and leaves the query closed.
// The statement, and with it the result cursor, lives while the query is prepared: by Prepare,
// or for the time the query is open.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbsql/components/DbDataSet.h"
#include "framework/core/Strings.h"
#include "framework/data/DataSource.h"
#include "framework/data/Params.h"

namespace framework {
class TReader;
class TWriter;
}  // namespace framework

namespace dbsql {

class TQueryStatement;
struct TParamDesc;
class TDbQuery;

namespace dbqmsg {
inline constexpr const char* SEmptySQLStatement = "No SQL statement available";
inline constexpr const char* SNoParameterValue = "No value for parameter '%s'";
inline constexpr const char* SCircularDataLink = "Circular data links are not allowed.";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
}  // namespace dbqmsg

using TQueryProgressEvent =
    std::function<void(framework::TObject* Sender, uint16_t PercentDone, bool& AbortQuery)>;

// Ties a query to its DataSource: the query is executed again with the master's values when the
// master opens or moves to another record.
class TDbQueryDataLink : public framework::TDetailDataLink {
public:
    explicit TDbQueryDataLink(TDbQuery* query) : Query(query) {}

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void RecordChanged(framework::TField* field) override;
    framework::TDataSet* GetDetailDataSet() const override;

private:
    TDbQuery* Query;
};

class TDbQuery : public TDbDBDataSet {
public:
    explicit TDbQuery(framework::TComponent* AOwner = nullptr);
    ~TDbQuery() override;

    std::string EngineVersion() const { return "3.24"; }
    void SetEngineVersion(const std::string&) {}

    // The text; any change of the list closes and unprepares the query.
    framework::TStringList& SQL() { return FSQL; }
    // Nothing when the text is the current one.
    void SetSQL(const std::string& text);
    // The text that is prepared: with ParamCheck each named marker of the SQL text replaced by "?".
    const std::string& StatementText() const { return FStatementText; }

    framework::TParams& Params() { return FParams; }
    // Copies values by name.
    void SetParams(const framework::TParams& params);
    bool ParamCheck() const { return FParamCheck; }
    void SetParamCheck(bool value) { FParamCheck = value; }

    bool RequestLive() const { return FRequestLive; }
    void SetRequestLive(bool value) { FRequestLive = value; }
    int32_t MaxRowCount() const { return FMaxRowCount; }
    // Reaches a prepared statement at once.
    void SetMaxRowCount(int32_t value);
    bool ReadOnly() const { return FReadOnly; }
    // The query must be closed.
    void SetReadOnly(bool value);

    framework::TDataSource* DataSource() const;
    // "Circular data links are not allowed." when the source's dataset follows this query.
    void SetDataSource(framework::TDataSource* source);

    bool Prepared() const { return FPrepared; }
    void Prepare();
    void Unprepare();
    void SetPrepared(bool value);
    // Runs the text; a SELECT leaves the query open on its result.
    void ExecuteStatement();
    // The prepared statement (null when unprepared).
    TQueryStatement* Statement() const { return FStatement.get(); }

    int32_t RowsAffected() const { return FRowsAffected; }
    double ExecutionTime() const { return FExecutionTime; }

    TQueryProgressEvent OnQueryProgress;
    // Kept for the forms that set them; nothing fires them.
    TQueryProgressEvent OnSaveProgress, OnImportProgress, OnExportProgress;

    void Disconnect() override;
    // Stored with a form: "Data", bytes read from a form and only kept to be written back, and
    // "ParamData", the parameters with their types and values.
    void DefineProperties(framework::TFiler* Filer) override;
    void GetDetailLinkFields(std::vector<framework::TField*>& masterFields,
                             std::vector<framework::TField*>& detailFields) override;
    framework::TDataSource* GetDataSource() const override { return DataSource(); }

    // The master/detail path: closes and opens the query again with the master's values.
    void RefreshParams();
    void SetParamsFromDataSource();

protected:
    dbengine::TDataCursor* CreateCursorHandle() override;
    void OpenCursor() override;
    void CloseCursor() override;
    bool GetCanModify() override { return TDbDBDataSet::GetCanModify() && !FReadOnly; }

private:
    friend class TDbQueryDataLink;
    void QueryChanged();
    void ReadParamData(framework::TReader* reader);
    void WriteParamData(framework::TWriter* writer);
    dbengine::TDataCursor* ExecuteQuery();
    dbengine::TDataCursor* Execute();
    // Clears a reason for holding the database; the last one unprepares first.
    void ClearReason(unsigned reason);

    std::unique_ptr<TQueryStatement> FStatement;
    framework::TStringList FSQL;
    bool FPrepared = false;
    framework::TParams FParams;
    std::string FStatementText;
    TDbQueryDataLink FDataLink{this};
    bool FRequestLive = false;
    int32_t FMaxRowCount = -1;
    int32_t FRowsAffected = 0;
    double FExecutionTime = 0;
    bool FParamCheck = true;
    bool FReadOnly = false;
    bool FJustExecuted = false;
    dbengine::TDataCursor* FExecutedCursor = nullptr;
    std::optional<std::string> FStreamedData;
};

// The engine type a parameter is passed as (3 for text over 250 characters and BLOB kinds; 0:
// none), the bytes of its value in the slot, and the value written at value.
uint8_t ParamEngineType(const framework::TParam& param);
int ParamDataSize(const framework::TParam& param);

}  // namespace dbsql
