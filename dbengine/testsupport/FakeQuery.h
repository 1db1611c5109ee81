#pragma once
// Test doubles of the SQL layer's query interfaces: they record what the engine asked.

#include <string>
#include <vector>

#include "dbengine/util/QueryHooks.h"

namespace dbengine::testing {

class FakeQuery : public TDataQuery {
public:
    bool AccumulateGroupRecord(bool newGroup, uint8_t*, uint8_t*) override {
        Calls.push_back(newGroup ? "accumulate-new" : "accumulate");
        return true;
    }
    bool FinishGroupRecord(uint8_t, uint8_t*, uint8_t*) override {
        Calls.push_back("finish");
        return true;
    }
    bool GroupFilter(uint8_t, uint8_t*, uint8_t*) override {
        Calls.push_back("having");
        return HavingResult;
    }
    void ParseStatement(bool nested, bool unionPart, TDataQuery*) override {
        Calls.push_back(std::string("parse") + (nested ? " nested" : "") + (unionPart ? " union" : ""));
    }
    bool BindSubSelectColumn(TExpToken*) override {
        Calls.push_back("bind");
        return BindResult;
    }
    void ApplySubSelectFilter(TExpToken*) override { Calls.push_back("filter"); }
    TDataCursor* ResultCursor() override { return Cursor; }

    std::vector<std::string> Calls;
    bool HavingResult = true;
    bool BindResult = true;
    TDataCursor* Cursor = nullptr;
};

class FakeSourceTable : public TSourceTable {
public:
    void SetTableName(const std::string& name) override { TableName = name; }
    std::string TableName;
};

class FakeStatement : public TQueryStatement {
public:
    std::unique_ptr<TDataQuery> CreateQuery() override { return std::make_unique<FakeQuery>(); }
    int AddQuery(std::unique_ptr<TDataQuery> query) override {
        Queries.push_back(std::move(query));
        return static_cast<int>(Queries.size()) - 1;
    }
    std::vector<TExpToken*>& ParamTokens() override { return Params; }
    std::unique_ptr<TSourceTable> CreateSourceTable(TDataQuery*) override {
        return std::make_unique<FakeSourceTable>();
    }

    std::vector<std::unique_ptr<TDataQuery>> Queries;
    std::vector<TExpToken*> Params;
};

}  // namespace dbengine::testing
