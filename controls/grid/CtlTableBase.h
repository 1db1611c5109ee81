#pragma once
// What the grids and their cell components share: the enumerations, the cell-attribute record, the
// private messages between a grid and its cells, the grid-side and cell-side abstract bases, and the
// streamed list of cell references ("CellData") with its resolution against the form and the data
// modules.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/entry/CtlBase.h"
#include "controls/entry/CtlController.h"
#include "framework/core/Component.h"
#include "framework/ui/Graphics.h"

namespace grid {

enum TCtlTblAdjust : uint8_t {
    otaDefault,
    otaTopLeft,
    otaTopCenter,
    otaTopRight,
    otaCenterLeft,
    otaCenter,
    otaCenterRight,
    otaBottomLeft,
    otaBottomCenter,
    otaBottomRight
};
enum TCtlTblAccess : uint8_t { otxDefault, otxNormal, otxReadOnly, otxInvisible };
enum TCtlTblOption : uint8_t {
    otoBrowseRow,
    otoNoRowResizing,
    otoNoColResizing,
    otoTabToArrow,
    otoEnterToArrow,
    otoAlwaysEditing,
    otoNoSelection,
    otoMouseDragSelect,
    otoRowSelection,
    otoColSelection,
    otoThumbTrack,
    otoAllowColMoves,
    otoAllowRowMoves
};
// Bit n is option n.
using TCtlTblOptionSet = uint16_t;
constexpr TCtlTblOptionSet CtlTblOption(TCtlTblOption O) {
    return static_cast<TCtlTblOptionSet>(1u << O);
}

enum TCtlTblActions : uint8_t { taGeneral, taSingle, taAll, taInsert, taDelete, taExchange };
enum TCtlCellDataPurpose : uint8_t { cdpForPaint, cdpForEdit, cdpForSave };
enum TCtlTextStyle : uint8_t { tsFlat, tsRaised, tsLowered };
enum TCtlTblEditorStyle : uint8_t { tesNormal, tesBorder, tes3D };
enum TCtlTblKeyClaim : uint8_t { okcNone = 0, okcWanted = 1, okcRequired = 2 };

// A background colour that the per-cell store uses for "no colour given".
constexpr framework::TColor CtlNoCellColor = 0x02FFFFFF;

// How one cell is shown. Font is owned by the caller: values are assigned into it.
struct TCtlCellAttributes {
    TCtlTblAccess Access = otxDefault;
    TCtlTblAdjust Adjust = otaDefault;
    framework::TColor Color = 0;
    framework::TFont* Font = nullptr;
    framework::TColor FontColor = 0;
    framework::TColor FontHiColor = 0;
    TCtlTextStyle TextStyle = tsFlat;
};

// Private messages between a grid and its cell components.
constexpr uint32_t TM_QUERYOPTIONS = 0x4945;
constexpr uint32_t TM_QUERYCOLOR = 0x4946;
constexpr uint32_t TM_QUERYFONT = 0x4947;
constexpr uint32_t TM_QUERYLOCKEDCOLS = 0x4948;
constexpr uint32_t TM_QUERYLOCKEDROWS = 0x4949;
constexpr uint32_t TM_QUERYACTIVECOL = 0x494A;
constexpr uint32_t TM_QUERYACTIVEROW = 0x494B;
constexpr uint32_t TM_REMOVECELL = 0x494F;
constexpr uint32_t TM_STARTEDIT = 0x4950;
constexpr uint32_t TM_FORWARDCLICK = 0x4951;
constexpr uint32_t TM_FORWARDKEY = 0x4952;
constexpr uint32_t TM_EDITORFOCUSED = 0x4953;
constexpr uint32_t TM_EDITORUNFOCUSED = 0x4954;
constexpr uint32_t TM_RESOLVEREFS = 0x4959;

// The grid family's own exception.
class ECtlTable : public framework::Exception {
public:
    using framework::Exception::Exception;
};

// Event types of the grid family.
using TRowNotifyEvent = std::function<void(framework::TObject* Sender, int32_t RowNum)>;
using TColNotifyEvent = std::function<void(framework::TObject* Sender, int32_t ColNum)>;
using TColResizeEvent = std::function<void(framework::TObject* Sender, int32_t ColNum, int32_t NewWidth)>;
using TRowResizeEvent = std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t NewHeight)>;
using TCellNotifyEvent = std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t ColNum)>;
using TCellBeginEditNotifyEvent =
    std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t ColNum, bool& AllowIt)>;
