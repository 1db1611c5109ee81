#pragma once
// The cell kinds: text cells (with the edit-box cell's saving rules), the column heading, the shared
// glyph bitmaps and the glyph and check-box cells.

#include <memory>
#include <string>

#include "controls/grid/CtlTableCell.h"
#include "framework/core/Strings.h"
#include "framework/stdctrls/Edit.h"

namespace grid {

// DrawText flags for a cell's text: placement, word wrap, and whether the text is wider than its
// rectangle (a single centred or right-placed line then starts at the left).
uint32_t CtlCellTextFormat(TCtlTblAdjust Adjust, bool WordWrap, bool TooWide);
// Draws Text in Attr's font, colour and style inside Rect less half of Margin on every side.
void CtlDrawCellText(framework::TCanvas& Canvas, const framework::TRect& Rect, const std::string& Text,
                     const TCtlCellAttributes& Attr, bool WordWrap, int Margin);
// Column letters in bijective base 26: 1 "A", 26 "Z", 27 "AA"; empty for N <= 0.
std::string CtlColumnLetters(int32_t N);

class TCtlTCBaseString : public TCtlBaseTableCell {
public:
    using TCtlBaseTableCell::TCtlBaseTableCell;
    bool UseASCIIZStrings() const { return FUseASCIIZStrings; }
    void SetUseASCIIZStrings(bool Value);
    bool UseWordWrap() const { return FUseWordWrap; }
    void SetUseWordWrap(bool Value);
    // Draws Text in the cell's font, colour and style inside CellRect less half the margin.
    void DrawCellText(framework::TCanvas& Canvas, const framework::TRect& CellRect, const std::string& Text,
                      const TCtlCellAttributes& CellAttr);

protected:
    void Paint(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
               int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) override;

private:
    bool FUseASCIIZStrings = false;
    bool FUseWordWrap = false;
};

class TCtlTCCustomString;

// The editor window of an edit-box cell: keys the grid claims go to the grid, typing past a full
// field moves on, and focus changes are reported to the grid.
class TCtlTCStringEdit : public framework::TEdit {
public:
    TCtlTCStringEdit(framework::TComponent* AOwner, TCtlTCCustomString* Cell);
    TCtlTCCustomString* Cell() const { return FCell; }

protected:
    void WndProc(framework::TMessage& M) override;

private:
    TCtlTCCustomString* FCell;
};

class TCtlTCCustomString : public TCtlTCBaseString {
public:
    using TCtlTCBaseString::TCtlTCBaseString;
    ~TCtlTCCustomString() override;

    // ---- Editing ----
    void StartEditing(int32_t RowNum, int32_t ColNum, const framework::TRect& CellRect,
                      const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                      const TCtlCellValue* Data) override;
    // Saves (when asked and Data is given) and destroys the editor.
    void StopEditing(bool SaveValue, TCtlCellValue* Data) override;
    bool SaveEditedData(TCtlCellValue* Data) override;
    framework::TWinControl* EditControl() const override;
    framework::HWND EditHandle() const override;
    void EditHide() override;
    void EditMove(const framework::TRect& CellRect) override;
    bool EditorModified() const override;
    uint16_t MaxLength() const { return FMaxLength; }
    void SetMaxLength(uint16_t Value) { FMaxLength = Value; }
    bool AutoAdvanceChar() const { return FAutoAdvanceChar; }
    void SetAutoAdvanceChar(bool Value) { FAutoAdvanceChar = Value; }
    bool AutoAdvanceLeftRight() const { return FAutoAdvanceLeftRight; }
    void SetAutoAdvanceLeftRight(bool Value) { FAutoAdvanceLeftRight = Value; }
    // Stores an edited text into Data: cut to MaxLength (when not 0), to the owner's capacity and
    // to 255 characters. A value of another kind is refused (false, nothing written).
    bool SaveText(const std::string& Text, TCtlCellValue* Data) const;
    // Whether typing has filled the field so that the grid moves on.
    bool ShouldAutoAdvance(size_t TextLength) const {
        return FAutoAdvanceChar && FMaxLength > 0 && TextLength >= FMaxLength;
    }

