#include "framework/ui/Graphics.h"

#include <algorithm>
#include <map>

#include "framework/core/Stream.h"
#include "framework/graphics/Jpeg.h"
#include "framework/ui/Clipbrd.h"

#include "framework/core/SysUtils.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// Fonts, brushes, pens

TFont::TFont() = default;

void TFont::SetSize(int Points) {
    if (Points == FSize) return;
    FSize = Points;
    Changed();
}

void TFont::SetHeight(int Pixels) {
    int pts = Pixels < 0 ? (-Pixels * 72 + 48) / 96 : (Pixels * 72 + 48) / 96;
    SetSize(pts);
}

void TFont::Assign(const TFont& Source) {
    if (*this == Source) return;
    Name = Source.Name;
    Color = Source.Color;
    Style = Source.Style;
    Charset = Source.Charset;
    Pitch = Source.Pitch;
    Orientation = Source.Orientation;
    FSize = Source.FSize;
    Changed();
}

TLogFont TFont::LogFont() const {
    TLogFont f;
    f.Height = Height();
    f.Escapement = f.Orientation = Orientation;
    f.Weight = (Style & fsBold) ? FW_BOLD : FW_NORMAL;
    f.Italic = Style & fsItalic;
    f.Underline = Style & fsUnderline;
    f.StrikeOut = Style & fsStrikeOut;
    f.CharSet = Charset;
    f.PitchAndFamily = Pitch == fpFixed ? FIXED_PITCH : Pitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    f.FaceName = Name;
    return f;
}

TLogBrush TBrush::LogBrush() const {
    TLogBrush b;
    b.Color = Color;
    if (Bitmap && !Bitmap->Empty()) {
        b.Style = BS_PATTERN;
        TCanvas& c = Bitmap->Canvas();
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                b.Pattern.push_back(ColorToRGB(c.Pixel(x % Bitmap->Width(), y % Bitmap->Height())));
        return b;
    }
    switch (Style) {
        case bsSolid:
            b.Style = BS_SOLID;
            break;
        case bsClear:
            b.Style = BS_NULL;
            break;
        default:
            b.Style = BS_HATCHED;
            b.Hatch = static_cast<int>(Style) - static_cast<int>(bsHorizontal);
            break;
    }
    return b;
}

