// CREATE TABLE, ALTER TABLE, DROP TABLE, CREATE INDEX and DROP INDEX: the engine's field and index
// descriptors made from the statement's definitions and handed to the table operations.

#include <algorithm>
#include <bitset>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

namespace {

[[noreturn]] void DefinitionError(const std::string& message) {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {}, message);
}

dbengine::TFieldDescriptor FieldOfDefinition(const TCreateField& field) {
    dbengine::TFieldDescriptor desc;
    desc.FieldNo = field.FieldNumber;
    desc.Name = field.ColumnName.substr(0, 30);
    desc.Description = field.Description.substr(0, 50);
    desc.FieldType = field.DataType;
    desc.SubType = field.SubType;
    if (field.DataType == dbengine::fldString || field.DataType == dbengine::fldBytes ||
        field.DataType == dbengine::fldVarBytes)
        desc.Size = field.Size;
    if (field.DataType == dbengine::fldBCD) desc.Decimals = field.Scale;
    desc.Required = field.Required ? 1 : 0;
    desc.CharCase = field.CharCase;
    desc.MinValue = field.MinValue.substr(0, 50);
    desc.MaxValue = field.MaxValue.substr(0, 50);
    desc.DefaultValue = field.DefaultValue.substr(0, 50);
    return desc;
}

// A stored field as a new definition gives it: what the engine works out itself (offsets,
// value sizes, origins) is left for the checks to fill.
dbengine::TFieldDescriptor FieldOfTable(const dbengine::TFieldDescriptor& stored) {
    dbengine::TFieldDescriptor desc;
    desc.FieldNo = stored.FieldNo;
    desc.Name = stored.Name;
    desc.Description = stored.Description;
    desc.FieldType = stored.FieldType;
    desc.SubType = stored.SubType;
    desc.Size = stored.Size;
    desc.Decimals = stored.Decimals;
    desc.Required = stored.Required;
    desc.CharCase = stored.CharCase;
    desc.MinValue = stored.MinValue;
    desc.MaxValue = stored.MaxValue;
    desc.DefaultValue = stored.DefaultValue;
    return desc;
}

// A stored index as a new definition gives it: its name, flags and key fields.
dbengine::TIndexDescriptor IndexOfTable(const dbengine::TIndexDescriptor& stored) {
    dbengine::TIndexDescriptor desc;
    desc.Name = stored.Name;
    desc.Descending = stored.Descending;
    desc.CaseInsensitive = stored.CaseInsensitive;
    desc.Unique = stored.Unique;
    desc.Compression = stored.Compression;
    desc.FieldCount = stored.FieldCount;
    desc.FieldDescending = stored.FieldDescending;
    desc.FieldNumbers = stored.FieldNumbers;
    return desc;
}

dbengine::TCharSet CharSetOf(const std::bitset<256>& chars) {
    dbengine::TCharSet set{};
    for (size_t c = 0; c < chars.size(); ++c)
        if (chars.test(c)) set[c / 8] = static_cast<uint8_t>(set[c / 8] | (1u << (c % 8)));
    return set;
}

std::vector<dbengine::TFieldDescriptor>::iterator FindField(std::vector<dbengine::TFieldDescriptor>& fields,
                                                            const std::string& name) {
    return std::find_if(fields.begin(), fields.end(), [&](const dbengine::TFieldDescriptor& f) {
        return framework::SameText(f.Name, name);
    });
}

// A cursor opened exclusively on the statement's target for the time of one definition
// statement, and closed again also when the statement fails.
class TOpenTarget {
public:
    TOpenTarget(dbengine::TDataCursor& cursor, TQueryStatement* statement) : Cursor(cursor) {
        Cursor.SetPasswordCallback([statement](dbengine::TDataCursor&) { return statement->AskPassword(); });
        Cursor.OpenCursor();
    }
    ~TOpenTarget() {
        try {
            Cursor.CloseCursor(false);
        } catch (...) {  // the statement's own failure is the one reported
        }
    }
    TOpenTarget(const TOpenTarget&) = delete;
    TOpenTarget& operator=(const TOpenTarget&) = delete;
    dbengine::TDataCursor& Cursor;
};

}  // namespace

