#pragma once
// A fixture for statements prepared and executed through the statement object over small tables;
// rows are read back from a cursor, one string per row with the visible columns joined by "|".

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

using TRows = std::vector<std::string>;
using TCell = std::optional<std::string>;

class SqlTableTest : public dbengine::testsupport::TableFixture {
protected:
    void MakeTable(const std::string& name, std::vector<dbengine::TFieldDescriptor> fields,
                   dbengine::TIndexDescriptor primary, std::vector<dbengine::TIndexDescriptor> secondary,
                   const std::vector<std::vector<TCell>>& rows) {
        dbengine::TTableDefinition def;
        def.Fields = std::move(fields);
        def.PrimaryIndex = primary;
        def.SecondaryIndexes = std::move(secondary);
        dbengine::TDataCursor c(Database);
        c.SetTableName(name);
        c.SetExclusive(true);
        c.CreateTable(def, true, true);
        c.OpenCursor();
        for (const auto& row : rows) Insert(c, row);
        c.CloseCursor(false);
    }

    static void Insert(dbengine::TDataCursor& c, const std::vector<TCell>& row) {
        std::vector<uint8_t> b(c.GetRecordSize());
        c.InitRecord(b.data());
        for (size_t i = 0; i < row.size(); ++i) {
            const auto field = static_cast<uint16_t>(i + 1);
            if (!row[i]) continue;
            dbengine::TFieldDescriptor d;
            c.GetFieldDesc(field, d);
            uint8_t v[256] = {};
            const std::string& text = *row[i];
            switch (d.FieldType) {
                case dbengine::fldInteger:
                    dbengine::PutInt32(v, std::stoi(text));
                    break;
                case dbengine::fldSmallInt:
                    dbengine::PutInt16(v, static_cast<int16_t>(std::stoi(text)));
                    break;
                case dbengine::fldBlob: {
                    int32_t size = 0;
                    ASSERT_EQ(c.OpenBlob(field, b.data(), dbengine::BlobOpenWrite, false, true, size, false),
                              0);
                    ASSERT_EQ(c.PutBlob(field, b.data(), 0, reinterpret_cast<const uint8_t*>(text.data()),
                                        static_cast<int32_t>(text.size()), false),
                              0);
                    continue;
                }
                default:
                    std::memcpy(v, text.data(), text.size());
                    break;
            }
            c.PutField(field, b.data(), v, false, false);
        }
        c.InsertRecord(b.data(), false);
    }

    // One cell as text: "NULL", a number, a text.
    static std::string Cell(dbengine::TDataCursor& c, uint16_t field, const uint8_t* record) {
        dbengine::TFieldDescriptor d;
        c.GetFieldDesc(field, d);
        uint8_t v[256] = {};
        bool blank = false;
        c.GetField(field, record, v, blank);
        if (blank) return "NULL";
        switch (d.FieldType) {
            case dbengine::fldSmallInt:
                return std::to_string(dbengine::GetInt16(v));
            case dbengine::fldInteger:
                return std::to_string(dbengine::GetInt32(v));
            case dbengine::fldLargeInt:
                return std::to_string(static_cast<int64_t>(dbengine::GetUInt64(v)));
            case dbengine::fldFloat: {
                char text[32];
                std::snprintf(text, sizeof text, "%g", dbengine::GetDouble(v));
                return text;
            }
            case dbengine::fldBlob:
                return c.IsRemote() ? ServedBlob(c, field, record) : c.ReadBlobValue(record, d);
            default:
                return reinterpret_cast<const char*>(v);
        }
    }

    // A BLOB of a remote cursor, which has no table files here: opened, read and freed through
    // the server.
    static std::string ServedBlob(dbengine::TDataCursor& c, uint16_t field, const uint8_t* record) {
        std::vector<uint8_t> copy(record, record + c.GetRecordSize());
        int32_t size = 0;
        if (c.OpenBlob(field, copy.data(), dbengine::BlobOpenRead, false, false, size) != 0 ||
            c.GetBlobSize(field, copy.data(), size, false) != 0)
            return "(unread)";
        std::string text(static_cast<size_t>(size), '\0');
        int32_t read = 0;
        c.GetBlob(field, copy.data(), 0, reinterpret_cast<uint8_t*>(text.data()), size, read, false);
        c.FreeBlob(field, copy.data(), false);
        text.resize(static_cast<size_t>(read));
        return text;
    }

    static TRows ReadRows(dbengine::TDataCursor& c) {
        TRows rows;
        std::vector<uint8_t> b(c.GetRecordSize() + 1u);
        c.SetToBegin();
        while (c.GetNextRecord(b.data()) == 0) {
            std::string row;
            for (uint16_t f = 1; f <= c.GetFieldCount(); ++f) {
                dbengine::TFieldDescriptor d;
                c.GetFieldDesc(f, d);
                if (d.Name.rfind(AvgCountFieldPrefix, 0) == 0) continue;
                row += (f == 1 ? "" : "|") + Cell(c, f, b.data());
            }
            rows.push_back(row);
        }
        return rows;
    }

    static std::vector<std::string> Names(dbengine::TDataCursor& c) {
        std::vector<std::string> names;
        for (uint16_t f = 1; f <= c.GetFieldCount(); ++f) {
            dbengine::TFieldDescriptor d;
            c.GetFieldDesc(f, d);
            names.push_back(d.Name);
        }
        return names;
    }

    // Prepares and executes the text; inspect sees the statement with its result still open.
    TRows Run(const std::string& sql,
              const std::function<void(TQueryStatement&, dbengine::TDataCursor&)>& inspect = {},
              const std::function<void(TQueryStatement&)> setup = {}) {
        TQueryStatement statement(Database);
        if (setup) setup(statement);
        statement.PrepareSQL(sql);
        dbengine::TDataCursor* cursor = statement.ExecuteSQL();
        EXPECT_NE(cursor, nullptr) << sql;
        if (cursor == nullptr) return {};
        TRows rows = ReadRows(*cursor);
        if (inspect) inspect(statement, *cursor);
        return rows;
    }

    // The message of the engine error that run raises, after "SQL error - " when present.
    template <typename TRun>
    static std::string ErrorOf(TRun run) {
        try {
            run();
        } catch (const dbengine::EDbEngineError& e) {
            const std::string heading = "SQL error - ";
            const size_t at = e.Message.find(heading);
            return at == std::string::npos ? e.Message : e.Message.substr(at + heading.size());
        }
        return "(none)";
    }

    std::string Error(const std::string& sql) {
        return ErrorOf([&] { Run(sql); });
    }

    // Prepares and executes a statement or script that returns no rows; its rows affected.
    int32_t Execute(const std::string& sql) {
        TQueryStatement statement(Database);
        statement.PrepareSQL(sql);
        statement.ExecuteSQL();
        return statement.RowsAffected;
    }

    std::string ExecuteError(const std::string& sql) {
        return ErrorOf([&] { Execute(sql); });
    }

    // Every row of a table in its primary key's order.
    TRows TableRows(const std::string& name) {
        dbengine::TDataCursor c(Database);
        c.SetTableName(name);
        c.OpenCursor();
        TRows rows = ReadRows(c);
        c.CloseCursor(false);
        return rows;
    }
};

}  // namespace dbsql
