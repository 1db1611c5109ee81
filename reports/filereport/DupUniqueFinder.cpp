#include "reports/filereport/DupUniqueFinder.h"

#include <string_view>

#include "catalog/FormParts.h"
#include "catalog/TextHelpers.h"
#include "controls/entry/CtlState.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"

namespace reports {

using namespace framework;

std::string DupUniqueKey(const std::string& FileName, bool UseVersions, bool ForUnique) {
    if (!UseVersions) return FileName;
    const size_t cut = FileName.find_last_of(":\\");
    const std::string name = cut == std::string::npos ? FileName : FileName.substr(cut + 1);
    const size_t dot = name.rfind('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const std::string_view strip =
        ForUnique ? std::string_view("0123456789.") : std::string_view("0123456789-._");
    while (base.size() > 1 && strip.find(base.back()) != std::string_view::npos) base.pop_back();
    return base + ext;
}

std::vector<std::string> DupUniqueSql(const std::string& CatalogName, bool UseFileSize) {
    return {"Select * From \"" + catalog::QuoteForSql(CatalogName + "_CAT") + "\"",
            UseFileSize ? "Order By FileName, FileSize, FolderName, ArchiveID, Tag"
                        : "Order By FileName, VolumeLabel, FolderName, ArchiveID"};
}

TGetDupUniqueFileReportSpecsForm::TGetDupUniqueFileReportSpecsForm(TComponent* AOwner) : TForm(AOwner) {
    SetName("GetDupUniqueFileReportSpecsForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetCaption("Duplicate File Report Specifications");
    SetClientSize(340, 120);
    auto check = [this](const char* Name, const char* Caption, int Top) {
        auto* c = NewComponent<TCheckBox>(this);
        c->SetName(Name);
        c->SetParent(this);
        c->SetCaption(Caption);
        c->SetBounds(16, Top, 300, 17);
        return c;
    };
    UseVersions = check("UseVersions", "Use \"Versions\" Feature", 16);
    UseFileSize = check("UseFileSize", "Use FileSize As An Additional Criteria", 40);
    BitBtn1 = catalog::NewDialogButton(*this, *this, "BitBtn1", bkOK, 16, 80);
    BitBtn2 = catalog::NewDialogButton(*this, *this, "BitBtn2", bkCancel, 124, 80);
    BitBtn3 = catalog::NewDialogButton(*this, *this, "BitBtn3", bkHelp, 232, 80);
    Store = NewComponent<entry::TCtlRegistryStore>(this);
    Store->SetName("Store");
    ComponentState = NewComponent<entry::TCtlComponentState>(this);
    ComponentState->SetName("ComponentState");
    ComponentState->SetStorage(Store);
    ComponentState->SetSection("TGetDupUniqueFileReportSpecsForm");
    ComponentState->StoredProperties().SetText("UseFileSize.Checked\nUseVersions.Checked\n");
    UseVersions->OnClick = [this](TObject*) { UseVersionsClick(); };
    OnShow = [this](TObject*) { FormShow(); };
}

void TGetDupUniqueFileReportSpecsForm::FormShow() {
    UseVersionsClick();
}

void TGetDupUniqueFileReportSpecsForm::UseVersionsClick() {
    if (UseVersions->Checked()) UseFileSize->SetChecked(false);
    UseFileSize->SetEnabled(!UseVersions->Checked());
}

}  // namespace reports
