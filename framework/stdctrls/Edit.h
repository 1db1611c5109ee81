#pragma once
// Single-line edits (and the editing that multi-line edits and combo boxes build on): selection,
// typing with case and length limits, undo, the clipboard and the EM_ messages.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace framework {

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle for controls
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TCustomControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    void SetText(const std::string& Value) override;
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int Value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char Value);
    bool Modified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }
    bool AutoSelect = true;
    bool HideSelection = true;
    TBorderStyle BorderStyle = bsSingle;

    int SelStart() const { return std::min(FAnchor, FCaret); }
    void SetSelStart(int Value);
    int SelLength() const { return std::abs(FCaret - FAnchor); }
    void SetSelLength(int Value);
    std::string SelText() const;
    void SetSelText(const std::string& Value);
    void SelectAll();
    void ClearSelection() { SetSelText(""); }
    void Clear() { SetText(""); }
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    bool CanUndo() const { return FCanUndo; }
    void Undo();

    TNotifyEvent OnChange;
    void Dispatch(TMessage& Message) override;

protected:
    virtual void Change();
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoEnter() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual bool MultiLine() const { return false; }
    // Puts text over the selection as typing does (case, length limit, undo); false when refused.
    bool InsertText(const std::string& S, bool User);
    void SetSelection(int Anchor, int Caret);
    void ReplaceText(const std::string& Value, bool User);
    // Line starts of the text (CR LF separates lines); one entry for an empty text.
    std::vector<int> LineStarts() const;
    // A row as displayed: the text [From, To) (a line break is never part of it). One row for a
    // single-line edit; a line per row in a multi-line one, or more where the text wraps.
    struct TTextRow {
        int From;
        int To;
    };
    virtual std::vector<TTextRow> TextRows();
    static int RowOf(const std::vector<TTextRow>& Rows, int Pos);
    int RowHeight();
    // Rows that fit the client area (at least one).
    int VisibleRows();
    // Moves the view so that the caret shows (multi-line edits).
    void ScrollCaretIntoView();
    int LineOf(int Pos) const;
    std::string ApplyCase(const std::string& S) const;

    int FMaxLength = 0;
    TEditCharCase FCharCase = ecNormal;
    bool FReadOnly = false;
    char FPasswordChar = 0;
    bool FModified = false;
    int FAnchor = 0, FCaret = 0;
    bool FCanUndo = false;
    std::string FUndoText;
    int FUndoCaret = 0;
    int FScrollX = 0;  // first column shown (single line)
    int FTopLine = 0;  // first line shown (multi-line)
};
class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
};

}  // namespace framework
