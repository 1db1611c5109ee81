#include "controls/grid/CtlTableCells.h"

#include <algorithm>
#include <cassert>
#include <mutex>

#include "framework/core/SysUtils.h"
#include "framework/graphics/Gdi.h"
#include "framework/ui/Resources.h"

namespace grid {

using namespace framework;

namespace {
// Frees an open editor window; the pointer is cleared first so that the removal notice finds none.
template <class TEditor>
void FreeEditor(TEditor*& Editor) {
    if (!Editor) return;
    TEditor* Doomed = Editor;
    Editor = nullptr;
    Doomed->Free();
}

bool IsLeft(TCtlTblAdjust A) {
    return A == otaTopLeft || A == otaCenterLeft || A == otaBottomLeft;
}
bool IsRight(TCtlTblAdjust A) {
    return A == otaTopRight || A == otaCenterRight || A == otaBottomRight;
}
bool IsTop(TCtlTblAdjust A) {
    return A == otaTopLeft || A == otaTopCenter || A == otaTopRight;
}
bool IsBottom(TCtlTblAdjust A) {
    return A == otaBottomLeft || A == otaBottomCenter || A == otaBottomRight;
}
constexpr int MaxShortString = 255;
}  // namespace

uint32_t CtlCellTextFormat(TCtlTblAdjust Adjust, bool WordWrap, bool TooWide) {
    auto Horizontal = [](TCtlTblAdjust A) -> uint32_t {
        return IsLeft(A) ? DT_LEFT : IsRight(A) ? DT_RIGHT : DT_CENTER;
    };
    if (WordWrap) return DT_WORDBREAK | DT_NOPREFIX | Horizontal(Adjust);
    uint32_t Flags = DT_SINGLELINE | DT_NOPREFIX;
    Flags |= TooWide ? DT_LEFT : Horizontal(Adjust);
    if (IsBottom(Adjust))
        Flags |= DT_BOTTOM;
    else if (!IsTop(Adjust))
        Flags |= DT_VCENTER;
    return Flags;
}

std::string CtlColumnLetters(int32_t N) {
    std::string Letters;
    while (N > 0) {
        --N;
        Letters.insert(Letters.begin(), static_cast<char>('A' + N % 26));
        N /= 26;
    }
    return Letters;
}

// ---- Text cells ----

void TCtlTCBaseString::SetUseASCIIZStrings(bool Value) {
    if (Value == FUseASCIIZStrings) return;
    FUseASCIIZStrings = Value;
    NotifyChanged();
}

void TCtlTCBaseString::SetUseWordWrap(bool Value) {
    if (Value == FUseWordWrap) return;
    FUseWordWrap = Value;
    NotifyChanged();
}

void CtlDrawCellText(TCanvas& Canvas, const TRect& CellRect, const std::string& Text,
                     const TCtlCellAttributes& CellAttr, bool WordWrap, int Margin) {
    if (CellAttr.Font) Canvas.Font.Assign(*CellAttr.Font);
    Canvas.Font.Color = CellAttr.FontColor;
    const int Half = Margin / 2;
    TRect R = Rect(CellRect.Left + Half, CellRect.Top + Half, CellRect.Right - Half, CellRect.Bottom - Half);
    const bool TooWide = !WordWrap && Canvas.TextWidth(Text) > R.Width();
    const uint32_t Flags = CtlCellTextFormat(CellAttr.Adjust, WordWrap, TooWide);
    auto Draw = [&](int Dx, int Dy, TColor Color) {
        TRect At = Rect(R.Left + Dx, R.Top + Dy, R.Right + Dx, R.Bottom + Dy);
        Canvas.Font.Color = Color;
        DrawText(Canvas.Handle(), Text, At, Flags);
    };
    Canvas.Brush.Style = bsClear;
    if (CellAttr.TextStyle == tsRaised) Draw(-1, -1, CellAttr.FontHiColor);
    if (CellAttr.TextStyle == tsLowered) Draw(1, 1, CellAttr.FontHiColor);
    Draw(0, 0, CellAttr.FontColor);
    Canvas.Brush.Style = bsSolid;
}

void TCtlTCBaseString::DrawCellText(TCanvas& Canvas, const TRect& CellRect, const std::string& Text,
                                    const TCtlCellAttributes& CellAttr) {
    CtlDrawCellText(Canvas, CellRect, Text, CellAttr, FUseWordWrap, Margin());
}

void TCtlTCBaseString::Paint(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum, int32_t ColNum,
                             const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) {
    TCtlBaseTableCell::Paint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
    if (CellAttr.Access == otxInvisible) return;
    std::string Text;
    if (Data && Data->Kind == TCtlCellValue::cvString)
        Text = Data->Text.substr(0, MaxShortString);
    else if (!Data && Designing())
        Text = std::to_string(RowNum) + ":" + std::to_string(ColNum);
    else
        return;
    if (!Text.empty()) DrawCellText(TableCanvas, CellRect, Text, CellAttr);
}

bool TCtlTCCustomString::SaveText(const std::string& Text, TCtlCellValue* Data) const {
    if (!Data) return false;
    if (Data->Kind != TCtlCellValue::cvString && Data->Kind != TCtlCellValue::cvNone) {
        assert(!"string cell given a value of another kind");
        return false;
    }
    size_t Limit = MaxShortString;
    if (FMaxLength > 0) Limit = std::min<size_t>(Limit, FMaxLength);
    if (Data->Capacity > 0) Limit = std::min<size_t>(Limit, static_cast<size_t>(Data->Capacity));
    Data->Kind = TCtlCellValue::cvString;
    Data->Text = Text.substr(0, Limit);
    return true;
}

// ---- The edit-box cell's editor ----

TCtlTCStringEdit::TCtlTCStringEdit(TComponent* AOwner, TCtlTCCustomString* Cell)
    : TEdit(AOwner), FCell(Cell) {}

void TCtlTCStringEdit::WndProc(TMessage& M) {
    switch (M.Msg) {
        case WM_CHAR: {
            const auto Char = M.WParamLo();
            if (Char != '\t' && Char != '\r' && Char != 27) TEdit::WndProc(M);
            if (FCell->ShouldAutoAdvance(Text().size())) FCell->ForwardKey(VK_RIGHT, 0);
            return;
        }
        case WM_GETDLGCODE:
            TEdit::WndProc(M);
            if (FCell->TableTabToArrow()) M.Result |= DLGC_WANTTAB;
            if (FCell->TableEnterToArrow()) M.Result |= DLGC_WANTALLKEYS;
            return;
        case WM_KEYDOWN: {
            TWMKey Key{M};
            const uint16_t Code = Key.CharCode();
            bool Forward = false;
            auto Claim = FCell->FilterTableKey(Key);
            switch (Claim) {
                case okcRequired:
                    Forward = true;
                    break;
                case okcWanted: {
                    const int Len = static_cast<int>(Text().size());
                    if (Code == VK_PRIOR || Code == VK_NEXT || Code == VK_UP || Code == VK_DOWN)
                        Forward = true;
                    else if (Code == VK_LEFT)
                        Forward = FCell->AutoAdvanceLeftRight() && SelLength() == 0 && SelStart() == 0;
                    else if (Code == VK_RIGHT)
                        Forward = FCell->AutoAdvanceLeftRight() && SelStart() + SelLength() == Len &&
                                  (SelLength() == 0 || SelStart() == 0);
                    break;
                }
                case okcNone:
                    break;
            }
            if (Forward)
                FCell->ForwardKey(Code, M.LParam);
            else
                TEdit::WndProc(M);
            return;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TEdit::WndProc(M);
            FCell->ReportEditorFocus(M);
            return;
        default:
            TEdit::WndProc(M);
    }
}

TCtlTCCustomString::~TCtlTCCustomString() {
    FreeEditor(FEditor);
}

TCtlTCStringEdit* TCtlTCCustomString::CreateEditor() {
    return NewComponent<TCtlTCStringEdit>(Table(), this);
}

void TCtlTCCustomString::StartEditing(int32_t, int32_t, const TRect& CellRect,
                                      const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                                      const TCtlCellValue* Data) {
    if (!Table()) return;
    FreeEditor(FEditor);
    FEditor = CreateEditor();
    FEditor->SetText(Data && Data->Kind == TCtlCellValue::cvString ? Data->Text : std::string());
    FEditor->SetModified(false);
    FEditor->SetColor(CellAttr.Color);
    if (CellAttr.Font) FEditor->Font().Assign(*CellAttr.Font);
    FEditor->Font().Color = CellAttr.FontColor;
    FEditor->SetMaxLength(FMaxLength);
    FEditor->BorderStyle = CellStyle == tesBorder ? bsSingle : bsNone;
    FEditor->SetCtl3D(CellStyle == tes3D);
    FEditor->OnChange = OnChange;
    PlaceEditor(*FEditor, CellRect);
}

bool TCtlTCCustomString::SaveEditedData(TCtlCellValue* Data) {
    return FEditor && SaveText(FEditor->Text(), Data);
}

void TCtlTCCustomString::StopEditing(bool SaveValue, TCtlCellValue* Data) {
    if (SaveValue && Data) SaveEditedData(Data);
    FreeEditor(FEditor);
}

void TCtlTCCustomString::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlTCBaseString::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FEditor) FEditor = nullptr;
}

