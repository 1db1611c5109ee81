#include "catalog/CatalogStore.h"

#include <exception>
#include <utility>

#include "catalog/Globals.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"

namespace catalog {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = 16;
constexpr uint8_t kNoCompression = 0;
constexpr uint8_t kFullCompression = 3;
constexpr TIndexOptions kPrimaryNoCase = ixPrimary | ixUnique | ixCaseInsensitive;  // 11

TCatalogTableSchema MakeSummary() {
    return {{"_SUM",
             {{"CatalogVolumeLabel", ftString, 11, true},
              {"ActualVolumeLabel", ftString, 11, true},
              {"SerialNumber", ftInteger},
              {"DateFirstCataloged", ftDate},
              {"DateLastCataloged", ftDate},
              {"DiskSize", ftBCD},
              {"DiskClusterSize", ftBCD},
              {"DiskUsed", ftBCD},
              {"DiskFree", ftBCD},
              {"FilesOnDisk", ftInteger},
              {"FilesInArchives", ftInteger},
              {"CatalogedFrom", ftString, 1},
              {"Comment", ftMemo},
              {"Tag", ftAutoInc}},
             {{"", "CatalogVolumeLabel", kPrimaryNoCase},
              {"ByActualVolumeLabel", "ActualVolumeLabel;CatalogVolumeLabel", ixUnique | ixCaseInsensitive},
              {"ByFreeSpace", "DiskFree;CatalogVolumeLabel", ixDescending | ixCaseInsensitive},
              {"ByTag", "Tag", 0}}},
            {kFullCompression, kFullCompression, kFullCompression, kNoCompression},
            2,
            0};
}

TCatalogTableSchema MakeLog() {
    return {
        {"_LOG",
         {{"OpDate", ftDate, 0, true},
          {"OpTime", ftTime, 0, true},
          {"AutoInc", ftAutoInc, 0, true},
          {"Operation", ftString, 50}},
         {{"", "OpDate;OpTime;AutoInc", ixPrimary}, {"ByOperation", "Operation;OpDate;OpTime;AutoInc", 0}}},
        {},
        0,
        0};
}

void InformationBox(const std::string& Message) {
    MessageDlg(Message, mtInformation, {mbOK}, 0);
}

// Removes the message window when the restructure it announces ends, however it ends.
class TShownMessage {
public:
    TShownMessage(const TMessageWindowHook& Hook, const std::string& Text) : FHook(Hook) {
        if (FHook.Show) FHook.Show(Text);
    }
    ~TShownMessage() {
        if (FHook.Remove) FHook.Remove();
    }
    TShownMessage(const TShownMessage&) = delete;
    TShownMessage& operator=(const TShownMessage&) = delete;

private:
    const TMessageWindowHook& FHook;
};

}  // namespace

const TCatalogTableSchema& SummaryTableSchema() {
    static const TCatalogTableSchema schema = MakeSummary();
    return schema;
}

TCatalogTableSchema CatalogTableSchema(int FileNameLength, int FolderNameLength, int ArchiveIDLength) {
    return {{"_CAT",
             {{"FileName", ftString, FileNameLength, true},
              {"VolumeLabel", ftString, 11},
              {"FolderName", ftString, FolderNameLength},
              {"ArchiveID", ftString, ArchiveIDLength},
              {"FileSize", ftBCD},
              {"DateModified", ftDate},
              {"TimeModified", ftTime},
              {"Attribute", ftInteger},
              {"CategoryCode", ftString, 6},
              {"Comment", ftMemo},
              {"Tag", ftAutoInc}},
             {{"", "FileName;VolumeLabel;FolderName;ArchiveID", kPrimaryNoCase},
              {"ByTag", "Tag", 0},
              {"ByVolumeLabel", "VolumeLabel;FileName;FolderName;ArchiveID", ixCaseInsensitive}}},
            {kFullCompression, kNoCompression, kFullCompression},
            0,
            0};
}

const TCatalogTableSchema& LogTableSchema() {
    static const TCatalogTableSchema schema = MakeLog();
    return schema;
}

void AppendActivityLog(dbsql::TDbTable& LogTable, const std::string& Operation) {
    LogTable.Open();
    LogTable.Append();
    LogTable.FieldByName("OpDate")->SetAsDateTime(Date());
    LogTable.FieldByName("OpTime")->SetAsDateTime(Time());
    LogTable.FieldByName("Operation")->SetAsString(Operation.substr(0, 50));
    LogTable.Post();
    LogTable.Close();
}