dbengine::TIndexDescriptor TDataQuery::IndexOfDefinition(
    TCreateIndex& index, const std::vector<dbengine::TFieldDescriptor>& fields) {
    index.BuildColumnNames();
    dbengine::TIndexDescriptor desc;
    desc.Name = index.IndexName.substr(0, 30);
    desc.Unique = index.Unique ? 1 : 0;
    desc.Descending = index.Descending ? 1 : 0;
    desc.CaseInsensitive = index.NoCase ? 1 : 0;
    desc.Compression = index.Compression;
    for (const std::string& name : index.ColumnNames) {
        const auto found = std::find_if(
            fields.begin(), fields.end(),
            [&](const dbengine::TFieldDescriptor& f) { return framework::SameText(f.Name, name); });
        if (found == fields.end())
            DefinitionError("Invalid field name '" + name + "'" + " specified for index " + "'" +
                            index.IndexName + "'");
        if (desc.FieldCount >= desc.FieldNumbers.size()) break;
        desc.FieldDescending[desc.FieldCount] = desc.Descending;
        desc.FieldNumbers[desc.FieldCount++] = static_cast<uint16_t>(found->FieldNo);
    }
    return desc;
}

void TDataQuery::PutTextIndexDefinition(dbengine::TTableDefinition& def) {
    TextIndex->BuildColumnNames();
    def.TextIndex = {};
    def.TextIndex.Name = "Sys Text";
    def.TextIndex.Compression = icFull;
    for (const std::string& name : TextIndex->ColumnNames) {
        const auto found = FindField(def.Fields, name);
        if (found == def.Fields.end())
            DefinitionError("Invalid field name '" + name + "'" + " specified for text index");
        if (def.TextIndex.FieldCount >= def.TextIndex.FieldNumbers.size()) break;
        def.TextIndex.FieldNumbers[def.TextIndex.FieldCount++] = static_cast<uint16_t>(found->FieldNo);
    }
}

void TDataQuery::PutTextParameters(dbengine::TTableDefinition& def) const {
    if (StopWordsGiven) def.StopWords = StopWords;
    def.SpaceChars = CharSetOf(SpaceChars);
    def.IncludeChars = CharSetOf(IncludeChars);
}

std::unique_ptr<dbengine::TDataCursor> TDataQuery::MakeTargetCursor() const {
    auto cursor = std::make_unique<dbengine::TDataCursor>(Statement->Database);
    cursor->SetTableName(ResultTableName);
    cursor->SetInMemory(InMemory);
    cursor->SetExclusive(true);
    return cursor;
}

void TDataQuery::ExecuteCreateTable() {
    dbengine::TTableDefinition def;
    for (size_t i = 0; i < CreateFields.size(); ++i) {
        if (CreateFields[i]->Definition != nullptr)
            dbengine::CheckDataTypeArguments(dbengine::DBE_SQLPARSE, {}, {}, CreateFields[i]->Definition,
                                             "CREATE TABLE");
        CreateFields[i]->ApplyDefinition(static_cast<int16_t>(i + 1));
        def.Fields.push_back(FieldOfDefinition(*CreateFields[i]));
    }
    if (!CreateIndexes.empty()) def.PrimaryIndex = IndexOfDefinition(*CreateIndexes.front(), def.Fields);
    if (TextIndex) PutTextIndexDefinition(def);
    PutTextParameters(def);
    dbengine::TDataDirectory* database = Statement->Database;
    if (IfNotExists && database->TableExists(ResultTableName, InMemory)) return;
    def.LanguageId = static_cast<int16_t>(LanguageId);
    def.SortId = SortId;
    def.BlobBlockSize = BlobBlockSize;
    def.Description = Description;
    def.Password = Password;
    def.Encrypted = Encrypted;
    def.UserMajorVersion = static_cast<int16_t>(UserMajorVersion);
    def.UserMinorVersion = static_cast<int16_t>(UserMinorVersion);
    MakeTargetCursor()->CreateTable(def, true, false);
}