TWinControl* TCtlTCCustomString::EditControl() const {
    return FEditor;
}
HWND TCtlTCCustomString::EditHandle() const {
    return FEditor && FEditor->HandleAllocated() ? FEditor->Handle() : 0;
}
void TCtlTCCustomString::EditHide() {
    if (FEditor) FEditor->Hide();
}
void TCtlTCCustomString::EditMove(const TRect& CellRect) {
    if (!FEditor) return;
    FEditor->SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
    FEditor->Show();
    FEditor->Repaint();
}
bool TCtlTCCustomString::EditorModified() const {
    return FEditor && FEditor->Modified();
}

// ---- Column heading ----

TCtlTCColHead::TCtlTCColHead(TComponent* AOwner) : TCtlTCBaseString(AOwner) {
    SetAccess(otxReadOnly);
    SetUseASCIIZStrings(false);
}

void TCtlTCColHead::SetHeadings(TStrings* Value) {
    FHeadings.Assign(Value);
    NotifyChanged();
}

void TCtlTCColHead::SetShowActiveCol(bool Value) {
    FShowActiveCol = Value;
    NotifyChanged();
}

void TCtlTCColHead::SetShowLetters(bool Value) {
    FShowLetters = Value;
    NotifyChanged();
}

void TCtlTCColHead::ColumnsChanged(int32_t ColNum1, int32_t ColNum2, TCtlTblActions Action) {
    const int32_t Count = FHeadings.Count();
    switch (Action) {
        case taInsert:
            if (ColNum1 >= 0 && ColNum1 < Count)
                FHeadings.Insert(ColNum1, "");
            else if (ColNum1 == Count)
                FHeadings.Add("");
            break;
        case taDelete:
            if (ColNum1 >= 0 && ColNum1 < Count) FHeadings.Delete(ColNum1);
            break;
        case taExchange: {
            if (Count == 0) break;
            const int32_t High = std::max(ColNum1, ColNum2);
            while (FHeadings.Count() <= High) FHeadings.Add("");
            if (ColNum1 >= 0 && ColNum2 >= 0) FHeadings.Exchange(ColNum1, ColNum2);
            break;
        }
        default:
            break;
    }
}