using TCellChangeNotifyEvent =
    std::function<void(framework::TObject* Sender, int32_t& RowNum, int32_t& ColNum)>;
using TCellMoveNotifyEvent =
    std::function<void(framework::TObject* Sender, uint16_t Command, int32_t& RowNum, int32_t& ColNum)>;
using TRowChangeNotifyEvent =
    std::function<void(framework::TObject* Sender, int32_t RowNum1, int32_t RowNum2, TCtlTblActions Action)>;
using TColChangeNotifyEvent =
    std::function<void(framework::TObject* Sender, int32_t ColNum1, int32_t ColNum2, TCtlTblActions Action)>;
using TCellAttrNotifyEvent = std::function<void(framework::TObject* Sender, int32_t RowNum, int32_t ColNum,
                                                TCtlCellAttributes& CellAttr)>;

// The abstract base of every cell component.
class TCtlTableCellAncestor : public framework::TComponent {
public:
    using framework::TComponent::TComponent;

    // Called by the grid when its font, colour or state changed.
    virtual void TableChanged() = 0;
    // Called by the grid for each registered cell when the form is scaled.
    virtual void ChangeScale(int M, int D) {
        (void)M;
        (void)D;
    }
    // Calls the change notice when one is installed.
    void NotifyChanged() {
        if (FChangeNotice) FChangeNotice(this);
    }
    void SetChangeNotice(framework::TNotifyEvent Notice) { FChangeNotice = std::move(Notice); }
    bool HasChangeNotice() const { return static_cast<bool>(FChangeNotice); }

private:
    framework::TNotifyEvent FChangeNotice;
};

// A streamed reference to a component: "Owner.Name", or "Name" when the owner has no name.
std::string CtlComponentReference(const framework::TComponent* Component);

// One pending reference and what waits for it.
struct TCtlPendingReference {
    std::string Name;
    void* Object = nullptr;
};
// Resolves References against Form (its name, or its name without the last "_" suffix, or any
// name when Form's name is empty), then against the application's data modules by exact name;
// Found is called for each component found (last reference first) and the reference removed.
// References that match nothing stay in the list.
void CtlResolveReferences(framework::TComponent* Form, std::vector<TCtlPendingReference>& References,
                          const std::function<bool(framework::TComponent* Found, void* Object)>& Found);

// The abstract base of both grids: the controller link, the registered cell components and the
// streamed list of their references.
class TCtlTableAncestor : public entry::TCtl32CustomControl {
public:
    explicit TCtlTableAncestor(framework::TComponent* AOwner);
    ~TCtlTableAncestor() override;

    entry::TCtlController* Controller() const { return FController; }
    virtual void SetController(entry::TCtlController* Value);

    virtual void CellChanged(TCtlTableCellAncestor* Cell) = 0;
    virtual TCtlTblKeyClaim FilterKey(framework::TWMKey& Msg) = 0;
    virtual void ResolveCellAttributes(int32_t RowNum, int32_t ColNum, TCtlCellAttributes& CellAttr) = 0;

    void RegisterCell(TCtlTableCellAncestor* Cell);
    void UnregisterCell(TCtlTableCellAncestor* Cell);
    const std::vector<TCtlTableCellAncestor*>& Cells() const { return FCells; }
    void NotifyCellsTableChanged();
    void ResolveCellReferences();
    bool HasPendingCellReferences() const { return FPendingCells != nullptr; }
    framework::TWinControl* GetParentFormOrFrame() const;
    void ChangeScale(int M, int D);

    void DefineProperties(framework::TFiler* Filer) override;

protected:
    void CreateWnd() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    void ReadCellData(framework::TReader* Reader);
    void WriteCellData(framework::TWriter* Writer);

    entry::TCtlController* FController = nullptr;
    std::vector<TCtlTableCellAncestor*> FCells;
    std::unique_ptr<std::vector<TCtlPendingReference>> FPendingCells;
};

}  // namespace grid