void TDataQuery::ExecuteDropTable() {
    if (IfExists && !Statement->Database->TableExists(ResultTableName, InMemory)) return;
    MakeTargetCursor()->DeleteTable();
}

void TDataQuery::ExecuteCreateIndex() {
    auto cursor = MakeTargetCursor();
    TOpenTarget target(*cursor, Statement);
    std::vector<dbengine::TFieldDescriptor> fields;
    for (uint16_t p = 1; p <= cursor->GetTableFieldCount(); ++p) {
        dbengine::TFieldDescriptor desc;
        cursor->GetDataFileFieldDesc(p, desc);
        fields.push_back(desc);
    }
    TCreateIndex& index = *CreateIndexes.front();
    dbengine::TIndexDescriptor desc = IndexOfDefinition(index, fields);
    if (IfNotExists && cursor->IndexExists(index.IndexName)) return;
    cursor->AddIndex(desc, false);
}

bool TDataQuery::ReadTargetDefinition(dbengine::TTableDefinition& def) {
    auto cursor = MakeTargetCursor();
    TOpenTarget target(*cursor, Statement);
    def.Encrypted = EncryptedGiven ? Encrypted : cursor->IsEncrypted();
    def.Password = EncryptedGiven ? Password : cursor->GetTablePassword();
    def.LanguageId = static_cast<int16_t>(LanguageGiven ? LanguageId : cursor->GetLanguageId());
    def.SortId = SortGiven ? SortId : cursor->GetSortId();
    def.BlobBlockSize =
        static_cast<uint16_t>(BlobBlockSizeGiven ? BlobBlockSize : cursor->GetBlobBlockSize());
    def.Description = DescriptionGiven ? Description : cursor->GetTableDescription();
    def.UserMajorVersion =
        static_cast<int16_t>(UserMajorVersionGiven ? UserMajorVersion : cursor->GetUserMajorVersion());
    def.UserMinorVersion =
        static_cast<int16_t>(UserMinorVersionGiven ? UserMinorVersion : cursor->GetUserMinorVersion());
    for (uint16_t p = 1; p <= cursor->GetTableFieldCount(); ++p) {
        dbengine::TFieldDescriptor stored;
        cursor->GetDataFileFieldDesc(p, stored);
        def.Fields.push_back(FieldOfTable(stored));
    }
    const bool internalPrimary = cursor->HasInternalPrimaryIndex();
    if (!internalPrimary) def.PrimaryIndex = IndexOfTable(cursor->GetIndexDesc(dbengine::PrimaryIndex));
    for (uint8_t i = 1; i <= cursor->GetSecondaryIndexCount(); ++i)
        def.SecondaryIndexes.push_back(IndexOfTable(cursor->GetIndexDesc(i)));
    const dbengine::TIndexDescriptor text = cursor->GetIndexDesc(dbengine::SysTextIndex);
    if (text.FieldCount > 0) def.TextIndex = IndexOfTable(text);
    return internalPrimary;
}

void TDataQuery::RestructureTarget(dbengine::TTableDefinition& def) {
    PutTextParameters(def);
    auto cursor = MakeTargetCursor();
    TQueryStatement* statement = Statement;
    cursor->SetPasswordCallback([statement](dbengine::TDataCursor&) { return statement->AskPassword(); });
    cursor->RestructureTable(def, true, static_cast<int32_t>(LastAutoInc), NoBackup, false, false);
}