const char* const InvalidCatalogNameText =
    "Catalog Names Cannot Contain Any Of These Characters:  \\ / : * ? \" < > |";

bool IsValidCatalogName(std::string_view Name) {
    if (Name.empty() || Name == "." || Name == "..") return false;
    for (char c : Name) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) return false;
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

TCatalogStore::TCatalogStore() = default;

TCatalogStore::~TCatalogStore() {
    DataTable.Close();
    CfgTable.Close();
}

void TCatalogStore::Fail(const std::string& Message) {
    MessageBeep(kErrorBeep);
    MessageDlg(Message, mtError, {mbOK}, 0);
    CurrentCatalogName.clear();
}

void TCatalogStore::OpenCatalog(bool Silent) {
    if (CurrentCatalogName.empty()) return;
    CfgTable.Close();
    CfgTable.SetDatabaseName(ProgramFolder);
    CfgTable.SetTableName(CatalogConfigsSchema().TableName);
    try {
        CfgTable.Open();
    } catch (const std::exception&) {
        MessageBeep(kErrorBeep);
        MessageDlg("Unable To Open File Containing Catalog Configurations", mtError, {mbOK}, 0);
        return;
    }
    // A name that cannot make file names has no usable definition, whatever the table holds.
    bool found = false;
    if (IsValidCatalogName(CurrentCatalogName)) {
        CfgTable.SetKey();
        CfgTable.FieldByName("CatalogName")->SetAsString(CurrentCatalogName);
        found = CfgTable.GotoKey();
    }
    if (!found) {
        Fail("Cannot Find Catalog Definition - You Need To Create A New Catalog");
        CfgTable.Close();
        return;
    }
    LastCatalogedLabel = Trim(CfgTable.FieldByName("LastVolumeLabel")->AsString());
    try {
        OpenSummaryTable(Silent);
        if (!CurrentCatalogName.empty()) OpenCatalogTable(Silent);
        if (!CurrentCatalogName.empty()) OpenLogTable(Silent);
    } catch (...) {
        CfgTable.Close();
        throw;
    }
    CfgTable.Close();
}

void TCatalogStore::CreateCatalogConfig(bool ForConversion, TNameLengths Lengths) {
    if (ForConversion) Lengths = TNameLengths{};
    CfgTable.Close();
    CfgTable.SetDatabaseName(ProgramFolder);
    CfgTable.SetTableName(CatalogConfigsSchema().TableName);
    try {
        CfgTable.Open();
    } catch (const std::exception&) {
        Fail("Unable To Open Catalog Configuration File");
        return;
    }
    try {
        CfgTable.Insert();
        auto set = [this](const char* Name, const std::string& Text) {
            CfgTable.FieldByName(Name)->SetAsString(Text);
        };
        CfgTable.FieldByName("CatalogName")->SetAsString(CurrentCatalogName);
        CfgTable.FieldByName("FileNameFieldLength")->SetAsInteger(Lengths.FileName);
        CfgTable.FieldByName("FolderNameFieldLength")->SetAsInteger(Lengths.FolderName);
        CfgTable.FieldByName("ArchiveIDFieldLength")->SetAsInteger(Lengths.ArchiveID);
        set("ExpandArchives", "Never");
        // Every yes/no option starts "False" but these three.
        for (const TFieldSchema& f : CatalogConfigsSchema().Fields)
            if (f.Kind == ftBoolean)
                set(f.Name.c_str(),
                    BooleanText(f.Name == "DoCAB" || f.Name == "DoZIP" || f.Name == "WarnIfExists"));
        set("LastVolumeLabel", "");
        CfgTable.FieldByName("LastPointer")->SetAsInteger(0);
        CfgTable.Post();
    } catch (const std::exception&) {
        CfgTable.Cancel();
        CfgTable.Close();
        Fail("Unable To Create Configuration Record For New Catalog");
        return;
    }
    CfgTable.Close();
}

bool TCatalogStore::PointDataTableAt(const std::string& Suffix) {
    DataTable.Close();
    DataTable.SetDatabaseName(CatalogDataFolder);
    DataTable.SetTableName(CurrentCatalogName + Suffix);
    return DataTable.Exists();
}

