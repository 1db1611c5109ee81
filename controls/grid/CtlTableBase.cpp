#include "controls/grid/CtlTableBase.h"

#include <algorithm>

#include "framework/core/Filer.h"
#include "framework/ui/DataModule.h"
#include "framework/ui/Forms.h"

namespace grid {

using namespace framework;

std::string CtlComponentReference(const TComponent* Component) {
    const TComponent* Owner = Component->Owner();
    if (!Owner || Owner->Name().empty()) return Component->Name();
    return Owner->Name() + "." + Component->Name();
}

namespace {
void SplitReference(const std::string& Reference, const std::string& DefaultOwner, std::string& OwnerPart,
                    std::string& NamePart) {
    auto Dot = Reference.find('.');
    if (Dot == std::string::npos) {
        OwnerPart = DefaultOwner;
        NamePart = Reference;
    } else {
        OwnerPart = Reference.substr(0, Dot);
        NamePart = Reference.substr(Dot + 1);
    }
}

bool OwnerMatchesForm(const std::string& OwnerPart, const std::string& FormName) {
    if (FormName.empty() || OwnerPart == FormName) return true;
    auto Underscore = FormName.rfind('_');
    return Underscore != std::string::npos && OwnerPart == FormName.substr(0, Underscore);
}
}  // namespace

void CtlResolveReferences(TComponent* Form, std::vector<TCtlPendingReference>& References,
                          const std::function<bool(TComponent* Found, void* Object)>& Found) {
    std::string OwnerPart, NamePart;
    const std::string FormName = Form ? Form->Name() : std::string();
    if (Form) {
        for (size_t I = References.size(); I-- > 0;) {
            SplitReference(References[I].Name, FormName, OwnerPart, NamePart);
            if (!OwnerMatchesForm(OwnerPart, FormName)) continue;
            TComponent* Component = Form->FindComponent(NamePart);
            if (Component && Found(Component, References[I].Object))
                References.erase(References.begin() + static_cast<std::ptrdiff_t>(I));
        }
    }
    if (!Screen) return;
    for (int M = 0; M < Screen->DataModuleCount() && !References.empty(); ++M) {
        TDataModule* Module = Screen->DataModules(M);
        for (size_t I = References.size(); I-- > 0;) {
            SplitReference(References[I].Name, FormName, OwnerPart, NamePart);
            if (OwnerPart != Module->Name()) continue;
            TComponent* Component = Module->FindComponent(NamePart);
            if (Component && Found(Component, References[I].Object))
                References.erase(References.begin() + static_cast<std::ptrdiff_t>(I));
        }
    }
}

// ---- TCtlTableAncestor ----

TCtlTableAncestor::TCtlTableAncestor(TComponent* AOwner) : TCtl32CustomControl(AOwner) {}

TCtlTableAncestor::~TCtlTableAncestor() = default;

void TCtlTableAncestor::SetController(entry::TCtlController* Value) {
    FController = Value;
    if (Value) Value->FreeNotification(this);
}

void TCtlTableAncestor::RegisterCell(TCtlTableCellAncestor* Cell) {
    if (!Cell) return;
    if (std::find(FCells.begin(), FCells.end(), Cell) == FCells.end()) FCells.push_back(Cell);
    Cell->SetChangeNotice(
        [this](TObject* Sender) { CellChanged(static_cast<TCtlTableCellAncestor*>(Sender)); });
}

void TCtlTableAncestor::UnregisterCell(TCtlTableCellAncestor* Cell) {
    std::erase(FCells, Cell);
}

void TCtlTableAncestor::NotifyCellsTableChanged() {
    for (TCtlTableCellAncestor* Cell : std::vector<TCtlTableCellAncestor*>(FCells)) Cell->TableChanged();
}

void TCtlTableAncestor::ResolveCellReferences() {
    if (!FPendingCells) return;
    auto Pending = std::move(FPendingCells);  // freed on every way out
    CtlResolveReferences(GetParentFormOrFrame(), *Pending, [this](TComponent* Found, void*) {
        auto* Cell = dynamic_cast<TCtlTableCellAncestor*>(Found);
        if (!Cell) return false;
        RegisterCell(Cell);
        return true;
    });
}

TWinControl* TCtlTableAncestor::GetParentFormOrFrame() const {
    for (TWinControl* P = Parent(); P; P = P->Parent())
        if (dynamic_cast<TCustomForm*>(P) || dynamic_cast<TCustomFrame*>(P)) return P;
    return nullptr;
}

void TCtlTableAncestor::ChangeScale(int M, int D) {
    if (M == D) return;
    for (TCtlTableCellAncestor* Cell : FCells) Cell->ChangeScale(M, D);
}

void TCtlTableAncestor::CreateWnd() {
    const bool Loading = ComponentState() & csLoading;
    TComponent* Form = GetParentFormOrFrame();
    if ((ComponentState() & csDesigning) && !Loading && !FController) {
        entry::TCtlController* Found = nullptr;
        entry::CtlResolveController(Form, Found);
        if (Found) SetController(Found);
    }
    if (!FController && !Loading) {
        entry::TCtlController* Found = entry::CtlFindController(Form);
        if (!Found && !(ComponentState() & csDesigning)) Found = entry::CtlGetDefaultController();
        if (Found) SetController(Found);
    }
    TCtl32CustomControl::CreateWnd();
}

void TCtlTableAncestor::Notification(TComponent* AComponent, TOperation Operation) {
    TCtl32CustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove) {
        if (AComponent == FController) FController = nullptr;
        if (auto* Cell = dynamic_cast<TCtlTableCellAncestor*>(AComponent)) UnregisterCell(Cell);
    } else if (!FController) {
        if (auto* Controller = dynamic_cast<entry::TCtlController*>(AComponent)) SetController(Controller);
    }
}

void TCtlTableAncestor::DefineProperties(TFiler* Filer) {
    TCtl32CustomControl::DefineProperties(Filer);
    Filer->DefineProperty(
        "CellData", [this](TReader* R) { ReadCellData(R); }, [this](TWriter* W) { WriteCellData(W); }, true);
}

void TCtlTableAncestor::ReadCellData(TReader* Reader) {
    FPendingCells = std::make_unique<std::vector<TCtlPendingReference>>();
    Reader->ReadListBegin();
    while (!Reader->EndOfList()) FPendingCells->push_back({Reader->ReadString(), nullptr});
    Reader->ReadListEnd();
}

void TCtlTableAncestor::WriteCellData(TWriter* Writer) {
    Writer->WriteListBegin();
    for (TCtlTableCellAncestor* Cell : FCells) Writer->WriteString(CtlComponentReference(Cell));
    Writer->WriteListEnd();
}

}  // namespace grid