std::string TCtlTCColHead::HeadingText(int32_t ColNum, const TCtlCellValue* Data) {
    if (FShowLetters) return CtlColumnLetters(ColNum - TableLockedCols() + 1);
    if (Data && Data->Kind == TCtlCellValue::cvString) return Data->Text.substr(0, MaxShortString);
    if (ColNum >= 0 && ColNum < FHeadings.Count()) return FHeadings.Strings(ColNum);
    return {};
}

void TCtlTCColHead::Paint(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum, int32_t ColNum,
                          const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) {
    TCtlCellAttributes Attr = CellAttr;
    if (!TableColor()) Attr.Color = Color();
    if (!TableFont()) {
        Attr.Font = &Font();
        Attr.FontColor = Font().Color;
    }
    const int32_t Active = Table() && Table()->HandleAllocated() ? TableActiveCol() : -1;
    if (FShowActiveCol && ColNum == Active) {
        TCtlBaseTableCell::Paint(TableCanvas, CellRect, RowNum, ColNum, Attr, Data);
        const int W = CellRect.Width(), H = CellRect.Height();
        const int S = std::min(W, H) / 3;
        const int X = IsLeft(Attr.Adjust) ? Margin() : IsRight(Attr.Adjust) ? W - Margin() - S : (W - S) / 2;
        const int Y = IsTop(Attr.Adjust) ? Margin() : IsBottom(Attr.Adjust) ? H - Margin() - S : (H - S) / 2;
        const int L = CellRect.Left + X, T = CellRect.Top + Y;
        TableCanvas.Brush.Color = Attr.FontColor;
        TableCanvas.Pen.Color = Attr.FontColor;
        TableCanvas.Polygon({{L, T}, {L + S, T}, {L + S / 2, T + S}});
        return;
    }
    const TCtlCellValue Text = TCtlCellValue::String(HeadingText(ColNum, Data));
    TCtlTCBaseString::Paint(TableCanvas, CellRect, RowNum, ColNum, Attr, &Text);
}