void TDataQuery::ExecuteAlterTable() {
    dbengine::TTableDefinition def;
    bool internalPrimary = ReadTargetDefinition(def);
    std::vector<dbengine::TFieldDescriptor>& fields = def.Fields;
    int16_t highest = 0;
    for (const auto& f : fields) highest = std::max(highest, f.FieldNo);

    for (auto& item : CreateFields) {
        TCreateField& field = *item;
        if (field.IsAdd) {
            if (field.Definition != nullptr)
                dbengine::CheckDataTypeArguments(dbengine::DBE_SQLPARSE, {}, {}, field.Definition,
                                                 "ALTER TABLE");
            field.ApplyDefinition(++highest);
            const dbengine::TFieldDescriptor desc = FieldOfDefinition(field);
            // A place past the end appends, as a moved REDEFINE does.
            if (field.Position >= 1 && static_cast<size_t>(field.Position) <= fields.size())
                fields.insert(fields.begin() + (field.Position - 1), desc);
            else
                fields.push_back(desc);
            continue;
        }
        if (field.Definition != nullptr && field.Definition->DataType != 0)
            dbengine::CheckDataTypeArguments(dbengine::DBE_SQLPARSE, {}, {}, field.Definition, "ALTER TABLE");
        field.ApplyDefinition(0);
        auto found = FindField(fields, field.ColumnName);
        if (found == fields.end()) DefinitionError("Column " + field.ColumnName + " not found");
        if (field.IsDrop) {
            fields.erase(found);
            continue;
        }
        dbengine::TFieldDescriptor desc = *found;
        if (field.DataType != 0) {
            const dbengine::TFieldDescriptor given = FieldOfDefinition(field);
            desc.FieldType = given.FieldType;
            desc.SubType = given.SubType;
            desc.Size = given.Size;
            desc.Decimals = given.Decimals;
        }
        if (!field.NewColumnName.empty()) desc.Name = field.NewColumnName.substr(0, 30);
        if (field.DescriptionGiven) desc.Description = field.Description.substr(0, 50);
        if (field.RequiredGiven) desc.Required = field.Required ? 1 : 0;
        if (field.CharCaseGiven) desc.CharCase = field.CharCase;
        if (field.DefaultGiven) desc.DefaultValue = field.DefaultValue.substr(0, 50);
        if (field.MinGiven) desc.MinValue = field.MinValue.substr(0, 50);
        if (field.MaxGiven) desc.MaxValue = field.MaxValue.substr(0, 50);
        desc.Calculated = 0;
        if (field.Position >= 1) {
            fields.erase(found);
            const size_t at = std::min(static_cast<size_t>(field.Position - 1), fields.size());
            fields.insert(fields.begin() + static_cast<std::ptrdiff_t>(at), desc);
        } else {
            *found = desc;
        }
    }

    bool primaryDropped = false;
    for (auto& item : CreateIndexes) {
        TCreateIndex& index = *item;
        if (index.IsDrop) {
            def.PrimaryIndex = {};
            primaryDropped = true;
            continue;
        }
        if (index.IsAdd && !internalPrimary && !primaryDropped)
            DefinitionError("Cannot REDEFINE the primary key using the ADD keyword");
        def.PrimaryIndex = IndexOfDefinition(index, fields);
    }
    if (TextIndex) PutTextIndexDefinition(def);
    RestructureTarget(def);
}

void TDataQuery::ExecuteDropIndex() {
    if (framework::SameText(IndexName, "PRIMARY")) {
        // The primary key gives way to the engine's own record order: the table is rebuilt
        // without it, as ALTER TABLE ... DROP PRIMARY KEY does.
        dbengine::TTableDefinition def;
        if (ReadTargetDefinition(def)) {
            if (IfExists) return;
            dbengine::RaiseIndexError(dbengine::DBE_INVALIDINDEXNAME, ResultTableName, IndexName);
        }
        def.PrimaryIndex = {};
        RestructureTarget(def);
        return;
    }
    auto cursor = MakeTargetCursor();
    TOpenTarget target(*cursor, Statement);
    if (IfExists && !cursor->IndexExists(IndexName)) return;
    cursor->DeleteIndex(IndexName, true);
}

}  // namespace dbsql
