#pragma once
// The report windows' full view of one row: a read-only box per field (a picture field for a
// number), the comment, a navigator over the rows, and Close and Help.

#include <span>
#include <vector>

#include "framework/ui/Forms.h"

namespace framework {
class TDBNavigator;
class TDataSource;
}  // namespace framework

namespace reports {

class TReportViewRecordForm : public framework::TForm {
public:
    // A captioned box: the field's name and caption, the field, and a picture mask for a number.
    struct TViewBox {
        const char* Name;
        const char* Caption;
        const char* Field;
        const char* Mask;
        int Left, Top, Width;
    };
    // Binds every box and the navigator to Source.
    void Bind(framework::TDataSource* Source);
    int HelpContext = 0;
    // Cleared when the view closes.
    bool* OpenFlag = nullptr;
    std::vector<framework::TControl*> Boxes;
    framework::TDBNavigator* Navigator = nullptr;
    void FormClose(framework::TCloseAction& Action);

protected:
    // The view "View Full Record" with the given help context, its boxes, and below them the
    // comment (its caption at CommentTop, MemoHeight high), the navigator and the buttons.
    TReportViewRecordForm(framework::TComponent* AOwner, int Help, std::span<const TViewBox> ViewBoxes,
                          int CommentTop, int MemoHeight);
};

}  // namespace reports
