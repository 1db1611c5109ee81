// Table definitions and table files: the checks of field and index definitions, and creating,
// deleting and renaming a table through a cursor.

#include <algorithm>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/file/FileHandler.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

constexpr size_t MaxTablePassword = 15;
constexpr int32_t MaxDefinitionIndexCount = 32;
constexpr uint16_t MinBlobBlockSize = 64;
// The record-ID suffix of a non-unique index's key.
constexpr uint16_t RecordIdKeyBytes = 4;

// A letter, "_" or a character 128..254 (the table's own names may use the upper half).
bool IsNameStart(char c) {
    auto u = static_cast<uint8_t>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || (u >= 128 && u <= 254);
}

}  // namespace

void TDataCursor::RaiseField(TEngineErrorCode code, const std::string& field) const {
    RaiseEngineError(code, {}, {}, GetDatabaseName(), TableName, field);
}

void TDataCursor::RaiseIndex(TEngineErrorCode code, const std::string& index,
                             const std::string& field) const {
    RaiseEngineError(code, {}, {}, GetDatabaseName(), TableName, field, index);
}

void TDataCursor::RequirePassword(const std::string& password) {
    TDataSession* session = Database->Session;
    while (session == nullptr || !session->HasPassword(password))
        if (!AskPassword()) RaiseCursor(DBE_NOTSUFFTABLERIGHTS);
}

void TDataCursor::CheckTableDefinition(TTableDefinition& definition, int32_t lastAutoInc,
                                       bool allowAutoPrimary, bool allowCalculated) {
    if (definition.Encrypted) {
        std::string password = TrimText(definition.Password);
        if (password.empty() || password.size() > MaxTablePassword) RaiseCursor(DBE_INVALIDPASSWORD);
    }
    if (definition.LanguageId != 0 &&
        !IsLocaleInstalled(MakeLocaleId(static_cast<uint16_t>(definition.LanguageId), definition.SortId)))
        RaiseCursor(DBE_CANNOTLOADLDDRV);
    if (definition.Fields.size() > MaxFieldCount || lastAutoInc < -1) RaiseCursor(DBE_FLDLIMIT);
    if (definition.SecondaryIndexes.size() > MaxDefinitionIndexCount) RaiseCursor(DBE_INDEXLIMIT);
    uint16_t blockSize = definition.BlobBlockSize == 0 ? 512 : definition.BlobBlockSize;
    if (blockSize < MinBlobBlockSize) RaiseCursor(DBE_BLOBLIMIT);
    CheckFieldDescs(definition.Fields, allowCalculated, true);
    CheckIndexDescs(definition.Fields, definition, allowAutoPrimary);
}

void TDataCursor::CheckFieldDescs(std::vector<TFieldDescriptor>& fields, bool allowCalculated,
                                  bool assignOffsets) {
    for (size_t i = 0; i < fields.size(); ++i) {
        TFieldDescriptor& d = fields[i];
        d.Name = TrimText(d.Name).substr(0, MaxFieldNameLength);
        if (d.Name.empty() || !IsNameStart(d.Name[0])) RaiseField(DBE_INVALIDFIELDNAME, d.Name);
        for (size_t j = 0; j < fields.size(); ++j) {
            if (j == i) continue;
            if (SameNameText(TrimText(fields[j].Name).substr(0, MaxFieldNameLength), d.Name))
                RaiseField(DBE_INVALIDFIELDNAME, d.Name);
            if (fields[j].FieldNo == d.FieldNo) RaiseField(DBE_INVALIDFLDTYPE, d.Name);
        }
        if (d.FieldType == fldNone) RaiseField(DBE_INVALIDFLDTYPE, d.Name);
        bool sized = d.FieldType == fldString || d.FieldType == fldBytes || d.FieldType == fldVarBytes;
        if (sized) {
            if (d.Size > MaxFieldSize) RaiseField(DBE_INVALIDFLDTYPE, d.Name);
        } else {
            d.Size = 0;
        }
        for (const std::string* text : {&d.DefaultValue, &d.MinValue, &d.MaxValue})
            if (!IsValidValueText(*text, d.FieldType)) RaiseField(DBE_INVALIDVCHKSTRUCT, d.Name);
        if (d.Calculated != 0 && !allowCalculated) RaiseField(DBE_INVALIDFLDTYPE, d.Name);
        if (d.FieldType != fldBCD) d.Decimals = 0;
        ComputeValueSize(d);
    }
    if (assignOffsets) AssignFieldOffsets(fields);
}