int PenModeToROP2(TPenMode Mode) {
    static const int rop[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                              R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                              R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                              R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return rop[Mode & 15];
}

// ---------------------------------------------------------------------------------------------
// Canvas

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::SetOrigin(int X, int Y) {
    FOrigin = TPoint{X, Y};
}

struct TCanvas::TSelected {
    HDC Dc = 0;
    TPen Pen;
    TBrush Brush;
    TFont Font;
    TPoint Origin;
    bool PenValid = false, BrushValid = false, FontValid = false;
    // The objects selected for the canvas live while they are selected, so that code which selects
    // its own into Handle() and then the old ones back gets the canvas's objects again.
    HPEN PenHandle = 0;
    HBRUSH BrushHandle = 0;
    HFONT FontHandle = 0;
    ~TSelected() {
        for (HGDIOBJ h : {PenHandle, BrushHandle, FontHandle})
            if (h) DeleteObject(h);
    }
    static void Replace(HGDIOBJ& Slot, HGDIOBJ New) {
        if (Slot) DeleteObject(Slot);
        Slot = New;
    }
};

void TCanvas::SetHandle(HDC Dc) {
    if (Dc == FHandle) return;
    FHandle = Dc;
    FSelected.reset();
}

void TCanvas::Select() {
    BeforeDraw();
    if (!FHandle) return;
    HDC dc = FHandle;
    if (!FSelected || FSelected->Dc != dc) {
        FSelected = std::make_unique<TSelected>();
        FSelected->Dc = dc;
    }
    TSelected& s = *FSelected;
    if (!s.PenValid || s.Pen.Color != Pen.Color || s.Pen.Width != Pen.Width || s.Pen.Style != Pen.Style ||
        s.Pen.Mode != Pen.Mode) {
        static const int penStyles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                        PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        HPEN pen = CreatePen(penStyles[std::min<int>(Pen.Style, 6)], Pen.Width, Pen.Color);
        SelectObject(dc, pen);
        TSelected::Replace(s.PenHandle, pen);
        SetROP2(dc, PenModeToROP2(Pen.Mode));
        s.Pen.Assign(Pen);
        s.PenValid = true;
    }
    if (!s.BrushValid || s.Brush.Color != Brush.Color || s.Brush.Style != Brush.Style ||
        s.Brush.Bitmap != Brush.Bitmap) {
        HBRUSH brush = CreateBrushIndirect(Brush.LogBrush());
        SelectObject(dc, brush);
        TSelected::Replace(s.BrushHandle, brush);
        // Hatched and clear brushes leave the background of text and hatches alone.
        if (Brush.Style == bsSolid) {
            SetBkColor(dc, Brush.Color);
            SetBkMode(dc, OPAQUE);
        } else {
            SetBkColor(dc, static_cast<TColor>(~ColorToRGB(Brush.Color) & 0xFFFFFF));
            SetBkMode(dc, TRANSPARENT);
        }
        s.Brush.Assign(Brush);
        s.BrushValid = true;
    }
    if (!s.FontValid || !(s.Font == Font)) {
        HFONT font = CreateFontIndirect(Font.LogFont());
        SelectObject(dc, font);
        TSelected::Replace(s.FontHandle, font);
        SetTextColor(dc, Font.Color);
        s.Font.Name = Font.Name;
        s.Font.Color = Font.Color;
        s.Font.Style = Font.Style;
        s.Font.Charset = Font.Charset;
        s.Font.Pitch = Font.Pitch;
        s.Font.Orientation = Font.Orientation;
        s.Font.SetSize(Font.Size());
        s.FontValid = true;
    }
    // The origin and the pen position are the canvas's own and always hold.
    SetViewportOrgEx(dc, FOrigin.X, FOrigin.Y, nullptr);
    MoveToEx(dc, PenPos.X, PenPos.Y, nullptr);
}

HDC TCanvas::Handle() {
    Select();
    return FHandle;
}

void TCanvas::FillRect(const TRect& R) {
    Select();
    if (!FHandle || Brush.Style == bsClear) return;
    HBRUSH b = CreateBrushIndirect(Brush.LogBrush());
    ::framework::FillRect(FHandle, R, b);
    DeleteObject(b);
}

void TCanvas::FrameRect(const TRect& R) {
    Select();
    if (!FHandle) return;
    HBRUSH b = CreateBrushIndirect(Brush.LogBrush());
    ::framework::FrameRect(FHandle, R, b);
    DeleteObject(b);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    Select();
    ::framework::Rectangle(FHandle, X1, Y1, X2, Y2);
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
    Select();
    ::framework::RoundRect(FHandle, X1, Y1, X2, Y2, X3, Y3);
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
    Select();
    ::framework::Ellipse(FHandle, X1, Y1, X2, Y2);
}

void TCanvas::Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    Select();
    ::framework::Arc(FHandle, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
}

void TCanvas::Pie(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
    Select();
    ::framework::Pie(FHandle, X1, Y1, X2, Y2, X3, Y3, X4, Y4);
}

void TCanvas::Polygon(const std::vector<TPoint>& Points) {
    Select();
    ::framework::Polygon(FHandle, Points.data(), static_cast<int>(Points.size()));
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) {
    Select();
    ::framework::Polyline(FHandle, Points.data(), static_cast<int>(Points.size()));
    if (!Points.empty()) PenPos = Points.back();
}

void TCanvas::MoveTo(int X, int Y) {
    PenPos = TPoint{X, Y};
}

void TCanvas::LineTo(int X, int Y) {
    Select();
    ::framework::LineTo(FHandle, X, Y);
    PenPos = TPoint{X, Y};
}

void TCanvas::FloodFill(int X, int Y, TColor Color, bool Surface) {
    Select();
    ExtFloodFill(FHandle, X, Y, Color, Surface ? FLOODFILLSURFACE : FLOODFILLBORDER);
}

TColor TCanvas::Pixel(int X, int Y) {
    Select();
    TColor c = GetPixel(FHandle, X, Y);
    return c == static_cast<TColor>(CLR_INVALID) ? clNone : c;
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
    Select();
    ::framework::SetPixel(FHandle, X, Y, Color);
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    Select();
    if (!FHandle) return;
    ExtTextOut(FHandle, X, Y, 0, nullptr, Text);
    PenPos = TPoint{X + TextWidth(Text), Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::string& Text) {
    Select();
    if (!FHandle) return;
    uint32_t opts = ETO_CLIPPED | (Brush.Style != bsClear ? ETO_OPAQUE : 0);
    ExtTextOut(FHandle, X, Y, opts, &R, Text);
}

TSize TCanvas::TextExtent(const std::string& Text) {
    TSize s;
    if (FHandle) {
        Select();
        GetTextExtentPoint32(FHandle, Text, s);
        return s;
    }
    // Measuring needs no surface: a memory context carries the font.
    HDC dc = CreateCompatibleDC(0);
    HFONT f = CreateFontIndirect(Font.LogFont());
    SelectObject(dc, f);
    GetTextExtentPoint32(dc, Text, s);
    DeleteDC(dc);
    DeleteObject(f);
    return s;
}

int TCanvas::TextWidth(const std::string& Text) {
    return TextExtent(Text).cx;
}

int TCanvas::TextHeight(const std::string& Text) {
    return TextExtent(Text).cy;
}

void TCanvas::DrawFocusRect(const TRect& R) {
    Select();
    ::framework::DrawFocusRect(FHandle, R);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    Graphic->Draw(*this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    Graphic->Draw(*this, R);
}

void TCanvas::CopyRect(const TRect& DestRect, TCanvas& Source, const TRect& SourceRect) {
    HDC src = Source.Handle();
    Select();
    StretchBlt(FHandle, DestRect.Left, DestRect.Top, DestRect.Width(), DestRect.Height(), src,
               SourceRect.Left, SourceRect.Top, SourceRect.Width(), SourceRect.Height(), CopyMode);
}

void TCanvas::BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Color) {
    if (!Bitmap) return;
    HDC src = Bitmap->Canvas().Handle();
    Select();
    KeyedStretchBlt(FHandle, Dest, src, Source, ColorToRGB(Color), true);
}

TRect TCanvas::ClipRect() {
    Select();
    TRect r;
    if (FHandle) GetClipBox(FHandle, &r);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Graphic progress, form data and clipboard forms

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::ReadData(TStream& Stream) {
    LoadFromStream(Stream);
}

void TGraphic::WriteData(TStream& Stream) {
    SaveToStream(Stream);
}

void TGraphic::LoadFromClipboardFormat(unsigned, const std::vector<uint8_t>&, HPALETTE) {
    throw EInvalidGraphic("Clipboard format not supported by " + ClassName());
}

void TGraphic::SaveToClipboardFormat(unsigned&, std::vector<uint8_t>&, HPALETTE&) {
    throw EInvalidGraphic("Clipboard format not supported by " + ClassName());
}

namespace {
uint32_t Le32(const std::vector<uint8_t>& V, size_t At) {
    if (At + 4 > V.size()) return 0;
    return V[At] | (V[At + 1] << 8) | (V[At + 2] << 16) | (static_cast<uint32_t>(V[At + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& V, size_t At) {
    if (At + 2 > V.size()) return 0;
    return static_cast<uint16_t>(V[At] | (V[At + 1] << 8));
}
void Put32(uint8_t* At, uint32_t Value) {
    for (int i = 0; i < 4; ++i) At[i] = static_cast<uint8_t>(Value >> (8 * i));
}
constexpr size_t kBmpFileHeader = 14;
}  // namespace

void TBitmap::LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData, HPALETTE) {
    if (AFormat != CF_BITMAP) throw EInvalidGraphic("Unsupported clipboard format");
    const std::vector<uint8_t> dib = AData.empty() ? Clipboard()->GetAsData(CF_BITMAP) : AData;
    if (dib.size() < 12 || dib.size() > (size_t(1) << 30)) throw EInvalidGraphic("Bitmap image is not valid");
    // The file header the packed form lacks: where the pixels start follows from the info header
    // and its colour table (and the three bit-field masks after a 40-byte header).
    const uint32_t header = Le32(dib, 0);
    uint64_t offBits = kBmpFileHeader + uint64_t(header);
    if (header == 12) {
        const uint16_t bits = Le16(dib, 10);
        if (bits <= 8) offBits += 3u * (1u << bits);
    } else {
        const uint16_t bits = Le16(dib, 14);
        const uint32_t compression = Le32(dib, 16);
        const uint32_t used = header >= 36 ? Le32(dib, 32) : 0;
        const uint64_t colors = used ? used : (bits <= 8 ? (1u << bits) : 0);
        if (header == 40 && compression == 3) offBits += 12;  // BI_BITFIELDS
        offBits += 4 * colors;
    }
    if (offBits > kBmpFileHeader + dib.size()) throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<uint8_t> file(kBmpFileHeader);
    file[0] = 'B';
    file[1] = 'M';
    Put32(&file[2], static_cast<uint32_t>(kBmpFileHeader + dib.size()));
    Put32(&file[10], static_cast<uint32_t>(offBits));
    file.insert(file.end(), dib.begin(), dib.end());
    TMemoryStream s;
    s.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
    s.SetPosition(0);
    LoadFromStream(s);
}

void TBitmap::SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) {
    if (Empty()) throw EInvalidGraphic("An empty bitmap has no clipboard form");
    TMemoryStream s;
    SaveToStream(s);
    AFormat = CF_BITMAP;
    AData.assign(reinterpret_cast<const uint8_t*>(s.Memory()) + kBmpFileHeader,
                 reinterpret_cast<const uint8_t*>(s.Memory()) + s.Size());
    APalette = 0;
}

namespace {

// Class names compare without regard to letter case (ASCII): the key is the upper-case form.
std::string ClassKey(const std::string& Name) {
    std::string k = Name;
    for (char& c : k)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return k;
}

struct ClassEntry {
    std::string Name;  // as registered
    TPicture::TGraphicFactory Factory;
};

std::map<std::string, ClassEntry>& GraphicClasses() {
    static std::map<std::string, ClassEntry> classes = [] {
        std::map<std::string, ClassEntry> c;
        c["TBITMAP"] = {"TBitmap", [] { return std::make_unique<TBitmap>(); }};
        c["TICON"] = {"TIcon", [] { return std::make_unique<TIcon>(); }};
        c["TJPEGIMAGE"] = {"TJPEGImage", [] { return std::make_unique<TJPEGImage>(); }};
        return c;
    }();
    return classes;
}

struct ClipboardEntry {
    std::string ClassKey;  // of the graphics the factory makes
    TPicture::TGraphicFactory Factory;
};

std::map<unsigned, ClipboardEntry>& ClipboardFormats() {
    static std::map<unsigned, ClipboardEntry> formats = {
        {CF_BITMAP, {"TBITMAP", [] { return std::make_unique<TBitmap>(); }}},
    };
    return formats;
}

}  // namespace

void TPicture::RegisterClass(const std::string& ClassName, TGraphicFactory Factory) {
    GraphicClasses()[ClassKey(ClassName)] = ClassEntry{ClassName, std::move(Factory)};
}

void TPicture::UnregisterClass(const std::string& ClassName) {
    const std::string key = ClassKey(ClassName);
    GraphicClasses().erase(key);
    auto& formats = ClipboardFormats();
    for (auto it = formats.begin(); it != formats.end();)
        it = it->second.ClassKey == key ? formats.erase(it) : std::next(it);
}

bool TPicture::IsClassRegistered(const std::string& ClassName) {
    return GraphicClasses().count(ClassKey(ClassName)) != 0;
}

TPicture::TGraphicFactory TPicture::GraphicClass(const std::string& ClassName) {
    auto it = GraphicClasses().find(ClassKey(ClassName));
    return it == GraphicClasses().end() ? TGraphicFactory() : it->second.Factory;
}

void TPicture::ReadData(TStream& Stream) {
    uint8_t length = 0;
    Stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    if (length) Stream.ReadBuffer(name.data(), length);
    if (name.empty()) {
        FGraphic.reset();
        Changed();
        return;
    }
    auto it = GraphicClasses().find(ClassKey(name));
    if (it == GraphicClasses().end()) throw EInvalidGraphic("Unknown picture class (" + name + ")");
    std::unique_ptr<TGraphic> g = it->second.Factory();
    g->OnProgress = OnProgress;
    g->ReadData(Stream);
    FGraphic = std::move(g);
    Changed();
}

void TPicture::WriteData(TStream& Stream) {
    std::string name = FGraphic ? FGraphic->ClassName() : std::string();
    if (name.size() > 255) throw EInvalidGraphic("Picture class name too long (" + name + ")");
    const uint8_t length = static_cast<uint8_t>(name.size());
    Stream.WriteBuffer(&length, 1);
    if (length) Stream.WriteBuffer(name.data(), length);
    if (FGraphic) FGraphic->WriteData(Stream);
}

void TPicture::RegisterClipboardFormat(unsigned AFormat, TGraphicFactory Factory) {
    // The class is learnt from a sample, so that UnregisterClass can drop the format with it.
    std::unique_ptr<TGraphic> sample = Factory();
    ClipboardFormats()[AFormat] = ClipboardEntry{ClassKey(sample->ClassName()), std::move(Factory)};
}

bool TPicture::SupportsClipboardFormat(unsigned AFormat) {
    return ClipboardFormats().count(AFormat) != 0;
}

void TPicture::LoadFromClipboardFormat(unsigned AFormat, const std::vector<uint8_t>& AData,
                                       HPALETTE APalette) {
    auto it = ClipboardFormats().find(AFormat);
    if (it == ClipboardFormats().end()) throw EInvalidGraphic("Unsupported clipboard format");
    std::unique_ptr<TGraphic> g = it->second.Factory();
    g->OnProgress = OnProgress;
    g->LoadFromClipboardFormat(AFormat, AData, APalette);
    FGraphic = std::move(g);
    Changed();
}

void TPicture::SaveToClipboardFormat(unsigned& AFormat, std::vector<uint8_t>& AData, HPALETTE& APalette) {
    if (!FGraphic) throw EInvalidGraphic("An empty picture has no clipboard form");
    FGraphic->SaveToClipboardFormat(AFormat, AData, APalette);
}

// ---------------------------------------------------------------------------------------------
// Colour names and kinds of fonts

namespace {
struct TColorName {
    TColor Value;
    const char* Name;
};
// In the order they are listed; clNone, last, converts but is not listed.
constexpr TColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
    {clNone, "clNone"},
};
}  // namespace

bool ColorToIdent(TColor Color, std::string& Ident) {
    for (const TColorName& c : kColorNames)
        if (c.Value == Color) {
            Ident = c.Name;
            return true;
        }
    return false;
}

bool IdentToColor(const std::string& Ident, TColor& Color) {
    for (const TColorName& c : kColorNames)
        if (SameText(Ident, c.Name)) {
            Color = c.Value;
            return true;
        }
    return false;
}

std::string ColorToString(TColor Color) {
    std::string s;
    if (ColorToIdent(Color, s)) return s;
    return "$" + IntToHex(Color, 8);
}

TColor StringToColor(const std::string& S) {
    TColor c;
    if (IdentToColor(S, c)) return c;
    // Hexadecimal is a bit pattern: "$8000001F", as ColorToString writes a system colour, reads
    // back although it is past the largest 32-bit integer.
    int64_t wide = 0;
    if ((S.starts_with("$") || S.starts_with("0x") || S.starts_with("0X")) && TryStrToInt64(S, wide) &&
        wide >= 0 && wide <= 0xFFFFFFFFll)
        return static_cast<TColor>(static_cast<uint32_t>(wide));
    return StrToInt(S);
}

void GetColorValues(const std::function<void(const std::string&)>& Proc) {
    for (const TColorName& c : kColorNames)
        if (c.Value != clNone) Proc(c.Name);
}

bool IsTrueTypeFont(const TFont& Font) {
    HDC dc = CreateCompatibleDC(0);
    HFONT f = CreateFontIndirect(Font.LogFont());
    SelectObject(dc, f);
    TTextMetric tm;
    bool ok = GetTextMetrics(dc, tm);
    DeleteDC(dc);
    DeleteObject(f);
    return ok && (tm.tmPitchAndFamily & TMPF_TRUETYPE);
}

}  // namespace framework
