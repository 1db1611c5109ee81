// Drawing objects by handle: pens, brushes, fonts, bitmaps, stock objects, selection.
#include "framework/graphics/Gdi.h"

#include <map>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

uint32_t ColorToRGB(TColor Color) {
    uint32_t c = static_cast<uint32_t>(Color);
    if (c & 0x80000000u) return GetSysColor(static_cast<int>(c & 0xFF));
    return c & 0xFFFFFF;
}

namespace gdi {

ObjectTable& Objects() {
    static ObjectTable t;
    return t;
}

HGDIOBJ AddObject(GdiObject o) {
    auto p = std::make_unique<GdiObject>(std::move(o));
    auto h = reinterpret_cast<uintptr_t>(p.get());
    Objects().Objects.emplace(h, std::move(p));
    return h;
}
GdiObject* Find(HGDIOBJ h) {
    auto& m = Objects().Objects;
    auto it = m.find(h);
    return it == m.end() ? nullptr : it->second.get();
}
bool IsStock(HGDIOBJ h) {
    for (auto& [i, s] : Objects().Stock)
        if (s == h) return true;
    for (auto& [i, s] : Objects().SysBrushes)
        if (s == h) return true;
    return false;
}

TLogFont DefaultFont() {
    TLogFont f;
    f.Height = -11;
    f.FaceName = "MS Sans Serif";
    return f;
}

const BrushObj* BrushFor(HDC Dc, HBRUSH Brush, BrushObj& tmp) {
    if (const BrushObj* b = FindAs<BrushObj>(Brush)) return b;
    // A system colour index plus one stands for that colour's brush.
    if (Brush >= 1 && Brush <= 31) {
        tmp = BrushObj{BS_SOLID, GetSysColor(static_cast<int>(Brush - 1)), 0, {}};
        return &tmp;
    }
    (void)Dc;
    return nullptr;
}

}  // namespace gdi

// ---------------------------------------------------------------------------------------------
// Bitmap objects

HBITMAP CreateBitmapObject(std::shared_ptr<TBitmapObject> Object) {
    return AddObject(std::move(Object));
}
TBitmapObject* BitmapObjectOf(HBITMAP Bitmap) {
    auto* p = FindAs<std::shared_ptr<TBitmapObject>>(Bitmap);
    return p ? p->get() : nullptr;
}
HBITMAP CurrentBitmap(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? d->St.SelBitmap : 0;
}
QImage* TargetImage(HDC Dc) {
    return ImageOf(Dc);
}

// ---------------------------------------------------------------------------------------------
// Creating and selecting objects

HPEN CreatePen(int Style, int Width, TColor Color) {
    return AddObject(PenObj{Style, std::max(0, Width), ColorToRGB(Color)});
}
HPEN CreatePenIndirect(const TLogPen& Pen) {
    return CreatePen(Pen.Style, Pen.Width, Pen.Color);
}
HBRUSH CreateSolidBrush(TColor Color) {
    return AddObject(BrushObj{BS_SOLID, ColorToRGB(Color), 0, {}});
}
HBRUSH CreateHatchBrush(int Hatch, TColor Color) {
    return AddObject(BrushObj{BS_HATCHED, ColorToRGB(Color), Hatch, {}});
}
HBRUSH CreatePatternBrush(HBITMAP Bitmap) {
    TBitmapObject* b = BitmapObjectOf(Bitmap);
    if (!b || b->Image.isNull()) return 0;
    BrushObj o{BS_PATTERN, 0, 0, std::vector<uint32_t>(64)};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            o.Pattern[y * 8 + x] = FromQRgb(b->Image.pixel(x % b->Image.width(), y % b->Image.height()));
    return AddObject(std::move(o));
}
HBRUSH CreateBrushIndirect(const TLogBrush& Brush) {
    BrushObj o{Brush.Style, ColorToRGB(Brush.Color), Brush.Hatch, Brush.Pattern};
    if (o.Style == BS_PATTERN && o.Pattern.size() != 64) o.Style = BS_NULL;
    return AddObject(std::move(o));
}
HFONT CreateFontIndirect(const TLogFont& Font) {
    return AddObject(Font);
}

