#include "controls/grid/CtlTableCell.h"

namespace grid {

using namespace framework;

TCtlBaseTableCell::TCtlBaseTableCell(TComponent* AOwner) : TCtlTableCellAncestor(AOwner) {}

TCtlBaseTableCell::~TCtlBaseTableCell() {
    if (FTable) FTable->UnregisterCell(this);
}

void TCtlBaseTableCell::SetTable(TCtlTableAncestor* Value) {
    if (Value == FTable) return;
    if (FTable) {
        if (FTable->HandleAllocated())
            FTable->Perform(TM_REMOVECELL, 0,
                            reinterpret_cast<LPARAM>(static_cast<TCtlTableCellAncestor*>(this)));
        FTable->RemoveFreeNotification(this);
    }
    FTable = Value;
    if (FTable) FTable->FreeNotification(this);
    SetChangeNotice(nullptr);
    FUsers = 0;
    TableChanged();
}

void TCtlBaseTableCell::AddUser() {
    if (FUsers == 0 && FTable) FTable->RegisterCell(this);
    ++FUsers;
}

void TCtlBaseTableCell::ReleaseUser() {
    if (FUsers <= 0) return;
    if (--FUsers == 0 && FTable) {
        FTable->UnregisterCell(this);
        FTable->RemoveFreeNotification(this);
        FTable = nullptr;
        SetChangeNotice(nullptr);
    }
}

void TCtlBaseTableCell::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTableCellAncestor::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FTable) {
        FTable = nullptr;
        SetChangeNotice(nullptr);
    }
}

}  // namespace grid