// ---- Glyph resources ----

namespace {
constexpr const char* CheckGlyphsResource = "CTLTCCHECKGLYPHS";
constexpr int CheckGlyph = 14;
}  // namespace

void CtlRegisterCheckGlyphs() {
    static std::once_flag Once;
    std::call_once(Once, [] {
        RegisterBitmapResource(CheckGlyphsResource, [](TBitmap& B) {
            B.SetPixelFormat(pf4bit);
            B.SetSize(3 * CheckGlyph, CheckGlyph);
            TCanvas& C = B.Canvas();
            C.Brush.Color = clWhite;
            C.FillRect(Rect(0, 0, 3 * CheckGlyph, CheckGlyph));
            for (int G = 0; G < 3; ++G) {
                const int X = G * CheckGlyph;
                C.Brush.Color = G == 2 ? clSilver : clWhite;
                C.FillRect(Rect(X + 1, 1, X + 13, 13));
                C.Brush.Color = clBlack;
                C.FrameRect(Rect(X + 1, 1, X + 13, 13));
                if (G == 0) continue;
                C.Pen.Color = G == 2 ? clGray : clBlack;
                for (int D = 0; D < 2; ++D) {  // a two-pixel tick
                    C.MoveTo(X + 4, 6 + D);
                    C.LineTo(X + 6, 8 + D);
                    C.LineTo(X + 11, 3 + D);
                }
            }
        });
    });
}

TGlyphResourceManager& TGlyphResourceManager::Instance() {
    static TGlyphResourceManager Manager;
    return Manager;
}

TGlyphResourceManager::TGlyphResourceManager() {
    CtlRegisterCheckGlyphs();
    auto Node = std::make_unique<TNode>();
    Node->Bitmap = std::make_unique<TBitmap>();
    LoadBitmapResource(*Node->Bitmap, CheckGlyphsResource);
    Node->Users = 1;  // held by the manager
    FDefault = Node.get();
    FNodes.push_back(std::move(Node));
}

TGlyphResourceManager::TNode* TGlyphResourceManager::DefaultNode() {
    ++FDefault->Users;
    return FDefault;
}

TGlyphResourceManager::TNode* TGlyphResourceManager::AddBitmap(const TBitmap& Bitmap) {
    auto Node = std::make_unique<TNode>();
    Node->Bitmap = std::make_unique<TBitmap>();
    Node->Bitmap->Assign(Bitmap);
    Node->Users = 1;
    FNodes.insert(FNodes.begin(), std::move(Node));
    return FNodes.front().get();
}

bool TGlyphResourceManager::Contains(const TNode* Node) const {
    return std::any_of(FNodes.begin(), FNodes.end(), [Node](const auto& N) { return N.get() == Node; });
}

void TGlyphResourceManager::Release(TNode* Node) {
    if (!Contains(Node)) return;
    if (--Node->Users <= 0) std::erase_if(FNodes, [Node](const auto& N) { return N.get() == Node; });
}

TGlyphResourceManager::TNode* TGlyphResourceManager::Share(TNode* Node, TNode* Old) {
    Release(Old);
    if (!Contains(Node)) return DefaultNode();
    ++Node->Users;
    return Node;
}

TCtlCellGlyphs::TCtlCellGlyphs() : FNode(TGlyphResourceManager::Instance().DefaultNode()) {
    Recount();
}

TCtlCellGlyphs::~TCtlCellGlyphs() {
    TGlyphResourceManager::Instance().Release(FNode);
}

