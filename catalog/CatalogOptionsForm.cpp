#include "catalog/CatalogOptionsForm.h"

#include <exception>

#include "catalog/FormParts.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/DataSource.h"
#include "framework/data/Fields.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"

namespace catalog {

using namespace framework;

namespace {

struct TOption {
    const char* Caption;
    const char* Field;
};

constexpr TOption kCatalogingOptions[] = {
    {"Warn If Disk Exists", "WarnIfExists"},
    {"Suggest Volume Label", "SuggestVol"},
    {"Volume Label Aliases", "Aliases"},
    {"Comment Override From Disk", "CommentOverrideFromDisk"},
    {"Auto Edit Disk Comments", "AutoEditDiskComments"},
    {"Auto Edit File Comments", "AutoEditFileComments"},
    {"Selective Cataloging", "SelectiveCataloging"},
    {"TFI Selective Cataloging", "TfiSelectiveCataloging"},
    {"Selective Cataloging Autotag", "SelectiveCatAutotag"},
    {"Maintain Activity Log", "KeepActivityLog"},
};

constexpr TOption kArchiveOptions[] = {
    {"Handle ARJ Multi-Disks", "HandleArjMultiDisks"}, {"Handle SFX Archives", "DoSfxArchives"},
    {"Get Main Archive Comment", "GetMainComment"},    {"Copy Main Archive Comment", "CopyMainComment"},
    {"Handle FILE_ID.DIZ Comments", "UseDiz"},         {"Override With FILE_ID.DIZ", "DizOverride"},
};

// In the order Select All and Clear All write them.
constexpr TOption kFormats[] = {
    {"ARC", "DoARC"},   {"ARJ", "DoARJ"},  {"DWC", "DoDWC"},         {"Hyper", "DoHYP"}, {"LBR", "DoLBR"},
    {"LHArc", "DoLZH"}, {"LARC", "DoLZS"}, {"PAK", "DoPAK"},         {"RAR", "DoRAR"},   {"SQZ", "DoSQZ"},
    {"ZIP", "DoZIP"},   {"ZOO", "DoZOO"},  {"Windows CAB", "DoCAB"},
};

TGroupBox* NewGroup(TComponent& Owner, TWinControl& Parent, const char* Name, const char* Caption, int Left,
                    int Top, int Width, int Height) {
    auto* group = NewComponent<TGroupBox>(&Owner);
    group->SetName(Name);
    group->SetParent(&Parent);
    group->SetCaption(Caption);
    group->SetBounds(Left, Top, Width, Height);
    return group;
}

}  // namespace

TCatalogOptionsForm::TCatalogOptionsForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("CatalogOptionsForm");
    SetCaption("Catalog Options");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientSize(560, 452);
    Table = NewComponent<dbsql::TDbTable>(this);
    Source = NewComponent<TDataSource>(this);
    Source->SetDataSet(Table);

    CatalogPanel = NewPanel(*this, *this, "CatalogPanel", 8, 8, 544, 28, bvLowered);
    CatalogingGroup = NewGroup(*this, *this, "CatalogingGroup", "Cataloging Options", 8, 44, 268, 236);
    ArchiveGroup = NewGroup(*this, *this, "ArchiveGroup", "Archive Processing Options", 284, 44, 268, 236);
    FormatsGroup =
        NewGroup(*this, *this, "FormatsGroup", "Archive Formats To Process If Necessary", 8, 288, 544, 112);

    size_t next = 0;
    const auto box = [&](TWinControl& Parent, const TOption& Option, int Left, int Top, int Width) {
        auto* b = NewComponent<TDBCheckBox>(this);
        b->SetName(std::string(Option.Field) + "Box");
        b->SetParent(&Parent);
        b->SetCaption(Option.Caption);
        b->SetBounds(Left, Top, Width, 19);
        b->SetDataSource(Source);
        b->SetDataField(Option.Field);
        Boxes[next++] = b;
    };
    int top = 22;
    for (const TOption& o : kCatalogingOptions) {
        box(*CatalogingGroup, o, 14, top, 240);
        top += 21;
    }
    NewLabel(*this, *ArchiveGroup, "ExpandLabel", 14, 27, 110, "Expand Archives");
    ExpandArchives = NewComponent<TDBComboBox>(this);
    ExpandArchives->SetName("ExpandArchives");
    ExpandArchives->SetParent(ArchiveGroup);
    ExpandArchives->SetBounds(134, 22, 118, 23);
    ExpandArchives->SetStyle(csDropDownList);
    for (const char* choice : {"Always", "Never", "On Demand"}) ExpandArchives->Items().Add(choice);
    ExpandArchives->SetDataSource(Source);
    ExpandArchives->SetDataField("ExpandArchives");
    top = 58;
    for (const TOption& o : kArchiveOptions) {
        box(*ArchiveGroup, o, 14, top, 240);
        top += 21;
    }
    for (size_t i = 0; i < std::size(kFormats); ++i)
        box(*FormatsGroup, kFormats[i], 14 + int(i % 4) * 92, 22 + int(i / 4) * 21, 90);

    SelAllBtn = NewDialogButton(*this, *FormatsGroup, "SelAllBtn", bkCustom, 388, 22);
    SelAllBtn->SetCaption("Select &All Archive Formats");
    ClearAllBtn = NewDialogButton(*this, *FormatsGroup, "ClearAllBtn", bkCustom, 388, 62);
    ClearAllBtn->SetCaption("&Clear All Archive Formats");
    for (TBitBtn* b : {SelAllBtn, ClearAllBtn}) {
        b->SetWidth(146);
        b->OnClick = [this](TObject* Sender) { SelAllBtnClick(Sender); };
    }

    BitBtn1 = NewDialogButton(*this, *this, "BitBtn1", bkOK, 130, 410);
    BitBtn1->SetCaption("&Save Options");
    BitBtn1->SetWidth(110);
    BitBtn1->ModalResult = mrNone;
    BitBtn1->OnClick = [this](TObject*) { BitBtn1Click(); };
    CancelBtn = NewDialogButton(*this, *this, "CancelBtn", bkCancel, 250, 410);
    HelpBtn = NewDialogButton(*this, *this, "HelpBtn", bkHelp, 349, 410, &HelpContext);
}

TDBCheckBox* TCatalogOptionsForm::BoxFor(const std::string& FieldName) const {
    for (TDBCheckBox* b : Boxes)
        if (b && b->DataField() == FieldName) return b;
    return nullptr;
}

void TCatalogOptionsForm::BitBtn1Click() {
    try {
        Table->Post();
    } catch (const std::exception&) {
        MessageBeep(16);
        MessageDlg("Error Saving Options To Disk", mtError, {mbOK}, 0);
        return;
    }
    SetModalResult(mrOk);
}

void TCatalogOptionsForm::SelAllBtnClick(TObject* Sender) {
    const bool value = Sender == SelAllBtn;
    for (const TOption& o : kFormats) Table->FieldByName(o.Field)->SetAsBoolean(value);
}

}  // namespace catalog
