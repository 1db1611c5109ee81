#pragma once
// Parts of the tools' file-list windows (offload, cleanup and retrieve): the row of four counters,
// the panel that shows the active catalog and changes it on a click, and the busy cursor.

#include <cstdint>
#include <functional>

namespace framework {
class TComponent;
class TLabel;
class TPanel;
class TWinControl;
}  // namespace framework

namespace tools {

// "Files In List", "Bytes In List", "Tagged Files", "Tagged Bytes": sunken panels with their
// right-aligned values. The list windows derive from it, so the controls are their members.
struct TListCounters {
    framework::TPanel *FilesInListPanel = nullptr, *BytesInListPanel = nullptr, *TaggedFilesPanel = nullptr,
                      *TaggedBytesPanel = nullptr;
    framework::TLabel *FilesInListLabel = nullptr, *BytesInListLabel = nullptr, *TaggedFilesLabel = nullptr,
                      *TaggedBytesLabel = nullptr;
};

// Builds the four counters of Into on Row, each control named as its member.
void NewListCounters(framework::TComponent& Owner, framework::TPanel& Row, TListCounters& Into);

// Each counter takes a quarter of the row's width less 4 pixels.
void LayoutListCounters(const TListCounters& Counters, int RowWidth);

// Shows the four numbers as "###,###,###,###,##0".
void ShowListCounterValues(const TListCounters& Counters, int64_t FilesInList, int64_t BytesInList,
                           int64_t TaggedFiles, int64_t TaggedBytes);

// The sunken panel Panel6 with "Active Catalog (Click To Change)" above the catalog's name in bold;
// a click on the panel or either label calls Click.
struct TActiveCatalogPanel {
    framework::TPanel* Panel = nullptr;
    framework::TLabel* Caption = nullptr;
    framework::TLabel* Name = nullptr;
};
TActiveCatalogPanel NewActiveCatalogPanel(framework::TComponent& Owner, framework::TWinControl& Parent,
                                          int Left, int Top, int Width, std::function<void()> Click);

// The cursor shows the hourglass while it lives; the previous cursor comes back afterwards.
class TToolBusyCursor {
public:
    TToolBusyCursor();
    ~TToolBusyCursor();
    TToolBusyCursor(const TToolBusyCursor&) = delete;
    TToolBusyCursor& operator=(const TToolBusyCursor&) = delete;

private:
    int16_t FSaved;  // the screen cursor before
};

}  // namespace tools