void TDataCursor::CheckIndexDescs(const std::vector<TFieldDescriptor>& fields, TTableDefinition& definition,
                                  bool allowAutoPrimary) {
    if (definition.SecondaryIndexes.size() > MaxSecondaryIndexes) RaiseCursor(DBE_INDEXLIMIT);
    auto fieldOf = [&](uint16_t number) -> const TFieldDescriptor* {
        for (const TFieldDescriptor& f : fields)
            if (f.FieldNo == number) return &f;
        return nullptr;
    };
    auto checkOne = [&](TIndexDescriptor& d, bool primary) {
        std::string name = primary ? std::string() : TrimText(d.Name);
        int keyPart = 0;
        uint8_t count = 0;
        bool ended = false;
        for (int k = 0; k < MaxIndexFields; ++k) {
            uint16_t number = d.FieldNumbers[k];
            if (number == 0) {
                ended = true;
                continue;
            }
            if (ended) RaiseIndex(DBE_INVALIDIDXDESC, name, std::to_string(number));
            const TFieldDescriptor* f = fieldOf(number);
            if (f == nullptr) {
                if (primary && allowAutoPrimary) break;
                RaiseIndex(DBE_INVALIDIDXDESC, name, std::to_string(number));
            }
            if (f->FieldType == fldBlob) RaiseIndex(DBE_SEARCHCOLREQD, name, f->Name);
            keyPart += KeyPartSize(*f) + 1;
            ++count;
        }
        if (keyPart > MaxKeyFieldPart || (keyPart == 0 && !(primary && allowAutoPrimary)))
            RaiseIndex(DBE_INVALIDKEY, name);
        d.KeySize = static_cast<uint16_t>(keyPart + (d.Unique != 0 ? 0 : RecordIdKeyBytes));
        d.FieldCount = count;
        d.RootPage = d.FreePage = d.DataRootPage = 0;
    };
    definition.PrimaryIndex.Name.clear();
    definition.PrimaryIndex.Unique = 1;
    checkOne(definition.PrimaryIndex, true);
    auto& secondaries = definition.SecondaryIndexes;
    for (size_t i = 0; i < secondaries.size(); ++i) {
        std::string upper = TrimText(secondaries[i].Name);
        UpperCaseLocale(0, 0, upper);
        if (upper.empty() || !IsNameStart(upper[0])) RaiseIndex(DBE_INVALIDINDEXNAME, secondaries[i].Name);
        for (size_t j = 0; j < secondaries.size(); ++j)
            if (j != i && SameNameText(TrimText(secondaries[j].Name), upper))
                RaiseIndex(DBE_INDEXEXISTS, secondaries[i].Name);
        checkOne(secondaries[i], false);
    }
    TIndexDescriptor& text = definition.TextIndex;
    bool ended = false;
    uint8_t count = 0;
    for (int k = 0; k < MaxIndexFields; ++k) {
        uint16_t number = text.FieldNumbers[k];
        if (number == 0) {
            ended = true;
            continue;
        }
        const TFieldDescriptor* f = fieldOf(number);
        if (ended || f == nullptr) RaiseIndex(DBE_INVALIDIDXDESC, SysTextName, std::to_string(number));
        bool isText = f->FieldType == fldString || (f->FieldType == fldBlob && f->SubType == fldstMemo);
        if (!isText) RaiseIndex(DBE_SEARCHCOLREQD, SysTextName, f->Name);
        ++count;
    }
    text.FieldCount = count;
    text.KeySize = SysTextKeySize;
}

void TDataCursor::CreateTable(TTableDefinition definition, bool allowAutoPrimary, bool overwrite) {
    CheckExclusive();
    CheckWritable();
    CheckTableDefinition(definition, 0, allowAutoPrimary, false);
    if (!overwrite && Database->TableExists(TableName, InMemory)) RaiseCursor(DBE_TABLEEXISTS);
    int32_t result = Database->CreateSharedTable(TableName, InMemory, IsTemporary, definition);
    if (result < 0) RaiseCursor(static_cast<TEngineErrorCode>(-result));
    Table = Database->FindTable(TableName, InMemory);
    IsOpen = Table != nullptr;
    try {
        if (Table != nullptr) Tables->TableCreated(definition, allowAutoPrimary, overwrite);
    } catch (...) {
        CloseCursor(false);
        throw;
    }
    // The new table's changes, its full-text parameters among them, are written as the cursor
    // lets it go.
    CloseCursor(false);
}

void TDataCursor::LocalTableCreated(const TTableDefinition& definition) {
    LanguageId = static_cast<uint16_t>(definition.LanguageId);
    SortId = definition.SortId;
    std::vector<std::string> words;
    if (definition.StopWords) {
        words = *definition.StopWords;
    } else {
        for (const char* w : DefaultStopWords) words.emplace_back(w);
    }
    SetTextIndexParams(
        &words, CharSetIsEmpty(definition.SpaceChars) ? DefaultSpaceChars() : definition.SpaceChars,
        CharSetIsEmpty(definition.IncludeChars) ? DefaultIncludeChars() : definition.IncludeChars);
}