void TCatalogStore::AlterDataTable(const TCatalogTableSchema* Indexes, uint16_t Major, uint16_t Minor) {
    // Clearing first makes Update read this table, not what the lists held for another one.
    DataTable.RestructureFieldDefs.Clear();
    DataTable.RestructureFieldDefs.Update();
    DataTable.RestructureIndexDefs.Clear();
    DataTable.RestructureIndexDefs.Update();
    if (Indexes != nullptr) {
        DataTable.RestructureIndexDefs.Clear();
        const std::vector<TIndexSchema>& list = Indexes->Table.Indexes;
        for (size_t i = 0; i < list.size(); ++i)
            DataTable.RestructureIndexDefs.Add(list[i].Name, list[i].Fields, list[i].Options,
                                               Indexes->Compression[i]);
    }
    DataTable.AlterTable(0, 0, Major, Minor, false, "", "", 512, -1, true);
}

void TCatalogStore::CreateDataTable(const TCatalogTableSchema& Schema) {
    try {
        DefineTable(DataTable, Schema.Table);
        DataTable.CreateTable();
        if (Schema.Restructured()) AlterDataTable(&Schema, Schema.UserMajorVersion, Schema.UserMinorVersion);
    } catch (...) {
        // A half-made table would pass for an existing one at the next opening: it goes again
        // (it holds no records yet).
        try {
            DataTable.Close();
            DataTable.DeleteTable();
        } catch (const std::exception&) {
        }
        throw;
    }
}

void TCatalogStore::OpenSummaryTable(bool Silent) {
    const TCatalogTableSchema& schema = SummaryTableSchema();
    if (PointDataTableAt(schema.Table.TableName)) {
        if (DataTable.GetUserMajorVersion() == schema.UserMajorVersion &&
            DataTable.GetUserMinorVersion() == schema.UserMinorVersion)
            return;
        try {
            TShownMessage shown(MessageWindow, "Updating Summary File Format");
            AlterDataTable(nullptr, schema.UserMajorVersion, schema.UserMinorVersion);
        } catch (const std::exception&) {
            Fail("Error Restructuring Summary File");
        }
        return;
    }
    if (!Silent) InformationBox("Cannot Find Summary File For Current Catalog - Creating A New One");
    try {
        CreateDataTable(schema);
    } catch (const std::exception&) {
        Fail("Error Creating Summary File");
    }
}

void TCatalogStore::OpenCatalogTable(bool Silent) {
    static const std::vector<std::pair<const char*, int>> lengthFields = {
        {"FileNameFieldLength", 0}, {"FolderNameFieldLength", 2}, {"ArchiveIDFieldLength", 3}};
    if (PointDataTableAt(CatalogTableSchema(16, 16, 16).Table.TableName)) {
        // The table's own sizes are the authority; the record follows them.
        DataTable.FieldDefs.Update();
        bool same = true;
        for (const auto& [name, fieldNo] : lengthFields)
            same = same && CfgTable.FieldByName(name)->AsInteger() == DataTable.FieldDefs[fieldNo]->Size;
        if (same) return;
        CfgTable.Edit();
        for (const auto& [name, fieldNo] : lengthFields)
            CfgTable.FieldByName(name)->SetAsInteger(DataTable.FieldDefs[fieldNo]->Size);
        CfgTable.Post();
        return;
    }
    if (!Silent) InformationBox("Cannot Find Data File For Current Catalog - Creating A New One");
    try {
        CreateDataTable(CatalogTableSchema(CfgTable.FieldByName("FileNameFieldLength")->AsInteger(),
                                           CfgTable.FieldByName("FolderNameFieldLength")->AsInteger(),
                                           CfgTable.FieldByName("ArchiveIDFieldLength")->AsInteger()));
    } catch (const std::exception&) {
        Fail("Error Creating Catalog File");
    }
}

void TCatalogStore::OpenLogTable(bool Silent) {
    if (PointDataTableAt(LogTableSchema().Table.TableName)) return;
    if (!Silent) InformationBox("Cannot Find Log File For Current Catalog - Creating A New One");
    try {
        CreateDataTable(LogTableSchema());
    } catch (const std::exception&) {
        Fail("Error Creating Log File");
    }
}

std::string EntryAttributeLetters(int32_t Attribute) {
    std::string s;
    if (Attribute & 1) s += 'R';
    if (Attribute & 2) s += 'H';
    if (Attribute & 4) s += 'S';
    if (Attribute & 0x20) s += 'A';
    return s;
}

std::string CommentFirstLine(const std::string& Comment) {
    std::string s = Comment.substr(0, Comment.find('\n'));
    return s.substr(0, s.find('\r'));
}

}  // namespace catalog
