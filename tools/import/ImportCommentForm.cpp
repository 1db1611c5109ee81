#include "tools/import/ImportCommentForm.h"

#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/TextHelpers.h"
#include "cataloging/editors/CommentFilter.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "dbsql/components/DbQuery.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"

namespace tools {

using namespace framework;

namespace {

const catalog::TTableSchema& ImportPointerSchema() {
    static const catalog::TTableSchema schema{TImportFileCommentForm::PointerTableName,
                                              {{"FTag", ftInteger, 0, true}},
                                              {{"", "FTag", ixPrimary | ixUnique}}};
    return schema;
}

}  // namespace

TImportFileCommentForm::TImportFileCommentForm(TComponent* AOwner)
    : TImportProfileForm(AOwner, CommentImportProfilesSchema()) {
    SetName("ImportFileCommentForm");
    SetCaption("Import File Comments");
    SetClientSize(640, 420);
    HelpContext = 31;
    BuildProfileList(*this, 8, 8, 360);
    auto* fields = catalog::NewPanel(*this, *this, "FieldsPanel", 216, 8, 416, 360, bvLowered);
    BuildGeneralFields(*fields, 12, 8);
    BuildColumnGrid(*fields, 12, 150,
                    {{"FileName", "FNStartCol", "FNEndCol"},
                     {"Volume Label", "VLStartCol", "VLEndCol"},
                     {"Folder Name", "FldStartCol", "FldEndCol"},
                     {"Archive ID", "ArcStartCol", "ArcEndCol"},
                     {"Comment", "CmtStartCol", "CmtEndCol"}});
    catalog::NewLabel(*this, *fields, "CriteriaLabel", 200, 104, 200, "Comment Processing Options");
    CmtProcCriteria = catalog::NewControl<TDBComboBox>(*this, *fields, "CmtProcCriteria", 200, 120, 200, 23);
    CmtProcCriteria->SetDataSource(ProfileSource);
    CmtProcCriteria->SetDataField("CmtProcCriteria");
    for (const char* choice : {"Do Not Overwrite", "Overwrite Existing", "Append To Existing"})
        CmtProcCriteria->Items().Add(choice);
    BuildButtons(*this, 120, 380, "&Import Comments");

    Query = NewComponent<dbsql::TDbQuery>(this);
    Query->SetName("Query");
    Query->SetRequestLive(true);
    PointerTable = NewComponent<dbsql::TDbTable>(this);
    PointerTable->SetName("PointerTable");
    PointerTable->SetTableName(PointerTableName);

    // The status of a run, over the profile's fields.
    StatusPanel = catalog::NewPanel(*this, *this, "StatusPanel", 216, 8, 416, 360, bvLowered);
    StatusPanel->SetVisible(false);
    catalog::NewLabel(*this, *StatusPanel, "StatusHeading", 12, 12, 390, "File Comment Import Progress");
    const char* captions[] = {"Lines Read", "Matches Found", "Comments Updated"};
    const char* names[] = {"LinesReadPanel", "MatchesFoundPanel", "CommentsUpdatedPanel"};
    TPanel** panels[] = {&LinesReadPanel, &MatchesFoundPanel, &CommentsUpdatedPanel};
    for (int i = 0; i < 3; ++i) {
        catalog::NewLabel(*this, *StatusPanel, (std::string(names[i]) + "Label").c_str(), 12, 52 + i * 32,
                          150, captions[i]);
        *panels[i] = catalog::NewPanel(*this, *StatusPanel, names[i], 170, 48 + i * 32, 120, 22, bvLowered);
        (*panels[i])->SetAlignment(taRightJustify);
        (*panels[i])->SetCaption("0");
    }
    const auto button = [this](const char* Name, const char* Caption, int Left, int Width, auto Click) {
        auto* b = catalog::NewControl<TButton>(*this, *StatusPanel, Name, Left, 200, Width, 30);
        b->SetCaption(Caption);
        b->OnClick = [Click](TObject*) { Click(); };
        return b;
    };
    StopBtn = button("StopBtn", "&Stop Now", 12, 120, [this] { StopBtnClick(); });
    DoneBtn = button("DoneBtn", "&Done", 140, 120, [this] { DoneBtnClick(); });
    DoneBtn->SetVisible(false);
    EditCmtsBtn =
        button("EditCmtsBtn", "&Edit Modified File Comments", 12, 240, [this] { EditCmtsBtnClick(); });
    EditCmtsBtn->SetTop(240);
    EditCmtsBtn->SetVisible(false);
}

void TImportFileCommentForm::DoShow() {
    Query->SetDatabaseName(catalog::CatalogDataFolder);
    PointerTable->SetDatabaseName(catalog::ProgramFolder);
    TImportProfileForm::DoShow();
}

void TImportFileCommentForm::DoClose(TCloseAction& Action) {
    TImportProfileForm::DoClose(Action);
    DeletePointerTable();
}

void TImportFileCommentForm::DeletePointerTable() {
    try {
        PointerTable->Close();
        if (PointerTable->Exists()) PointerTable->DeleteTable();
    } catch (const std::exception&) {
    }
}

void TImportFileCommentForm::StopBtnClick() {
    FStop = true;
    StopBtn->SetEnabled(false);
}

void TImportFileCommentForm::BitBtn3Click() {
    const std::string path = ProfileText("ImportFrom");
    if (Trim(path).empty()) {
        catalog::ErrorBox(NoFileText);
        return;
    }
    FColumns.FileName = ProfileColumns("FNStartCol", "FNEndCol");
    FColumns.VolumeLabel = ProfileColumns("VLStartCol", "VLEndCol");
    FColumns.FolderName = ProfileColumns("FldStartCol", "FldEndCol");
    FColumns.ArchiveID = ProfileColumns("ArcStartCol", "ArcEndCol");
    FColumns.Comment = ProfileColumns("CmtStartCol", "CmtEndCol");
    FCriteria = ProfileText("CmtProcCriteria");
    if (const std::string failed = CommentImportColumnCheck(FColumns); !failed.empty()) {
        catalog::ErrorBox(failed);
        return;
    }
    std::unique_ptr<TImportFile> file = OpenImportFile(path);
    if (!file->Opened()) {
        catalog::ErrorBox(OpenErrorText);
        return;
    }

    DeletePointerTable();
    catalog::DefineTable(*PointerTable, ImportPointerSchema());
    PointerTable->CreateTable();
    PointerTable->Open();
    StatusPanel->SetVisible(true);
    StatusPanel->BringToFront();
    StopBtn->SetVisible(true);
    StopBtn->SetEnabled(true);
    DoneBtn->SetVisible(false);
    DoneBtn->SetEnabled(false);
    EditCmtsBtn->SetVisible(false);
    EditCmtsBtn->SetEnabled(false);
    FStop = false;
    FQueryReady = false;
    MatchesFound = CommentsUpdated = 0;
    for (TPanel* p : {LinesReadPanel, MatchesFoundPanel, CommentsUpdatedPanel}) p->SetCaption("0");

    TCommentListingParser parser(FColumns);
    int64_t index = -int64_t(ProfileInt("SkipLines"));
    std::string line;
    while (!FStop) {
        const TImportLineReader::TResult read = file->ReadLine(line);
        if (read == TImportLineReader::lrEnd) break;
        if (read == TImportLineReader::lrError) {
            file->Close();
            catalog::ErrorBox(ReadErrorText);
            parser.Drop();
            FStop = false;
            break;
        }
        if (index >= 0)
            if (auto entry = parser.Feed(line)) ApplyImportedComment(*entry);
        ++index;
        if (index > 0) LinesReadPanel->SetCaption(IntToStr(index));
        Application->ProcessMessages();
    }
    if (auto entry = parser.Finish()) ApplyImportedComment(*entry);
    PointerTable->Close();
    file->Close();
    Query->Close();
    Query->SetPrepared(false);

    if (!FStop || CommentsUpdated > 0) {
        if (CommentsUpdated > 0) {
            EditCmtsBtn->SetVisible(true);
            EditCmtsBtn->SetEnabled(true);
        } else {
            DoneBtn->SetLeft(StopBtn->Left());
        }
        DoneBtn->SetVisible(true);
        DoneBtn->SetEnabled(true);
        StopBtn->SetVisible(false);
        StopBtn->SetEnabled(false);
    } else {
        DeletePointerTable();
        StatusPanel->SetVisible(false);
    }
}

void TImportFileCommentForm::ApplyImportedComment(const TCommentImportEntry& Entry) {
    // Every value is a parameter; only the catalog's name is part of the text.
    std::string sql = "Select * From \"" + catalog::QuoteForSql(catalog::CurrentCatalogName + "_CAT") +
                      "\" Where\n(FileName = :FileName)";
    if (FColumns.VolumeLabel.Start > 0) sql += "\nand (VolumeLabel = :VolumeLabel)";
    if (FColumns.FolderName.Start > 0) sql += "\nand (FolderName = :FolderName)";
    if (FColumns.ArchiveID.Start > 0) sql += "\nand (ArchiveID = :ArchiveID)";
    Query->Close();
    if (!FQueryReady) {
        Query->SetSQL(sql);
        Query->Prepare();
        FQueryReady = true;
    }
    const auto param = [this](const char* Name, const std::string& Value) {
        if (TParam* p = Query->Params().FindParam(Name)) p->SetAsString(Value);
    };
    param("FileName", Entry.FileName);
    param("VolumeLabel", Entry.VolumeLabel);
    param("FolderName", Entry.FolderName);
    param("ArchiveID", Entry.ArchiveID);
    Query->Open();
    for (Query->First(); !Query->Eof(); Query->Next()) {
        MatchesFoundPanel->SetCaption(IntToStr(++MatchesFound));
        TField* comment = Query->FieldByName("Comment");
        const std::string old = comment->AsString();
        std::string updated;
        bool change = true;
        if (!Trim(old).empty() && FCriteria != "Overwrite Existing") {
            if (FCriteria == "Append To Existing")
                updated = old + "\r\n" + Entry.Comment;
            else
                change = false;
        } else {
            updated = Entry.Comment;
        }
        if (change) {
            Query->Edit();
            comment->SetAsString(updated);
            Query->Post();
            const int32_t tag = Query->FieldByName("Tag")->AsInteger();
            if (!PointerTable->FindKey({Variant(tag)})) {
                PointerTable->Append();
                PointerTable->FieldByName("FTag")->SetAsInteger(tag);
                PointerTable->Post();
            }
            ++CommentsUpdated;
        }
        CommentsUpdatedPanel->SetCaption(IntToStr(CommentsUpdated));
        Application->ProcessMessages();
    }
    Query->Close();
}

void TImportFileCommentForm::DoneBtnClick() {
    StopBtn->SetVisible(true);
    StopBtn->SetEnabled(true);
    DoneBtn->SetVisible(false);
    DoneBtn->SetEnabled(false);
    StatusPanel->SetVisible(false);
    DeletePointerTable();
}

void TImportFileCommentForm::EditCmtsBtnClick() {
    cataloging::TCommentEditorSpec view;
    view.FilterMode = cataloging::cefImported;
    cataloging::ShowFileCommentEditor(view);
}

void ShowImportFileCommentForm() {
    catalog::ShowModalForm<TImportFileCommentForm>();
}

}  // namespace tools