HGDIOBJ GetStockObject(int Index) {
    auto& s = Objects().Stock;
    auto it = s.find(Index);
    if (it != s.end()) return it->second;
    HGDIOBJ h = 0;
    switch (Index) {
        case WHITE_BRUSH:
            h = CreateSolidBrush(0xFFFFFF);
            break;
        case LTGRAY_BRUSH:
            h = CreateSolidBrush(0xC0C0C0);
            break;
        case GRAY_BRUSH:
            h = CreateSolidBrush(0x808080);
            break;
        case DKGRAY_BRUSH:
            h = CreateSolidBrush(0x404040);
            break;
        case BLACK_BRUSH:
            h = CreateSolidBrush(0);
            break;
        case NULL_BRUSH:
            h = AddObject(BrushObj{BS_NULL, 0, 0, {}});
            break;
        case WHITE_PEN:
            h = CreatePen(PS_SOLID, 1, 0xFFFFFF);
            break;
        case BLACK_PEN:
            h = CreatePen(PS_SOLID, 1, 0);
            break;
        case NULL_PEN:
            h = CreatePen(PS_NULL, 1, 0);
            break;
        case DEFAULT_GUI_FONT:
            h = CreateFontIndirect(DefaultFont());
            break;
        case SYSTEM_FONT: {
            // The font of captions and dialogs of old: bold, a 16-pixel cell.
            TLogFont f;
            f.Height = 16;
            f.Weight = FW_BOLD;
            f.PitchAndFamily = VARIABLE_PITCH;
            f.FaceName = "System";
            h = CreateFontIndirect(f);
            break;
        }
        case DEFAULT_PALETTE: {
            // The 20 static colours of a palette display.
            static const uint32_t sys[20] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000,
                                             0x800080, 0x808000, 0xC0C0C0, 0xC0DCC0, 0xF0CAA6,
                                             0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00,
                                             0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
            std::vector<TPaletteEntry> e;
            for (uint32_t c : sys) e.push_back(TPaletteEntry{GetRValue(c), GetGValue(c), GetBValue(c), 0});
            h = AddObject(PaletteObj{e});
            break;
        }
        default:
            return 0;
    }
    s[Index] = h;
    return h;
}

HBRUSH GetSysColorBrush(int Index) {
    auto& s = Objects().SysBrushes;
    auto it = s.find(Index);
    if (it != s.end() && FindAs<BrushObj>(it->second)->Rgb == GetSysColor(Index)) return it->second;
    if (it != s.end()) {
        *FindAs<BrushObj>(it->second) = BrushObj{BS_SOLID, GetSysColor(Index), 0, {}};
        return it->second;
    }
    return s[Index] = CreateSolidBrush(static_cast<TColor>(GetSysColor(Index)));
}

bool DeleteObject(HGDIOBJ Object) {
    if (!Find(Object) || IsStock(Object)) return false;
    Objects().Objects.erase(Object);
    return true;
}

HGDIOBJ SelectObject(HDC Dc, HGDIOBJ Object) {
    DcData* d = Data(Dc);
    GdiObject* o = Find(Object);
    if (!d || !o) return 0;
    State& s = d->St;
    HGDIOBJ old = 0;
    if (auto* p = std::get_if<PenObj>(o)) {
        old = s.SelPen;
        s.Pen = *p;
        s.SelPen = Object;
    } else if (auto* b = std::get_if<BrushObj>(o)) {
        old = s.SelBrush;
        s.Brush = *b;
        s.SelBrush = Object;
    } else if (auto* f = std::get_if<TLogFont>(o)) {
        old = s.SelFont;
        s.Font = *f;
        s.SelFont = Object;
    } else if (std::get_if<std::shared_ptr<TBitmapObject>>(o)) {
        TDeviceContext* dc = ContextOf(Dc);
        if (dc->Wnd || dc->Target) return 0;
        old = s.SelBitmap;
        s.SelBitmap = Object;
    } else if (auto* r = std::get_if<RegionObj>(o)) {
        return static_cast<HGDIOBJ>(SelectClipRgn(Dc, Object));
        (void)r;
    }
    return old;
}

}  // namespace framework