void TCtlCellGlyphs::Recount() {
    FGlyphCount = FActiveGlyphCount = 1;
    const TBitmap* B = FNode->Bitmap.get();
    if (B->Height() >= 1 && B->Width() % B->Height() == 0 && B->Width() > 0)
        FGlyphCount = FActiveGlyphCount = B->Width() / B->Height();
}

void TCtlCellGlyphs::Assign(TPersistent* Source) {
    auto& Manager = TGlyphResourceManager::Instance();
    if (!Source) {
        if (!IsDefault()) FNode = Manager.Share(nullptr, FNode);
    } else if (auto* Other = dynamic_cast<TCtlCellGlyphs*>(Source)) {
        if (Other->FNode != FNode) FNode = Manager.Share(Other->FNode, FNode);
    } else {
        TPersistent::Assign(Source);
        return;
    }
    Recount();
    Changed();
}

void TCtlCellGlyphs::SetBitMap(const TBitmap* Value) {
    auto& Manager = TGlyphResourceManager::Instance();
    TGlyphResourceManager::TNode* Old = FNode;
    FNode = Value ? Manager.AddBitmap(*Value) : Manager.DefaultNode();
    Manager.Release(Old);
    Recount();
    Changed();
}

bool TCtlCellGlyphs::IsDefault() const {
    return FNode == TGlyphResourceManager::Instance().PeekDefault();
}

void TCtlCellGlyphs::SetIsDefault(bool Value) {
    if (Value) {
        Assign(nullptr);
    } else {
        TBitmap Copy;
        Copy.Assign(*FNode->Bitmap);
        SetBitMap(&Copy);
    }
}

void TCtlCellGlyphs::SetGlyphCount(int Value) {
    if (Value == FGlyphCount) return;
    FGlyphCount = FActiveGlyphCount = Value;
    Changed();
}

void TCtlCellGlyphs::SetActiveGlyphCount(int Value) {
    if (Value == FActiveGlyphCount || Value <= 0 || Value > FGlyphCount) return;
    FActiveGlyphCount = Value;
    Changed();
}

int32_t CtlNextGlyph(int32_t Index, int Active) {
    return Index + 1 >= Active ? 0 : Index + 1;
}
int32_t CtlPreviousGlyph(int32_t Index, int Active) {
    return Index <= 0 ? std::max(Active - 1, 0) : Index - 1;
}

// ---- Glyph and check-box cells ----

TCtlTCCustomGlyph::TCtlTCCustomGlyph(TComponent* AOwner) : TCtlBaseTableCell(AOwner) {
    SetAcceptActivationClick(true);
    FGlyphs.OnChange = [this](TObject*) { GlyphsChanged(); };
}

void TCtlTCCustomGlyph::SetCellGlyphs(TCtlCellGlyphs* Value) {
    if (AcceptGlyphs(Value)) FGlyphs.Assign(Value);
}

bool TCtlTCCustomGlyph::AcceptGlyphs(TCtlCellGlyphs*) {
    return true;
}

int32_t TCtlTCCustomGlyph::GlyphIndex(int32_t RowNum, const TCtlCellValue* Data) {
    const int Active = FGlyphs.ActiveGlyphCount();
    int32_t Index = -1;
    if (Data && Data->Kind == TCtlCellValue::cvGlyph)
        Index = Data->Index;
    else if (!Data && Designing() && Active > 0)
        Index = RowNum % Active;
    if (Index >= Active) Index = Active - 1;
    return Index;
}

bool TCtlTCCustomGlyph::SaveIndex(int32_t Index, TCtlCellValue* Data) {
    if (!Data) return false;
    if (Data->Kind != TCtlCellValue::cvGlyph && Data->Kind != TCtlCellValue::cvNone) {
        assert(!"glyph cell given a value of another kind");
        return false;
    }
    *Data = TCtlCellValue::Glyph(Index);
    return true;
}

