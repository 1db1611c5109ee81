#pragma once
// The row of bitmap buttons along the bottom of a report window, placed left to right.

#include "framework/stdctrls/Buttons.h"
#include "framework/ui/Forms.h"

namespace reports {

class TReportButtonRow {
public:
    // Buttons Width wide and 28 high at Top on Panel, the first at Left, each Step further right.
    // A Close button closes Form; a Help button opens the help topic *HelpContext.
    TReportButtonRow(framework::TCustomForm& Form, framework::TWinControl& Panel, const int* HelpContext,
                     int Left, int Top, int Width, int Step);
    framework::TBitBtn* Add(const char* Name, framework::TBitBtnKind Kind, const char* Caption = nullptr);

private:
    framework::TCustomForm& FForm;
    framework::TWinControl& FPanel;
    const int* FHelpContext;
    int FLeft, FTop, FWidth, FStep;
};

}  // namespace reports
