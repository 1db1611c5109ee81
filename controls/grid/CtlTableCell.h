#pragma once
// The base of the grid's cell components: the link to one grid and the count of the places of that
// grid (columns, the locked rows, single cells) that use the cell.

#include "controls/grid/CtlTableBase.h"

namespace grid {

class TCtlBaseTableCell : public TCtlTableCellAncestor {
public:
    explicit TCtlBaseTableCell(framework::TComponent* AOwner);
    ~TCtlBaseTableCell() override;

    TCtlTableAncestor* Table() const { return FTable; }
    // A different grid: the old one (when its window exists) is told that the cell leaves; the
    // cell loses its change notice and its users.
    void SetTable(TCtlTableAncestor* Value);
    int Users() const { return FUsers; }
    // The first user registers the cell with its grid.
    void AddUser();
    // The last user leaving unregisters the cell and forgets the grid.
    void ReleaseUser();

    void TableChanged() override {}

protected:
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TCtlTableAncestor* FTable = nullptr;
    int FUsers = 0;
};

}  // namespace grid