void TCtlTCCustomGlyph::Paint(TCanvas& TableCanvas, const TRect& CellRect, int32_t RowNum, int32_t ColNum,
                              const TCtlCellAttributes& CellAttr, const TCtlCellValue* Data) {
    TCtlBaseTableCell::Paint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
    int32_t Index = GlyphIndex(RowNum, Data);
    TBitmap* Bitmap = FGlyphs.BitMap();
    if (Index < 0 || CellAttr.Access == otxInvisible || !Bitmap || Bitmap->Empty()) return;
    int GlyphW = Bitmap->Width();
    const int Count = FGlyphs.GlyphCount();
    if (Count > 1) {
        GlyphW = Bitmap->Width() / Count;
        if (Index >= Count) Index = 0;
    } else {
        Index = 0;
    }
    const int GlyphH = Bitmap->Height();
    // The margin keeps a glyph placed against an edge away from it; a centred glyph is cut only by
    // the cell itself (a 14-pixel box in a 20-pixel cell keeps its bottom edge).
    const TCtlTblAdjust A = CellAttr.Adjust;
    const bool Centred = !IsLeft(A) && !IsRight(A), Middle = !IsTop(A) && !IsBottom(A);
    const int W = std::min(GlyphW, CellRect.Width() - (Centred ? 0 : 2 * Margin()));
    const int H = std::min(GlyphH, CellRect.Height() - (Middle ? 0 : 2 * Margin()));
    if (W <= 0 || H <= 0) return;
    const TRect Source = Bounds(GlyphW * Index, 0, W, H);
    const TColor Transparent = Bitmap->Canvas().Pixel(Source.Left, GlyphH - 1);
    const int X = IsLeft(A)    ? CellRect.Left + Margin()
                  : IsRight(A) ? CellRect.Right - Margin() - W
                               : CellRect.Left + (CellRect.Width() - W) / 2;
    const int Y = IsTop(A)      ? CellRect.Top + Margin()
                  : IsBottom(A) ? CellRect.Bottom - Margin() - H
                                : CellRect.Top + (CellRect.Height() - H) / 2;
    TableCanvas.Brush.Color = CellAttr.Color;
    TableCanvas.BrushCopy(Bounds(X, Y, W, H), Bitmap, Source, Transparent);
}

// ---- Glyph editing ----

TCtlTCGlyphEdit::TCtlTCGlyphEdit(TComponent* AOwner, TCtlTCCustomGlyph* Cell)
    : TCustomControl(AOwner), FCell(Cell) {
    ControlStyle &= ~csDoubleClicks;
    FAttr.Font = &FFont;
}

void TCtlTCGlyphEdit::SetIndex(int32_t Value) {
    const int Active = FCell->CellGlyphs().ActiveGlyphCount();
    Value = std::clamp(Value, 0, std::max(Active - 1, 0));
    if (Value == FIndex) return;
    FIndex = Value;
    if (HandleAllocated()) Repaint();
}

void TCtlTCGlyphEdit::Paint() {
    const TCtlCellValue Value = TCtlCellValue::Glyph(FIndex);
    FCell->PaintCell(Canvas(), ClientRect(), FRowNum, FColNum, FAttr, &Value);
}

void TCtlTCGlyphEdit::WndProc(TMessage& M) {
    const int Active = FCell->CellGlyphs().ActiveGlyphCount();
    switch (M.Msg) {
        case WM_GETDLGCODE:
            M.Result = DLGC_WANTARROWS;
            if (FCell->TableTabToArrow()) M.Result |= DLGC_WANTTAB;
            if (FCell->TableEnterToArrow()) M.Result |= DLGC_WANTALLKEYS;
            return;
        case WM_KEYDOWN: {
            TWMKey Key{M};
            const uint16_t Code = Key.CharCode();
            const TCtlTblKeyClaim Claim = FCell->FilterTableKey(Key);
            if (Claim == okcRequired || (Claim == okcWanted && Code != VK_SPACE)) {
                FCell->ForwardKey(Code, M.LParam);
                return;
            }
            TCustomControl::WndProc(M);
            if (Code == VK_SPACE) SetIndex(CtlNextGlyph(FIndex, Active));
            if (Code == VK_BACK) SetIndex(CtlPreviousGlyph(FIndex, Active));
            return;
        }
        case WM_LBUTTONDOWN:
            SetIndex(CtlNextGlyph(FIndex, Active));
            TCustomControl::WndProc(M);
            return;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            TCustomControl::WndProc(M);
            FCell->ReportEditorFocus(M);
            return;
        default:
            TCustomControl::WndProc(M);
    }
}

TCtlTCCustomGlyph::~TCtlTCCustomGlyph() {
    FreeEditor(FEditor);
}

TCtlTCGlyphEdit* TCtlTCCustomGlyph::CreateEditor() {
    return NewComponent<TCtlTCGlyphEdit>(Table(), this);
}