TDataHeader TDataCursor::ReadTableHeader() {
    if (IsOpen && Table != nullptr) return Table->DataFile->Header;
    return Tables->ReadClosedTableHeader();
}

TDataHeader TDataCursor::LocalReadClosedTableHeader() {
    TDataHeader header;
    {
        TFileHandler file;
        file.FileName = Database->Directory + TableName + ".DAT";  // the name never ends in ".DAT"
        file.InMemory = InMemory;
        file.OpenFile();
        uint8_t bytes[DataHeaderSize];
        try {
            file.ReadAt(0, bytes, DataHeaderSize);
        } catch (...) {
            file.CloseFile();
            throw;
        }
        file.CloseFile();
        header = TDataHeader::Decode(bytes);
    }
    if (header.Encrypted != 0) {
        TDataFile reader(nullptr);
        reader.Header = header;
        RequirePassword(reader.GetPassword());
    }
    return header;
}

void TDataCursor::DeleteTable() {
    CheckClosed();
    ReadTableHeader();
    return Tables->DeleteTable();
}

void TDataCursor::LocalDeleteTable() {
    int32_t result = Database->DeleteTableFiles(TableName, InMemory);
    if (result < 0) RaiseCursor(static_cast<TEngineErrorCode>(-result));
}

void TDataCursor::RenameTable(const std::string& newName) {
    CheckClosed();
    ReadTableHeader();
    return Tables->RenameTable(newName);
}

void TDataCursor::LocalRenameTable(const std::string& newName) {
    int32_t result = Database->RenameTableFiles(TableName, newName, InMemory, false);
    if (result < 0) RaiseCursor(static_cast<TEngineErrorCode>(-result));
}

void TDataCursor::EmptyTable() {
    CheckExclusive();
    CheckWritable();
    if (Table != nullptr) Tables->EmptyTable();
}

void TDataCursor::LocalEmptyTable() {
    // The parameters live in the index file, which is emptied: they are read first and written
    // again at close.
    LoadTextIndexParams();
    Table->EmptyTable();
    TextParamsChanged = true;
    SaveChangeCounters();
}

void TDataCursor::SetTableInfo(const std::string& password, const std::string& description,
                               int32_t lastRecordId, int16_t userMajorVersion, int16_t userMinorVersion) {
    if (Table != nullptr)
        Table->DataFile->SetTableInfo(password, description, lastRecordId, userMajorVersion,
                                      userMinorVersion);
}

void TDataCursor::ReplaceIndexDesc(uint8_t indexNo, const TIndexDescriptor& desc) {
    if (Table == nullptr) return;
    Table->IndexFile->ReplaceIndexDesc(indexNo, desc);
    // The cursor's copy of the current index's state must follow its descriptor.
    if (indexNo == CurrentIndex) ReloadIndexState();
}

void TDataCursor::RenameIndexDesc(uint8_t indexNo, const TIndexDescriptor& desc) {
    if (Table == nullptr) return;
    Table->IndexFile->RenameIndexDesc(indexNo, desc);
    if (indexNo == CurrentIndex) ReloadIndexState();
}

void TDataCursor::PlaceCalculatedField(TFieldDescriptor& d) {
    if (d.Calculated == 0) return;
    d.Offset = RecordSize;
    RecordSize = static_cast<uint16_t>(RecordSize + d.ValueSize + 1);
}

void TDataCursor::SetFieldDescs(std::vector<TFieldDescriptor> fields) {
    CheckFieldDescs(fields, true, false);
    for (TFieldDescriptor& d : fields) {
        PlaceCalculatedField(d);
        if (d.Calculated != 0 && d.Expression != nullptr) HasCalculatedFields = true;
    }
    FieldDescs = std::move(fields);
    FieldCount = static_cast<uint16_t>(FieldDescs.size());
}

void TDataCursor::SetFieldOrigins() {
    bool serverSide = Database->Session != nullptr && Database->Session->ServerSide;
    for (TFieldDescriptor& d : FieldDescs) {
        PlaceCalculatedField(d);
        d.OriginName = (TableName + "." + d.Name).substr(0, MaxOriginNameLength);
        d.OriginFieldNo = d.FieldNo;
        d.DatabaseName =
            (serverSide ? Database->DatabaseName : Database->Directory).substr(0, MaxOriginNameLength);
    }
}

bool TDataCursor::IndexExists(const std::string& name) const {
    if (Table == nullptr) return false;
    return Table->IndexFile->IndexNameExists(name);
}

}  // namespace dbengine