    framework::TNotifyEvent OnChange;

protected:
    virtual TCtlTCStringEdit* CreateEditor();
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

private:
    TCtlTCStringEdit* FEditor = nullptr;
    uint16_t FMaxLength = 0;
    bool FAutoAdvanceChar = false;
    bool FAutoAdvanceLeftRight = false;
};

class TCtlTCString : public TCtlTCCustomString {
public:
    using TCtlTCCustomString::TCtlTCCustomString;
};

class TCtlTCColHead : public TCtlTCBaseString {
public:
    explicit TCtlTCColHead(framework::TComponent* AOwner);
    framework::TStringList& Headings() { return FHeadings; }
    void SetHeadings(framework::TStrings* Value);
    bool ShowActiveCol() const { return FShowActiveCol; }
    void SetShowActiveCol(bool Value);
    bool ShowLetters() const { return FShowLetters; }
    void SetShowLetters(bool Value);
    // Keeps the headings in step with the grid's columns.
    void ColumnsChanged(int32_t ColNum1, int32_t ColNum2, TCtlTblActions Action);
    // The text the heading shows in column ColNum (before the active-column marker).
    std::string HeadingText(int32_t ColNum, const TCtlCellValue* Data);

protected:
    void Paint(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
               int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) override;

private:
    framework::TStringList FHeadings;
    bool FShowActiveCol = false;
    bool FShowLetters = true;
};

// ---- Glyphs ----

// The shared glyph bitmaps; the default node holds the program's check-box glyphs and lives as
// long as the manager.
class TGlyphResourceManager {
public:
    struct TNode {
        std::unique_ptr<framework::TBitmap> Bitmap;
        int Users = 0;
    };
    static TGlyphResourceManager& Instance();
    TNode* DefaultNode();
    // The default node without taking a user.
    const TNode* PeekDefault() const { return FDefault; }
    TNode* AddBitmap(const framework::TBitmap& Bitmap);
    void Release(TNode* Node);
    TNode* Share(TNode* Node, TNode* Old);
    bool Contains(const TNode* Node) const;
    int NodeCount() const { return static_cast<int>(FNodes.size()); }

private:
    TGlyphResourceManager();
    std::vector<std::unique_ptr<TNode>> FNodes;
    TNode* FDefault = nullptr;
};

// Registers the check-box glyphs "CTLTCCHECKGLYPHS" (42 x 14: unchecked, checked, grayed).
void CtlRegisterCheckGlyphs();

class TCtlCellGlyphs : public framework::TPersistent {
public:
    TCtlCellGlyphs();
    ~TCtlCellGlyphs() override;
    void Assign(framework::TPersistent* Source) override;
    framework::TBitmap* BitMap() const { return FNode->Bitmap.get(); }
    void SetBitMap(const framework::TBitmap* Value);
    bool IsDefault() const;
    void SetIsDefault(bool Value);
    int GlyphCount() const { return FGlyphCount; }
    void SetGlyphCount(int Value);
    int ActiveGlyphCount() const { return FActiveGlyphCount; }
    void SetActiveGlyphCount(int Value);
    framework::TNotifyEvent OnChange;

private:
    void Recount();
    void Changed() {
        if (OnChange) OnChange(this);
    }
    TGlyphResourceManager::TNode* FNode;
    int FActiveGlyphCount = 1;
    int FGlyphCount = 1;
};

// The glyph after Index (Space, a click) and before it (Backspace), cycling through Active glyphs.
int32_t CtlNextGlyph(int32_t Index, int Active);
int32_t CtlPreviousGlyph(int32_t Index, int Active);

class TCtlTCCustomGlyph;

// The editor window of a glyph cell: Space and clicks step to the next glyph, Backspace back; the
// keys the grid claims go to the grid.
class TCtlTCGlyphEdit : public framework::TCustomControl {
public:
    TCtlTCGlyphEdit(framework::TComponent* AOwner, TCtlTCCustomGlyph* Cell);
    int32_t Index() const { return FIndex; }
    void SetIndex(int32_t Value);

    int32_t FRowNum = 0, FColNum = 0;
    TCtlCellAttributes FAttr;
    framework::TFont FFont;

protected:
    void Paint() override;
    void WndProc(framework::TMessage& M) override;

private:
    TCtlTCCustomGlyph* FCell;
    int32_t FIndex = 0;
};

class TCtlTCCustomGlyph : public TCtlBaseTableCell {
public:
    explicit TCtlTCCustomGlyph(framework::TComponent* AOwner);
    ~TCtlTCCustomGlyph() override;
    TCtlCellGlyphs& CellGlyphs() { return FGlyphs; }
    // Assigns only when AcceptGlyphs agrees.
    void SetCellGlyphs(TCtlCellGlyphs* Value);
    virtual bool AcceptGlyphs(TCtlCellGlyphs* Value);
    // The glyph index a value shows (clamped to the active glyphs); -1 for none.
    virtual int32_t GlyphIndex(int32_t RowNum, const TCtlCellValue* Data);
    // Stores an edited glyph index; refuses a value of another kind.
    virtual bool SaveIndex(int32_t Index, TCtlCellValue* Data);

    // ---- Editing ----
    void StartEditing(int32_t RowNum, int32_t ColNum, const framework::TRect& CellRect,
                      const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                      const TCtlCellValue* Data) override;
    void StopEditing(bool SaveValue, TCtlCellValue* Data) override;
    bool SaveEditedData(TCtlCellValue* Data) override;
    framework::TWinControl* EditControl() const override;
    TCtlTCGlyphEdit* GlyphEditor() const { return FEditor; }
    framework::HWND EditHandle() const override;
    void EditHide() override;
    void EditMove(const framework::TRect& CellRect) override;

protected:
    virtual TCtlTCGlyphEdit* CreateEditor();
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;
    TCtlTCGlyphEdit* FEditor = nullptr;

    void Paint(framework::TCanvas& TableCanvas, const framework::TRect& CellRect, int32_t RowNum,
               int32_t ColNum, const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) override;
    virtual void GlyphsChanged() { NotifyChanged(); }

    TCtlCellGlyphs FGlyphs;
};

class TCtlTCCustomCheckBox : public TCtlTCCustomGlyph {
public:
    explicit TCtlTCCustomCheckBox(framework::TComponent* AOwner);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool Value);
    bool AcceptGlyphs(TCtlCellGlyphs* Value) override;
    int32_t GlyphIndex(int32_t RowNum, const TCtlCellValue* Data) override;
    bool SaveIndex(int32_t Index, TCtlCellValue* Data) override;

protected:
    void GlyphsChanged() override;

private:
    bool FAllowGrayed = false;
};

class TCtlTCCheckBox : public TCtlTCCustomCheckBox {
public:
    using TCtlTCCustomCheckBox::TCtlTCCustomCheckBox;
};

}  // namespace grid