void TCtlTCCustomGlyph::StartEditing(int32_t RowNum, int32_t ColNum, const TRect& CellRect,
                                     const TCtlCellAttributes& CellAttr, TCtlTblEditorStyle CellStyle,
                                     const TCtlCellValue* Data) {
    if (!Table()) return;
    FreeEditor(FEditor);
    FEditor = CreateEditor();
    const int32_t Start = GlyphIndex(RowNum, Data);
    FEditor->SetIndex(Data ? std::max(Start, 0) : 0);
    FEditor->FRowNum = RowNum;
    FEditor->FColNum = ColNum;
    FEditor->FAttr = CellAttr;
    if (CellAttr.Font) FEditor->FFont.Assign(*CellAttr.Font);
    FEditor->FAttr.Font = &FEditor->FFont;
    FEditor->SetColor(CellAttr.Color);
    FEditor->SetCtl3D(CellStyle == tes3D);
    PlaceEditor(*FEditor, CellRect);
    FEditor->Show();
}

bool TCtlTCCustomGlyph::SaveEditedData(TCtlCellValue* Data) {
    return FEditor && SaveIndex(FEditor->Index(), Data);
}

void TCtlTCCustomGlyph::StopEditing(bool SaveValue, TCtlCellValue* Data) {
    if (SaveValue && Data) SaveEditedData(Data);
    FreeEditor(FEditor);
}

TWinControl* TCtlTCCustomGlyph::EditControl() const {
    return FEditor;
}
HWND TCtlTCCustomGlyph::EditHandle() const {
    return FEditor && FEditor->HandleAllocated() ? FEditor->Handle() : 0;
}
void TCtlTCCustomGlyph::EditHide() {
    if (FEditor) FEditor->Hide();
}
void TCtlTCCustomGlyph::EditMove(const TRect& CellRect) {
    if (!FEditor) return;
    FEditor->SetBounds(CellRect.Left, CellRect.Top, CellRect.Width(), CellRect.Height());
    FEditor->Show();
    FEditor->Repaint();
}

void TCtlTCCustomGlyph::Notification(TComponent* AComponent, TOperation Operation) {
    TCtlBaseTableCell::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FEditor) FEditor = nullptr;
}

TCtlTCCustomCheckBox::TCtlTCCustomCheckBox(TComponent* AOwner) : TCtlTCCustomGlyph(AOwner) {
    if (FGlyphs.ActiveGlyphCount() == 3) FGlyphs.SetActiveGlyphCount(2);
}

void TCtlTCCustomCheckBox::SetAllowGrayed(bool Value) {
    if (Value == FAllowGrayed) return;
    FAllowGrayed = Value;
    FGlyphs.SetActiveGlyphCount(Value ? 3 : 2);
}

void TCtlTCCustomCheckBox::GlyphsChanged() {
    FGlyphs.OnChange = nullptr;  // the count below must not come back here
    FGlyphs.SetActiveGlyphCount(FAllowGrayed ? 3 : 2);
    FGlyphs.OnChange = [this](TObject*) { GlyphsChanged(); };
    NotifyChanged();
}

bool TCtlTCCustomCheckBox::AcceptGlyphs(TCtlCellGlyphs* Value) {
    return Value && Value->GlyphCount() == 3;
}

int32_t TCtlTCCustomCheckBox::GlyphIndex(int32_t RowNum, const TCtlCellValue* Data) {
    if (Data && Data->Kind == TCtlCellValue::cvCheck) {
        TCtlCellValue AsGlyph = TCtlCellValue::Glyph(Data->Check);
        return TCtlTCCustomGlyph::GlyphIndex(RowNum, &AsGlyph);
    }
    return TCtlTCCustomGlyph::GlyphIndex(RowNum,
                                         Data && Data->Kind == TCtlCellValue::cvGlyph ? Data : nullptr);
}

bool TCtlTCCustomCheckBox::SaveIndex(int32_t Index, TCtlCellValue* Data) {
    if (!Data) return false;
    if (Data->Kind != TCtlCellValue::cvCheck && Data->Kind != TCtlCellValue::cvNone) {
        assert(!"check-box cell given a value of another kind");
        return false;
    }
    *Data = TCtlCellValue::CheckState(static_cast<uint8_t>(std::clamp(Index, 0, 2)));
    return true;
}

}  // namespace grid
