#include "framework/graphics/Gdi.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <cmath>
#include <map>
#include <variant>

#include "framework/graphics/GdiImpl.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

uint32_t ColorToRGB(TColor Color) {
    uint32_t c = static_cast<uint32_t>(Color);
    if (c & 0x80000000u) return GetSysColor(static_cast<int>(c & 0xFF));
    return c & 0xFFFFFF;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Objects by handle

struct PenObj {
    int Style = PS_SOLID;
    int Width = 1;
    uint32_t Rgb = 0;
};
struct BrushObj {
    int Style = BS_SOLID;
    uint32_t Rgb = 0xFFFFFF;
    int Hatch = 0;
    std::vector<uint32_t> Pattern;  // 64 RGB values for BS_PATTERN
};
struct RegionObj {
    QRegion Rgn;
};
struct PaletteObj {
    std::vector<TPaletteEntry> Entries;
};
using GdiObject =
    std::variant<PenObj, BrushObj, TLogFont, std::shared_ptr<TBitmapObject>, RegionObj, PaletteObj>;

struct ObjectTable {
    std::map<uintptr_t, std::unique_ptr<GdiObject>> Objects;
    std::map<int, HGDIOBJ> Stock;
    std::map<int, HBRUSH> SysBrushes;
};
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
template <class T>
T* FindAs(HGDIOBJ h) {
    GdiObject* o = Find(h);
    return o ? std::get_if<T>(o) : nullptr;
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

// ---------------------------------------------------------------------------------------------
// Context state

struct State {
    PenObj Pen;
    BrushObj Brush;
    TLogFont Font = DefaultFont();
    HGDIOBJ SelPen = 0, SelBrush = 0, SelFont = 0;
    HBITMAP SelBitmap = 0;
    HPALETTE SelPalette = 0;
    uint32_t BkColor = 0xFFFFFF;
    uint32_t TextColor = 0;
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    int StretchMode = BLACKONWHITE;
    uint32_t TextAlign = TA_LEFT | TA_TOP;
    QPoint Org;       // logical (0,0) in device coordinates
    QPoint BrushOrg;  // device coordinates
    QPoint Pos;       // current position, logical
    bool HasClip = false;
    QRegion Clip;  // device coordinates
};
struct DcData {
    State St;
    std::vector<State> Saved;
    std::shared_ptr<TBitmapObject> Default;  // the 1×1 monochrome bitmap of a new memory context
};

DcData* Data(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc) return nullptr;
    if (!dc->Gdi) dc->Gdi = std::make_shared<DcData>();
    return static_cast<DcData*>(dc->Gdi.get());
}

QImage* ImageOf(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc) return nullptr;
    if (dc->Target) return dc->Target;
    DcData* d = Data(h);
    if (auto* b = FindAs<std::shared_ptr<TBitmapObject>>(d->St.SelBitmap)) return &(*b)->Image;
    if (d->Default) return &d->Default->Image;
    return nullptr;
}

bool IsMono(HDC h) {
    TDeviceContext* dc = ContextOf(h);
    if (!dc || dc->Target) return false;
    DcData* d = Data(h);
    if (auto* b = FindAs<std::shared_ptr<TBitmapObject>>(d->St.SelBitmap)) return (*b)->Monochrome;
    return true;
}

// Everything one drawing call needs: where the pixels are and which of them may change.
struct Ctx {
    HDC H = 0;
    State* St = nullptr;
    QImage* Img = nullptr;
    QPainter* WindowPainter = nullptr;
    QRegion Clip;  // device coordinates, within the image
    bool Mono = false;
    QPoint Dev(int x, int y) const { return QPoint(x, y) + St->Org; }
};

bool Open(HDC h, Ctx& c) {
    DcData* d = Data(h);
    if (!d) return false;
    c.H = h;
    c.St = &d->St;
    c.Img = ImageOf(h);
    if (!c.Img || c.Img->isNull()) return false;
    if (c.Img->format() != QImage::Format_RGB32 && c.Img->format() != QImage::Format_ARGB32 &&
        c.Img->format() != QImage::Format_ARGB32_Premultiplied)
        *c.Img = c.Img->convertToFormat(QImage::Format_RGB32);
    c.WindowPainter = PainterOf(h);
    c.Clip = QRegion(c.Img->rect());
    if (c.WindowPainter && c.WindowPainter->hasClipping()) c.Clip &= c.WindowPainter->clipRegion();
    if (c.St->HasClip) c.Clip &= c.St->Clip;
    c.Mono = IsMono(h);
    return true;
}

// A painter for Qt's share of the drawing (text): the window's own, or one made for the call.
class PainterScope {
public:
    explicit PainterScope(Ctx& c) {
        if (c.WindowPainter) {
            P = c.WindowPainter;
            P->save();
        } else {
            Own = std::make_unique<QPainter>(c.Img);
            P = Own.get();
        }
        P->setClipRegion(c.Clip);
        P->setRenderHint(QPainter::Antialiasing, false);
        P->setRenderHint(QPainter::TextAntialiasing, false);
    }
    ~PainterScope() {
        if (Own)
            Own->end();
        else
            P->restore();
    }
    QPainter* operator->() { return P; }
    QPainter* P = nullptr;

private:
    std::unique_ptr<QPainter> Own;
};

// ---------------------------------------------------------------------------------------------
// Pixels

uint32_t MonoOf(uint32_t rgb) {
    int lum = GetRValue(rgb) * 30 + GetGValue(rgb) * 59 + GetBValue(rgb) * 11;
    return lum >= 12750 ? 0xFFFFFF : 0;
}

uint32_t Rop2(int mode, uint32_t P, uint32_t D) {
    switch (mode) {
        case R2_COPYPEN:
            return P;
        case R2_XORPEN:
            return P ^ D;
        case R2_NOT:
            return ~D & 0xFFFFFF;
        case R2_MASKPEN:
            return P & D;
        case R2_MERGEPEN:
            return P | D;
        default:
            break;
    }
    unsigned t = static_cast<unsigned>(mode - 1) & 15;
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i)
        if ((t >> i) & 1) r |= ((i & 2) ? P : ~P) & ((i & 1) ? D : ~D);
    return r & 0xFFFFFF;
}

uint32_t Rop3(uint8_t t, uint32_t P, uint32_t S, uint32_t D) {
    switch (t) {
        case 0xCC:
            return S;
        case 0x88:
            return S & D;
        case 0xEE:
            return S | D;
        case 0x66:
            return S ^ D;
        case 0xF0:
            return P;
        case 0xAA:
            return D;
        default:
            break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((t >> i) & 1) r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
    return r & 0xFFFFFF;
}

inline uint32_t& PixelRef(QImage* img, int x, int y) {
    return reinterpret_cast<uint32_t*>(img->scanLine(y))[x];
}
inline uint32_t ReadRgb(const QImage* img, int x, int y) {
    return FromQRgb(reinterpret_cast<const uint32_t*>(img->constScanLine(y))[x]);
}
inline void Store(Ctx& c, int x, int y, uint32_t rgb) {
    if (c.Mono) rgb = MonoOf(rgb);
    PixelRef(c.Img, x, y) = ToQRgb(rgb);
}

// The brush colour at a device pixel; false where a hatch leaves the background alone.
bool BrushAt(const Ctx& c, const BrushObj& b, int x, int y, uint32_t& rgb) {
    switch (b.Style) {
        case BS_NULL:
            return false;
        case BS_SOLID:
            rgb = b.Rgb;
            return true;
        case BS_PATTERN: {
            if (b.Pattern.size() != 64) return false;
            int px = (x - c.St->BrushOrg.x()) & 7, py = (y - c.St->BrushOrg.y()) & 7;
            rgb = b.Pattern[py * 8 + px];
            return true;
        }
        case BS_HATCHED: {
            int px = (x - c.St->BrushOrg.x()) & 7, py = (y - c.St->BrushOrg.y()) & 7;
            bool h = py == 0, v = px == 0, f = px == py, d = px == 7 - py;
            bool on = false;
            switch (b.Hatch) {
                case HS_HORIZONTAL:
                    on = h;
                    break;
                case HS_VERTICAL:
                    on = v;
                    break;
                case HS_FDIAGONAL:
                    on = f;
                    break;
                case HS_BDIAGONAL:
                    on = d;
                    break;
                case HS_CROSS:
                    on = h || v;
                    break;
                default:
                    on = f || d;
                    break;
            }
            if (on) {
                rgb = b.Rgb;
                return true;
            }
            if (c.St->BkMode != OPAQUE) return false;
            rgb = c.St->BkColor;
            return true;
        }
    }
    return false;
}

// Fills device rectangle R (within the clip) with the brush through the pen's mix mode.
void FillDevice(Ctx& c, const QRect& r, const BrushObj& b, int rop2) {
    if (b.Style == BS_NULL || rop2 == R2_NOP) return;
    if (b.Style == BS_SOLID && (rop2 == R2_COPYPEN || rop2 == R2_BLACK || rop2 == R2_WHITE)) {
        uint32_t rgb = rop2 == R2_COPYPEN ? b.Rgb : rop2 == R2_WHITE ? 0xFFFFFF : 0;
        uint32_t q = ToQRgb(c.Mono ? MonoOf(rgb) : rgb);
        for (const QRect& part : c.Clip& QRegion(r))
            for (int y = part.top(); y <= part.bottom(); ++y) {
                auto* row = reinterpret_cast<uint32_t*>(c.Img->scanLine(y));
                std::fill(row + part.left(), row + part.right() + 1, q);
            }
        return;
    }
    for (const QRect& part : c.Clip& QRegion(r))
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x) {
                uint32_t rgb;
                if (!BrushAt(c, b, x, y, rgb)) continue;
                Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
            }
}

void PlotDevice(Ctx& c, int x, int y, uint32_t rgb, int rop2) {
    if (!c.Clip.contains(QPoint(x, y))) return;
    Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
}

// A coverage mask drawn by Qt without antialiasing, then applied pixel by pixel.
template <class F>
void ApplyShape(Ctx& c, QRect bounds, F draw, const std::function<bool(int, int, uint32_t&)>& colour,
                int rop2) {
    bounds &= c.Clip.boundingRect();
    if (bounds.isEmpty() || rop2 == R2_NOP) return;
    QImage mask(bounds.size(), QImage::Format_ARGB32);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-bounds.topLeft());
        draw(p);
    }
    for (const QRect& part : c.Clip& QRegion(bounds))
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const auto* m = reinterpret_cast<const uint32_t*>(mask.constScanLine(y - bounds.top()));
            for (int x = part.left(); x <= part.right(); ++x) {
                if (!(m[x - bounds.left()] >> 24)) continue;
                uint32_t rgb;
                if (!colour(x, y, rgb)) continue;
                Store(c, x, y, Rop2(rop2, rgb, ReadRgb(c.Img, x, y)));
            }
        }
}

// Dash patterns of cosmetic pens, in pixels on/off.
std::vector<int> DashOf(int style) {
    switch (style) {
        case PS_DASH:
            return {18, 6};
        case PS_DOT:
            return {3, 3};
        case PS_DASHDOT:
            return {9, 6, 3, 6};
        case PS_DASHDOTDOT:
            return {9, 3, 3, 3, 3, 3};
        default:
            return {};
    }
}

// A cosmetic line from (x0,y0) to (x1,y1), device coordinates, without its last pixel.
void ThinLine(Ctx& c, int x0, int y0, int x1, int y1) {
    const PenObj& pen = c.St->Pen;
    std::vector<int> dash = DashOf(pen.Style);
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int step = 0, seg = 0, inSeg = 0;
    while (!(x0 == x1 && y0 == y1)) {
        bool on = true;
        if (!dash.empty()) {
            on = (seg % 2) == 0;
            if (++inSeg >= dash[seg]) {
                inSeg = 0;
                seg = (seg + 1) % static_cast<int>(dash.size());
            }
        }
        if (on)
            PlotDevice(c, x0, y0, pen.Rgb, c.St->Rop2);
        else if (c.St->BkMode == OPAQUE)
            PlotDevice(c, x0, y0, c.St->BkColor, c.St->Rop2);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
        ++step;
    }
}

void PenLine(Ctx& c, QPoint a, QPoint b) {
    const PenObj& pen = c.St->Pen;
    if (pen.Style == PS_NULL) return;
    if (pen.Width <= 1) {
        ThinLine(c, a.x(), a.y(), b.x(), b.y());
        return;
    }
    int w = pen.Width;
    QRect bounds = QRect(a, b).normalized().adjusted(-w, -w, w, w);
    ApplyShape(
        c, bounds,
        [&](QPainter& p) {
            p.setPen(QPen(Qt::black, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(a) + QPointF(0.5, 0.5), QPointF(b) + QPointF(0.5, 0.5));
        },
        [&](int, int, uint32_t& rgb) {
            rgb = pen.Rgb;
            return true;
        },
        c.St->Rop2);
}

std::function<bool(int, int, uint32_t&)> BrushColour(Ctx& c) {
    return [&c](int x, int y, uint32_t& rgb) { return BrushAt(c, c.St->Brush, x, y, rgb); };
}
std::function<bool(int, int, uint32_t&)> PenColour(Ctx& c) {
    return [&c](int, int, uint32_t& rgb) {
        rgb = c.St->Pen.Rgb;
        return true;
    };
}

// Outline and fill of a closed shape drawn by Qt. Qt's aliased fills take a pixel when the shape
// holds its top-left corner; fills of curved shapes are moved up and left by half a pixel so that
// the test falls on the pixel's centre and the shape comes out symmetric within its box.
// Fill gets the rectangle to fill (inside the outline when there is a pen).
template <class Fill, class Outline>
void Shape(Ctx& c, QRect box, Fill fill, Outline outline) {
    const PenObj& pen = c.St->Pen;
    int w = pen.Style == PS_NULL ? 0 : std::max(1, pen.Width);
    QRect bounds = box.adjusted(-w, -w, w, w);
    QRectF area = QRectF(box).adjusted(0, 0, 1, 1).translated(-0.5, -0.5);
    if (w) area.adjust(0.5, 0.5, -0.5, -0.5);
    if (c.St->Brush.Style != BS_NULL)
        ApplyShape(
            c, bounds,
            [&](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                fill(p, area);
            },
            BrushColour(c), c.St->Rop2);
    if (w)
        ApplyShape(
            c, bounds,
            [&](QPainter& p) {
                QPen qp(Qt::black, w == 1 ? 0 : w);
                qp.setCosmetic(w == 1);
                if (w == 1 && pen.Style != PS_SOLID && pen.Style != PS_INSIDEFRAME) {
                    QVector<qreal> d;
                    for (int v : DashOf(pen.Style)) d << v;
                    if (!d.isEmpty()) qp.setDashPattern(d);
                }
                p.setPen(qp);
                p.setBrush(Qt::NoBrush);
                outline(p);
            },
            PenColour(c), c.St->Rop2);
}

// ---------------------------------------------------------------------------------------------
// Fonts

QString FamilyFor(const std::string& face) {
    // Faces the program asks for, on free fonts with the same metrics (where one exists).
    static const std::map<std::string, QString> map = {
        {"ms sans serif", "Liberation Sans"},
        {"arial", "Liberation Sans"},
        {"helvetica", "Liberation Sans"},
        {"system", "Liberation Sans"},
        {"ms shell dlg", "Liberation Sans"},
        {"ms shell dlg 2", "Liberation Sans"},
        {"tahoma", "DejaVu Sans"},
        {"verdana", "DejaVu Sans"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
        {"fixedsys", "Liberation Mono"},
        {"terminal", "Liberation Mono"},
        {"times new roman", "Liberation Serif"},
        {"times", "Liberation Serif"},
        {"ms serif", "Liberation Serif"},
    };
    std::string low;
    for (char ch : face) low += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto it = map.find(low);
    if (it != map.end()) return it->second;
    if (low.empty()) return "Liberation Sans";
    return QString::fromStdU16String(AnsiToUtf16(face));
}

void LoadPinnedFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    EnsureGuiApplication();
    // The faces above come from these files whatever else fontconfig knows, so that measured
    // text and drawn pixels are the same on every machine.
    for (const char* f :
         {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
          "LiberationSans-BoldItalic.ttf", "LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf",
          "LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf"}) {
        QString path = QStringLiteral("/usr/share/fonts/truetype/liberation2/") + f;
        if (QFile::exists(path)) QFontDatabase::addApplicationFont(path);
    }
}

QFont MakeQFont(const TLogFont& lf) {
    LoadPinnedFonts();
    QFont q(FamilyFor(lf.FaceName));
    q.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    q.setHintingPreference(QFont::PreferFullHinting);
    q.setKerning(false);
    q.setWeight(lf.Weight >= 600 ? QFont::Bold : QFont::Normal);
    q.setItalic(lf.Italic);
    q.setUnderline(lf.Underline);
    q.setStrikeOut(lf.StrikeOut);
    if ((lf.PitchAndFamily & 3) == FIXED_PITCH) q.setFixedPitch(true);
    int h = lf.Height;
    if (h == 0) h = -11;
    if (h < 0) {
        q.setPixelSize(std::max(1, -h));
    } else {
        // A cell height: scale the character height so that ascent + descent comes to it.
        q.setPixelSize(100);
        QFontMetrics m(q);
        int cell = std::max(1, m.ascent() + m.descent());
        q.setPixelSize(std::max(1, (h * 100 + cell / 2) / cell));
    }
    return q;
}

QString ToQ(const std::string& s) {
    return QString::fromStdU16String(AnsiToUtf16(s));
}

int TextWidthOf(const QFontMetrics& m, const std::string& s) {
    return m.horizontalAdvance(ToQ(s));
}

}  // namespace

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

// ---------------------------------------------------------------------------------------------
// Contexts

HDC CreateCompatibleDC(HDC) {
    HDC h = CreateMemoryContext();
    DcData* d = Data(h);
    d->Default = std::make_shared<TBitmapObject>();
    d->Default->Image = QImage(1, 1, QImage::Format_RGB32);
    d->Default->Image.fill(Qt::black);
    d->Default->Monochrome = true;
    return h;
}

bool DeleteDC(HDC Dc) {
    TDeviceContext* dc = ContextOf(Dc);
    if (!dc || dc->Wnd) return false;
    DeleteMemoryContext(Dc);
    return true;
}

HBITMAP CreateCompatibleBitmap(HDC Dc, int Width, int Height) {
    auto b = std::make_shared<TBitmapObject>();
    b->Image = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
    b->Image.fill(Qt::black);
    b->Monochrome = Dc && IsMono(Dc);
    return CreateBitmapObject(std::move(b));
}

HBITMAP CreateBitmap(int Width, int Height, int, int BitsPerPixel, const void* Bits) {
    auto b = std::make_shared<TBitmapObject>();
    b->Image = QImage(std::max(1, Width), std::max(1, Height), QImage::Format_RGB32);
    b->Image.fill(Qt::black);
    b->Monochrome = BitsPerPixel == 1;
    if (Bits && BitsPerPixel == 1) {
        // Rows of 16-bit words, set bits white.
        const auto* p = static_cast<const uint8_t*>(Bits);
        int stride = ((Width + 15) / 16) * 2;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (p[y * stride + x / 8] & (0x80 >> (x % 8))) b->Image.setPixel(x, y, 0xFFFFFFFF);
    }
    return CreateBitmapObject(std::move(b));
}

int SaveDC(HDC Dc) {
    DcData* d = Data(Dc);
    if (!d) return 0;
    d->Saved.push_back(d->St);
    return static_cast<int>(d->Saved.size());
}

bool RestoreDC(HDC Dc, int Saved) {
    DcData* d = Data(Dc);
    if (!d || d->Saved.empty()) return false;
    int n = static_cast<int>(d->Saved.size());
    int level = Saved < 0 ? n + 1 + Saved : Saved;
    if (level < 1 || level > n) return false;
    d->St = d->Saved[level - 1];
    d->Saved.resize(level - 1);
    return true;
}

#define KORVANE_STATE(name, field, type)               \
    type Set##name(HDC Dc, type Value) {               \
        DcData* d = Data(Dc);                          \
        if (!d) return 0;                              \
        type old = static_cast<type>(d->St.field);     \
        d->St.field = Value;                           \
        return old;                                    \
    }                                                  \
    type Get##name(HDC Dc) {                           \
        DcData* d = Data(Dc);                          \
        return d ? static_cast<type>(d->St.field) : 0; \
    }
KORVANE_STATE(BkMode, BkMode, int)
KORVANE_STATE(ROP2, Rop2, int)
KORVANE_STATE(TextAlign, TextAlign, uint32_t)
#undef KORVANE_STATE

int SetStretchBltMode(HDC Dc, int Mode) {
    DcData* d = Data(Dc);
    if (!d) return 0;
    return std::exchange(d->St.StretchMode, Mode);
}

TColor SetBkColor(HDC Dc, TColor Color) {
    DcData* d = Data(Dc);
    if (!d) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(std::exchange(d->St.BkColor, ColorToRGB(Color)));
}
TColor GetBkColor(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? static_cast<TColor>(d->St.BkColor) : static_cast<TColor>(CLR_INVALID);
}
TColor SetTextColor(HDC Dc, TColor Color) {
    DcData* d = Data(Dc);
    if (!d) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(std::exchange(d->St.TextColor, ColorToRGB(Color)));
}
TColor GetTextColor(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? static_cast<TColor>(d->St.TextColor) : static_cast<TColor>(CLR_INVALID);
}

bool SetBrushOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.BrushOrg.x(), d->St.BrushOrg.y()};
    d->St.BrushOrg = QPoint(X, Y);
    return true;
}

bool SetViewportOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.Org.x(), d->St.Org.y()};
    d->St.Org = QPoint(X, Y);
    return true;
}
bool GetViewportOrgEx(HDC Dc, TPoint* Org) {
    DcData* d = Data(Dc);
    if (!d || !Org) return false;
    *Org = TPoint{d->St.Org.x(), d->St.Org.y()};
    return true;
}
bool SetWindowOrgEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{-d->St.Org.x(), -d->St.Org.y()};
    d->St.Org = QPoint(-X, -Y);
    return true;
}

int GetDeviceCaps(HDC Dc, int Index) {
    switch (Index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case BITSPIXEL:
            return Dc && IsMono(Dc) ? 1 : 24;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case SIZEPALETTE:
            return 0;
        case RASTERCAPS:
            return 0x0001 | 0x0008 | 0x0800;  // bitblt, bitmap64, stretchblt
        case HORZRES:
        case VERTRES: {
            QImage* img = Dc ? ImageOf(Dc) : nullptr;
            if (img) return Index == HORZRES ? img->width() : img->height();
            return Index == HORZRES ? 1024 : 768;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Lines and shapes

bool MoveToEx(HDC Dc, int X, int Y, TPoint* Old) {
    DcData* d = Data(Dc);
    if (!d) return false;
    if (Old) *Old = TPoint{d->St.Pos.x(), d->St.Pos.y()};
    d->St.Pos = QPoint(X, Y);
    return true;
}

bool LineTo(HDC Dc, int X, int Y) {
    Ctx c;
    if (!Open(Dc, c)) {
        if (DcData* d = Data(Dc)) d->St.Pos = QPoint(X, Y);
        return false;
    }
    PenLine(c, c.St->Pos + c.St->Org, c.Dev(X, Y));
    c.St->Pos = QPoint(X, Y);
    return true;
}

bool Polyline(HDC Dc, const TPoint* Points, int Count) {
    Ctx c;
    if (!Open(Dc, c) || Count < 2) return false;
    for (int i = 1; i < Count; ++i)
        PenLine(c, c.Dev(Points[i - 1].X, Points[i - 1].Y), c.Dev(Points[i].X, Points[i].Y));
    return true;
}

bool Polygon(HDC Dc, const TPoint* Points, int Count) {
    Ctx c;
    if (!Open(Dc, c) || Count < 2) return false;
    QPolygon poly;
    for (int i = 0; i < Count; ++i) poly << c.Dev(Points[i].X, Points[i].Y);
    QRect box = poly.boundingRect();
    if (c.St->Brush.Style != BS_NULL)
        ApplyShape(
            c, box.adjusted(-1, -1, 1, 1),
            [&](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawPolygon(poly, Qt::OddEvenFill);
            },
            BrushColour(c), c.St->Rop2);
    for (int i = 0; i < Count; ++i) PenLine(c, poly[i], poly[(i + 1) % Count]);
    return true;
}

bool Rectangle(HDC Dc, int Left, int Top, int Right, int Bottom) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QPoint a = c.Dev(std::min(Left, Right), std::min(Top, Bottom));
    QPoint b = c.Dev(std::max(Left, Right), std::max(Top, Bottom));
    const PenObj& pen = c.St->Pen;
    if (pen.Style == PS_NULL) {
        // Without a pen the filled area is one pixel smaller each way.
        FillDevice(c, QRect(a, b - QPoint(2, 2)), c.St->Brush, c.St->Rop2);
        return true;
    }
    int w = std::max(1, pen.Width);
    if (w == 1 || pen.Style == PS_INSIDEFRAME) {
        FillDevice(c, QRect(a + QPoint(w, w), b - QPoint(w + 1, w + 1)), c.St->Brush, c.St->Rop2);
        for (int i = 0; i < w; ++i) {
            QPoint tl = a + QPoint(i, i), br = b - QPoint(1 + i, 1 + i);
            if (br.x() < tl.x() || br.y() < tl.y()) break;
            if (w == 1 && pen.Style != PS_SOLID && pen.Style != PS_INSIDEFRAME) {
                ThinLine(c, tl.x(), tl.y(), br.x(), tl.y());
                ThinLine(c, br.x(), tl.y(), br.x(), br.y());
                ThinLine(c, br.x(), br.y(), tl.x(), br.y());
                ThinLine(c, tl.x(), br.y(), tl.x(), tl.y());
            } else {
                BrushObj solid{BS_SOLID, pen.Rgb, 0, {}};
                FillDevice(c, QRect(tl, QPoint(br.x(), tl.y())), solid, c.St->Rop2);
                if (br.y() > tl.y()) FillDevice(c, QRect(QPoint(tl.x(), br.y()), br), solid, c.St->Rop2);
                if (br.y() - tl.y() > 1) {
                    FillDevice(c, QRect(QPoint(tl.x(), tl.y() + 1), QPoint(tl.x(), br.y() - 1)), solid,
                               c.St->Rop2);
                    if (br.x() > tl.x())
                        FillDevice(c, QRect(QPoint(br.x(), tl.y() + 1), QPoint(br.x(), br.y() - 1)), solid,
                                   c.St->Rop2);
                }
            }
        }
        return true;
    }
    // A wide pen is centred on the rectangle's outline.
    QRect box(a, b - QPoint(1, 1));
    Shape(
        c, box, [&](QPainter& p, QRectF) { p.drawRect(QRectF(box).adjusted(0.5, 0.5, 0.5, 0.5)); },
        [&](QPainter& p) { p.drawRect(QRectF(box).adjusted(0.5, 0.5, 0.5, 0.5)); });
    return true;
}

bool RoundRect(HDC Dc, int Left, int Top, int Right, int Bottom, int Width, int Height) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QRectF f = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawRoundedRect(a, Width / 2.0, Height / 2.0); },
        [&](QPainter& p) { p.drawRoundedRect(f.adjusted(0, 0, 1, 1), Width / 2.0, Height / 2.0); });
    return true;
}

bool Ellipse(HDC Dc, int Left, int Top, int Right, int Bottom) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawEllipse(a); },
        [&](QPainter& p) { p.drawEllipse(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5)); });
    return true;
}

namespace {
// Qt angles (sixteenths of a degree, anticlockwise) of the arc from radial 3 to radial 4.
void ArcAngles(QRectF box, int x3, int y3, int x4, int y4, int& start, int& span) {
    QPointF ctr = box.center();
    double a3 = std::atan2(-(y3 - ctr.y()), x3 - ctr.x()) * 180 / M_PI;
    double a4 = std::atan2(-(y4 - ctr.y()), x4 - ctr.x()) * 180 / M_PI;
    double s = std::fmod(a4 - a3 + 720, 360);
    if (s == 0) s = 360;
    start = static_cast<int>(std::lround(a3 * 16));
    span = static_cast<int>(std::lround(s * 16));
}
}  // namespace

bool Arc(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4) {
    Ctx c;
    if (!Open(Dc, c) || c.St->Pen.Style == PS_NULL) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QPoint o = c.St->Org;
    int start, span;
    ArcAngles(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), X3 + o.x(), Y3 + o.y(), X4 + o.x(), Y4 + o.y(),
              start, span);
    int w = std::max(1, c.St->Pen.Width);
    ApplyShape(
        c, box.adjusted(-w, -w, w, w),
        [&](QPainter& p) {
            QPen qp(Qt::black, w == 1 ? 0 : w);
            qp.setCosmetic(w == 1);
            p.setPen(qp);
            p.drawArc(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), start, span);
        },
        PenColour(c), c.St->Rop2);
    return true;
}

bool Pie(HDC Dc, int Left, int Top, int Right, int Bottom, int X3, int Y3, int X4, int Y4) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QRect box(c.Dev(Left, Top), c.Dev(Right, Bottom) - QPoint(1, 1));
    QPoint o = c.St->Org;
    int start, span;
    ArcAngles(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), X3 + o.x(), Y3 + o.y(), X4 + o.x(), Y4 + o.y(),
              start, span);
    Shape(
        c, box, [&](QPainter& p, QRectF a) { p.drawPie(a, start, span); },
        [&](QPainter& p) { p.drawPie(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), start, span); });
    return true;
}

namespace {
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
}  // namespace

int FillRect(HDC Dc, const TRect& R, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!b || !Open(Dc, c) || R.IsEmpty()) return 0;
    FillDevice(c, QRect(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1)), *b, R2_COPYPEN);
    return 1;
}

int FrameRect(HDC Dc, const TRect& R, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!b || !Open(Dc, c) || R.IsEmpty()) return 0;
    QPoint a = c.Dev(R.Left, R.Top), z = c.Dev(R.Right - 1, R.Bottom - 1);
    QRegion frame = QRegion(QRect(a, z)) - QRegion(QRect(a + QPoint(1, 1), z - QPoint(1, 1)));
    for (const QRect& part : frame) FillDevice(c, part, *b, R2_COPYPEN);
    return 1;
}

bool InvertRect(HDC Dc, const TRect& R) {
    Ctx c;
    if (!Open(Dc, c) || R.IsEmpty()) return false;
    FillDevice(c, QRect(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1)), BrushObj{}, R2_NOT);
    return true;
}

bool DrawFocusRect(HDC Dc, const TRect& R) {
    Ctx c;
    if (!Open(Dc, c) || R.IsEmpty()) return false;
    QPoint a = c.Dev(R.Left, R.Top), z = c.Dev(R.Right - 1, R.Bottom - 1);
    QRegion frame = QRegion(QRect(a, z)) - QRegion(QRect(a + QPoint(1, 1), z - QPoint(1, 1)));
    // Every other pixel of the frame, in a checkerboard fixed to the device, is inverted.
    for (const QRect& part : c.Clip& frame)
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int x = part.left(); x <= part.right(); ++x)
                if (((x + y) & 1) == 0) Store(c, x, y, ~ReadRgb(c.Img, x, y) & 0xFFFFFF);
    return true;
}

TColor GetPixel(HDC Dc, int X, int Y) {
    Ctx c;
    if (!Open(Dc, c)) return static_cast<TColor>(CLR_INVALID);
    QPoint p = c.Dev(X, Y);
    if (!c.Img->rect().contains(p)) return static_cast<TColor>(CLR_INVALID);
    return static_cast<TColor>(ReadRgb(c.Img, p.x(), p.y()));
}

TColor SetPixel(HDC Dc, int X, int Y, TColor Color) {
    Ctx c;
    if (!Open(Dc, c)) return static_cast<TColor>(CLR_INVALID);
    QPoint p = c.Dev(X, Y);
    if (!c.Clip.contains(p)) return static_cast<TColor>(CLR_INVALID);
    Store(c, p.x(), p.y(), ColorToRGB(Color));
    return static_cast<TColor>(ReadRgb(c.Img, p.x(), p.y()));
}

bool ExtFloodFill(HDC Dc, int X, int Y, TColor Color, int Type) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QPoint s = c.Dev(X, Y);
    if (!c.Clip.contains(s)) return false;
    uint32_t ref = ColorToRGB(Color);
    int w = c.Img->width(), h = c.Img->height();
    auto inside = [&](int x, int y) {
        uint32_t v = ReadRgb(c.Img, x, y);
        return Type == FLOODFILLSURFACE ? v == ref : v != ref;
    };
    if (!inside(s.x(), s.y())) return false;
    std::vector<uint8_t> seen(static_cast<size_t>(w) * h);
    std::vector<QPoint> todo{s};
    std::vector<QPoint> area;
    while (!todo.empty()) {
        QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) continue;
        size_t i = static_cast<size_t>(p.y()) * w + p.x();
        if (seen[i] || !c.Clip.contains(p) || !inside(p.x(), p.y())) continue;
        seen[i] = 1;
        area.push_back(p);
        todo.push_back(p + QPoint(1, 0));
        todo.push_back(p - QPoint(1, 0));
        todo.push_back(p + QPoint(0, 1));
        todo.push_back(p - QPoint(0, 1));
    }
    for (QPoint p : area) {
        uint32_t rgb;
        if (BrushAt(c, c.St->Brush, p.x(), p.y(), rgb)) Store(c, p.x(), p.y(), rgb);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Edges and frame controls

namespace {
void Band(Ctx& c, const QRect& r, uint32_t rgb) {
    FillDevice(c, r, BrushObj{BS_SOLID, rgb, 0, {}}, R2_COPYPEN);
}

// One ring of an edge: top-left lines in TL, bottom-right lines in BR (which own the corners
// bottom-left and top-right).
void Ring(Ctx& c, QRect& r, uint32_t tl, uint32_t br, uint32_t flags) {
    if (r.isEmpty()) return;
    if (flags & BF_LEFT) Band(c, QRect(r.left(), r.top(), 1, r.height() - ((flags & BF_BOTTOM) ? 1 : 0)), tl);
    if (flags & BF_TOP) Band(c, QRect(r.left(), r.top(), r.width() - ((flags & BF_RIGHT) ? 1 : 0), 1), tl);
    if (flags & BF_RIGHT) Band(c, QRect(r.right(), r.top(), 1, r.height()), br);
    if (flags & BF_BOTTOM) Band(c, QRect(r.left(), r.bottom(), r.width(), 1), br);
    r.adjust((flags & BF_LEFT) ? 1 : 0, (flags & BF_TOP) ? 1 : 0, (flags & BF_RIGHT) ? -1 : 0,
             (flags & BF_BOTTOM) ? -1 : 0);
}
}  // namespace

bool DrawEdge(HDC Dc, TRect& R, uint32_t Edge, uint32_t Flags) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    uint32_t light = GetSysColor(COLOR_3DLIGHT), hi = GetSysColor(COLOR_BTNHIGHLIGHT),
             shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW),
             face = GetSysColor(COLOR_BTNFACE);
    if (Flags & BF_MONO) light = hi = shadow = dark = GetSysColor(COLOR_WINDOWFRAME);
    if (Flags & BF_FLAT) {
        light = hi = shadow = dark = GetSysColor(COLOR_BTNSHADOW);
        if (Edge & BDR_INNER) light = hi = shadow = dark = face;
    }
    QRect r(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1));
    uint32_t sides = Flags & BF_RECT;
    // Outer ring.
    if (Edge & BDR_RAISEDOUTER)
        Ring(c, r, (Flags & BF_SOFT) ? hi : light, dark, sides);
    else if (Edge & BDR_SUNKENOUTER)
        Ring(c, r, (Flags & BF_SOFT) ? dark : shadow, hi, sides);
    // Inner ring.
    if (Edge & BDR_RAISEDINNER)
        Ring(c, r, (Flags & BF_SOFT) ? light : hi, shadow, sides);
    else if (Edge & BDR_SUNKENINNER)
        Ring(c, r, (Flags & BF_SOFT) ? shadow : dark, light, sides);
    if ((Flags & BF_MIDDLE) && !r.isEmpty()) Band(c, r, face);
    if (Flags & BF_ADJUST) {
        QPoint o = c.St->Org;
        R = TRect{r.left() - o.x(), r.top() - o.y(), r.right() + 1 - o.x(), r.bottom() + 1 - o.y()};
    }
    return true;
}

bool DrawFrameControl(HDC Dc, TRect& R, uint32_t Type, uint32_t State) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    uint32_t face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_BTNTEXT),
             gray = GetSysColor(COLOR_GRAYTEXT), window = GetSysColor(COLOR_WINDOW);
    TRect r = R;
    auto glyph = [&](const std::vector<QPoint>& pts, uint32_t rgb) {
        QPolygon poly;
        for (QPoint p : pts) poly << p;
        ApplyShape(
            c, poly.boundingRect().adjusted(-1, -1, 1, 1),
            [&](QPainter& p) {
                p.setPen(QPen(Qt::black, 0));
                p.setBrush(Qt::black);
                p.drawPolygon(poly);
            },
            [rgb](int, int, uint32_t& v) {
                v = rgb;
                return true;
            },
            R2_COPYPEN);
    };
    if (Type == DFC_BUTTON && (State & 0x1F) == DFCS_BUTTONPUSH) {
        if (State & DFCS_PUSHED)
            DrawEdge(Dc, r, (State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN,
                     BF_RECT | BF_MIDDLE | BF_ADJUST);
        else
            DrawEdge(Dc, r, (State & DFCS_FLAT) ? BDR_RAISEDINNER : EDGE_RAISED,
                     BF_RECT | BF_MIDDLE | BF_ADJUST);
    } else if (Type == DFC_BUTTON) {
        // Check box and radio button: a 13-pixel square or round box, at the left, centred.
        int size = std::min({13, r.Width(), r.Height()});
        TRect box = Bounds(r.Left, r.Top + (r.Height() - size) / 2, size, size);
        uint32_t fill = (State & (DFCS_INACTIVE | DFCS_PUSHED)) ? face : window;
        bool radio = (State & DFCS_BUTTONRADIO) != 0;
        QPoint o = c.St->Org;
        QRect q(box.Left + o.x(), box.Top + o.y(), box.Width(), box.Height());
        if (radio) {
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(Qt::black);
                    p.drawEllipse(q);
                },
                [fill](int, int, uint32_t& v) {
                    v = fill;
                    return true;
                },
                R2_COPYPEN);
            uint32_t sh = GetSysColor(COLOR_BTNSHADOW), hi = GetSysColor(COLOR_BTNHIGHLIGHT);
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(QPen(Qt::black, 0));
                    p.drawArc(QRectF(q).adjusted(0.5, 0.5, -0.5, -0.5), 45 * 16, 180 * 16);
                },
                [sh](int, int, uint32_t& v) {
                    v = sh;
                    return true;
                },
                R2_COPYPEN);
            ApplyShape(
                c, q.adjusted(-1, -1, 1, 1),
                [&](QPainter& p) {
                    p.setPen(QPen(Qt::black, 0));
                    p.drawArc(QRectF(q).adjusted(0.5, 0.5, -0.5, -0.5), 225 * 16, 180 * 16);
                },
                [hi](int, int, uint32_t& v) {
                    v = hi;
                    return true;
                },
                R2_COPYPEN);
            if (State & DFCS_CHECKED) {
                QRect dot = q.adjusted(4, 4, -4, -4);
                uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
                ApplyShape(
                    c, dot.adjusted(-1, -1, 1, 1),
                    [&](QPainter& p) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(Qt::black);
                        p.drawEllipse(dot);
                    },
                    [col](int, int, uint32_t& v) {
                        v = col;
                        return true;
                    },
                    R2_COPYPEN);
            }
        } else {
            TRect e = box;
            DrawEdge(Dc, e, (State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT | BF_ADJUST);
            FillDevice(c, QRect(e.Left + o.x(), e.Top + o.y(), e.Width(), e.Height()),
                       BrushObj{BS_SOLID, fill, 0, {}}, R2_COPYPEN);
            if (State & DFCS_CHECKED) {
                // The tick: a 7-pixel wide, 3-pixel thick check mark.
                uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
                int x0 = e.Left + o.x() + (e.Width() - 7) / 2, y0 = e.Top + o.y() + (e.Height() - 7) / 2 + 2;
                for (int i = 0; i < 7; ++i) {
                    int y = i < 3 ? y0 + i : y0 + 4 - i;
                    for (int k = 0; k < 3; ++k) PlotDevice(c, x0 + i, y + k, col, R2_COPYPEN);
                }
            }
        }
    } else if (Type == DFC_SCROLL || Type == DFC_CAPTION || Type == DFC_MENU) {
        if (Type != DFC_MENU) {
            uint32_t edge = (State & DFCS_PUSHED) ? ((State & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN)
                                                  : ((State & DFCS_FLAT) ? BDR_RAISEDINNER : EDGE_RAISED);
            DrawEdge(Dc, r, edge, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        QPoint o = c.St->Org;
        int cx = r.Left + o.x() + r.Width() / 2, cy = r.Top + o.y() + r.Height() / 2;
        if (State & DFCS_PUSHED) {
            ++cx;
            ++cy;
        }
        int s = std::max(2, std::min(r.Width(), r.Height()) / 4);
        uint32_t col = (State & DFCS_INACTIVE) ? gray : text;
        uint32_t kind = State & 0xFF;
        if (Type == DFC_SCROLL) {
            if (kind == DFCS_SCROLLUP)
                glyph({QPoint(cx - s, cy + s / 2), QPoint(cx + s, cy + s / 2), QPoint(cx, cy - s / 2 - 1)},
                      col);
            else if (kind == DFCS_SCROLLDOWN || kind == DFCS_SCROLLCOMBOBOX)
                glyph({QPoint(cx - s, cy - s / 2), QPoint(cx + s, cy - s / 2), QPoint(cx, cy + s / 2 + 1)},
                      col);
            else if (kind == DFCS_SCROLLLEFT)
                glyph({QPoint(cx + s / 2, cy - s), QPoint(cx + s / 2, cy + s), QPoint(cx - s / 2 - 1, cy)},
                      col);
            else if (kind == DFCS_SCROLLRIGHT)
                glyph({QPoint(cx - s / 2, cy - s), QPoint(cx - s / 2, cy + s), QPoint(cx + s / 2 + 1, cy)},
                      col);
        } else if (Type == DFC_MENU) {
            if (kind == DFCS_MENUARROW)
                glyph({QPoint(cx - s / 2, cy - s), QPoint(cx - s / 2, cy + s), QPoint(cx + s / 2 + 1, cy)},
                      col);
            else if (kind == DFCS_MENUBULLET)
                glyph({QPoint(cx - 2, cy - 2), QPoint(cx + 2, cy - 2), QPoint(cx + 2, cy + 2),
                       QPoint(cx - 2, cy + 2)},
                      col);
            else
                for (int i = 0; i < 7; ++i) {
                    int y = i < 3 ? cy - 1 + i : cy + 3 - i;
                    for (int k = 0; k < 3; ++k) PlotDevice(c, cx - 3 + i, y + k, col, R2_COPYPEN);
                }
        } else if (kind == DFCS_CAPTIONCLOSE) {
            for (int i = -s; i < s; ++i) {
                PlotDevice(c, cx + i, cy + i, col, R2_COPYPEN);
                PlotDevice(c, cx + i + 1, cy + i, col, R2_COPYPEN);
                PlotDevice(c, cx + i, cy - i - 1, col, R2_COPYPEN);
                PlotDevice(c, cx + i + 1, cy - i - 1, col, R2_COPYPEN);
            }
        } else {
            FillDevice(c, QRect(cx - s, cy + s - 2, 2 * s, 2), BrushObj{BS_SOLID, col, 0, {}}, R2_COPYPEN);
        }
    }
    if (State & DFCS_ADJUSTRECT) R = r;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Text

bool GetTextMetrics(HDC Dc, TTextMetric& M) {
    DcData* d = Data(Dc);
    TLogFont lf = d ? d->St.Font : DefaultFont();
    QFont f = MakeQFont(lf);
    QFontMetrics m(f);
    QFontInfo info(f);
    M = TTextMetric{};
    M.tmAscent = m.ascent();
    M.tmDescent = m.descent();
    M.tmHeight = m.ascent() + m.descent();
    M.tmInternalLeading = std::max(0, M.tmHeight - f.pixelSize());
    M.tmExternalLeading = std::max(0, m.leading());
    M.tmAveCharWidth = m.averageCharWidth();
    M.tmMaxCharWidth = m.maxWidth();
    M.tmWeight = lf.Weight >= 600 ? FW_BOLD : FW_NORMAL;
    M.tmOverhang = 0;
    M.tmItalic = lf.Italic;
    M.tmUnderlined = lf.Underline;
    M.tmStruckOut = lf.StrikeOut;
    M.tmPitchAndFamily =
        static_cast<uint8_t>((info.fixedPitch() ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE);
    M.tmCharSet = lf.CharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.CharSet;
    return true;
}

bool GetTextExtentPoint32(HDC Dc, const std::string& Text, TSize& Size) {
    DcData* d = Data(Dc);
    QFont f = MakeQFont(d ? d->St.Font : DefaultFont());
    QFontMetrics m(f);
    Size = TSize{TextWidthOf(m, Text), m.ascent() + m.descent()};
    return true;
}

namespace {
// Draws one run of text with its top-left at device point p (rotated about p by the escapement).
void DrawRun(Ctx& c, QPoint p, const std::string& text, const QFont& f) {
    PainterScope ps(c);
    ps->setFont(f);
    ps->setPen(QColor::fromRgb(ToQRgb(c.Mono ? MonoOf(c.St->TextColor) : c.St->TextColor)));
    QFontMetrics m(f);
    ps->translate(p);
    if (c.St->Font.Escapement) ps->rotate(-c.St->Font.Escapement / 10.0);
    ps->drawText(QPoint(0, m.ascent()), ToQ(text));
}
}  // namespace

bool ExtTextOut(HDC Dc, int X, int Y, uint32_t Options, const TRect* R, const std::string& Text,
                const int* Dx) {
    Ctx c;
    if (!Open(Dc, c)) return false;
    QFont f = MakeQFont(c.St->Font);
    QFontMetrics m(f);
    int width = 0;
    if (Dx)
        for (size_t i = 0; i < Text.size(); ++i) width += Dx[i];
    else
        width = TextWidthOf(m, Text);
    int height = m.ascent() + m.descent();
    QPoint p = c.Dev(X, Y);
    uint32_t a = c.St->TextAlign;
    if ((a & TA_CENTER) == TA_CENTER)
        p.rx() -= width / 2;
    else if (a & TA_RIGHT)
        p.rx() -= width;
    if ((a & TA_BASELINE) == TA_BASELINE)
        p.ry() -= m.ascent();
    else if (a & TA_BOTTOM)
        p.ry() -= height;
    QRegion saved = c.Clip;
    if (R && (Options & ETO_OPAQUE))
        FillDevice(c, QRect(c.Dev(R->Left, R->Top), c.Dev(R->Right - 1, R->Bottom - 1)),
                   BrushObj{BS_SOLID, c.St->BkColor, 0, {}}, R2_COPYPEN);
    if (R && (Options & ETO_CLIPPED))
        c.Clip &= QRegion(QRect(c.Dev(R->Left, R->Top), c.Dev(R->Right - 1, R->Bottom - 1)));
    if (c.St->BkMode == OPAQUE && !c.St->Font.Escapement)
        FillDevice(c, QRect(p.x(), p.y(), width, height), BrushObj{BS_SOLID, c.St->BkColor, 0, {}},
                   R2_COPYPEN);
    if (Dx) {
        int x = p.x();
        for (size_t i = 0; i < Text.size(); ++i) {
            DrawRun(c, QPoint(x, p.y()), Text.substr(i, 1), f);
            x += Dx[i];
        }
    } else {
        DrawRun(c, p, Text, f);
    }
    c.Clip = saved;
    return true;
}

bool TextOut(HDC Dc, int X, int Y, const std::string& Text) {
    return ExtTextOut(Dc, X, Y, 0, nullptr, Text);
}

// ---------------------------------------------------------------------------------------------
// Formatted text

namespace {
struct Line {
    std::string Text;
    int Underline = -1;  // index of the character shown underlined, -1 for none
};

// Removes prefix marks: "&&" shows one "&", "&x" shows x underlined (the last such one wins).
Line StripPrefix(const std::string& s, bool prefix) {
    Line l;
    if (!prefix) {
        l.Text = s;
        return l;
    }
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != '&') l.Underline = static_cast<int>(l.Text.size());
        } else if (s[i] == '&') {
            continue;
        }
        l.Text += s[i];
    }
    return l;
}

struct Measure {
    QFontMetrics M;
    int Tab;
    bool Expand;
    int Width(const std::string& s) const {
        if (!Expand || s.find('\t') == std::string::npos) return TextWidthOf(M, s);
        int x = 0;
        size_t start = 0;
        for (size_t i = 0; i <= s.size(); ++i)
            if (i == s.size() || s[i] == '\t') {
                x += TextWidthOf(M, s.substr(start, i - start));
                if (i < s.size()) x = (x / Tab + 1) * Tab;
                start = i + 1;
            }
        return x;
    }
};

std::string EndEllipsis(const Measure& m, const std::string& s, int width) {
    if (m.Width(s) <= width) return s;
    for (size_t k = s.size(); k-- > 0;) {
        std::string t = s.substr(0, k) + "...";
        if (m.Width(t) <= width) return t;
    }
    return "...";
}

std::string PathEllipsis(const Measure& m, const std::string& s, int width, bool alsoEnd) {
    if (m.Width(s) <= width) return s;
    size_t slash = s.find_last_of('\\');
    if (slash == std::string::npos) return alsoEnd ? EndEllipsis(m, s, width) : s;
    std::string head = s.substr(0, slash), tail = s.substr(slash);
    for (size_t k = head.size(); k-- > 0;) {
        std::string t = head.substr(0, k) + "..." + tail;
        if (m.Width(t) <= width) return t;
    }
    std::string t = "..." + tail;
    return alsoEnd ? EndEllipsis(m, t, width) : t;
}

std::vector<std::string> Wrap(const Measure& m, const std::string& para, int width) {
    std::vector<std::string> out;
    std::string line;
    size_t i = 0;
    while (i < para.size()) {
        size_t j = i;
        while (j < para.size() && para[j] != ' ') ++j;
        std::string word = para.substr(i, j - i);
        std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && m.Width(candidate) > width) {
            out.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        i = j;
        while (i < para.size() && para[i] == ' ') ++i;
    }
    out.push_back(line);
    return out;
}

void DrawLineText(Ctx& c, const Measure& m, const QFont& f, QPoint p, const std::string& s, int under,
                  bool prefixOnly) {
    if (!prefixOnly) {
        if (m.Expand && s.find('\t') != std::string::npos) {
            int x = 0;
            size_t start = 0;
            for (size_t i = 0; i <= s.size(); ++i)
                if (i == s.size() || s[i] == '\t') {
                    std::string part = s.substr(start, i - start);
                    if (!part.empty()) DrawRun(c, p + QPoint(x, 0), part, f);
                    x += TextWidthOf(m.M, part);
                    if (i < s.size()) x = (x / m.Tab + 1) * m.Tab;
                    start = i + 1;
                }
        } else {
            DrawRun(c, p, s, f);
        }
    }
    if (under >= 0 && under < static_cast<int>(s.size())) {
        int x0 = p.x() + m.Width(s.substr(0, under));
        int w = TextWidthOf(m.M, s.substr(under, 1));
        int y = p.y() + m.M.ascent() + 1;
        FillDevice(c, QRect(x0, y, w, 1),
                   BrushObj{BS_SOLID, c.Mono ? MonoOf(c.St->TextColor) : c.St->TextColor, 0, {}}, R2_COPYPEN);
    }
}
}  // namespace

int DrawTextEx(HDC Dc, std::string& Text, TRect& R, uint32_t Format) {
    Ctx c;
    bool canDraw = Open(Dc, c);
    DcData* d = Data(Dc);
    TLogFont lf = d ? d->St.Font : DefaultFont();
    QFont f = MakeQFont(lf);
    QFontMetrics qm(f);
    Measure m{qm, std::max(1, qm.averageCharWidth()) * 8, (Format & DT_EXPANDTABS) != 0};
    if (Format & DT_TABSTOP)
        m.Tab = std::max(1, qm.averageCharWidth() * static_cast<int>((Format >> 8) & 0xFF));
    int lineHeight =
        qm.ascent() + qm.descent() + ((Format & DT_EXTERNALLEADING) ? std::max(0, qm.leading()) : 0);
    int width = R.Width();
    bool prefix = !(Format & DT_NOPREFIX);

    // Paragraphs: single-line text shows line breaks as nothing; otherwise CR, LF and CR LF break.
    std::vector<std::string> paras;
    if (Format & DT_SINGLELINE) {
        std::string s;
        for (char ch : Text)
            if (ch != '\r' && ch != '\n') s += ch;
        paras.push_back(s);
    } else {
        std::string cur;
        for (size_t i = 0; i < Text.size(); ++i) {
            if (Text[i] == '\r' || Text[i] == '\n') {
                paras.push_back(cur);
                cur.clear();
                if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            } else {
                cur += Text[i];
            }
        }
        paras.push_back(cur);
    }

    std::vector<Line> lines;
    for (const std::string& p : paras) {
        Line l = StripPrefix(p, prefix);
        if ((Format & DT_WORDBREAK) && !(Format & DT_SINGLELINE) && !(Format & DT_CALCRECT && width <= 0)) {
            // Wrap the shown text; the underline follows its character into the line that holds it.
            std::vector<std::string> parts = Wrap(m, l.Text, width);
            size_t pos = 0;
            for (const std::string& part : parts) {
                size_t at = l.Text.find(part, pos);
                Line w{part, -1};
                if (l.Underline >= 0 && at != std::string::npos && l.Underline >= static_cast<int>(at) &&
                    l.Underline < static_cast<int>(at + part.size()))
                    w.Underline = l.Underline - static_cast<int>(at);
                if (at != std::string::npos) pos = at + part.size();
                lines.push_back(w);
            }
        } else {
            lines.push_back(l);
        }
    }

    bool ellipsis = Format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS);
    if (ellipsis && !(Format & DT_CALCRECT && width <= 0)) {
        for (Line& l : lines) {
            if (m.Width(l.Text) <= width) continue;
            std::string cut =
                (Format & DT_PATH_ELLIPSIS)
                    ? PathEllipsis(m, l.Text, width, Format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS))
                    : EndEllipsis(m, l.Text, width);
            if (l.Underline >= 0 && (l.Underline >= static_cast<int>(cut.size()) ||
                                     cut.compare(0, l.Underline + 1, l.Text, 0, l.Underline + 1) != 0))
                l.Underline = -1;
            l.Text = cut;
        }
        if ((Format & DT_MODIFYSTRING) && lines.size() == 1) Text = lines[0].Text;
    }

    int total = lineHeight * static_cast<int>(lines.size());
    int maxWidth = 0;
    for (const Line& l : lines) maxWidth = std::max(maxWidth, m.Width(l.Text));
    if (Format & DT_CALCRECT) {
        R.Right = R.Left + maxWidth;
        R.Bottom = R.Top + total;
        return total;
    }
    if (!canDraw) return total;

    int top = R.Top;
    if (Format & DT_SINGLELINE) {
        if (Format & DT_VCENTER)
            top = R.Top + (R.Height() - lineHeight) / 2;
        else if (Format & DT_BOTTOM)
            top = R.Bottom - lineHeight;
    }
    QRegion saved = c.Clip;
    if (!(Format & DT_NOCLIP))
        c.Clip &= QRegion(QRect(c.Dev(R.Left, R.Top), c.Dev(R.Right - 1, R.Bottom - 1)));
    int y = top;
    for (const Line& l : lines) {
        int w = m.Width(l.Text);
        int x = R.Left;
        if (Format & DT_CENTER)
            x = R.Left + (R.Width() - w) / 2;
        else if (Format & DT_RIGHT)
            x = R.Right - w;
        QPoint p = c.Dev(x, y);
        if (c.St->BkMode == OPAQUE && !(Format & DT_PREFIXONLY))
            FillDevice(c, QRect(p.x(), p.y(), w, lineHeight), BrushObj{BS_SOLID, c.St->BkColor, 0, {}},
                       R2_COPYPEN);
        DrawLineText(c, m, f, p, l.Text, (Format & DT_HIDEPREFIX) ? -1 : l.Underline, Format & DT_PREFIXONLY);
        y += lineHeight;
    }
    c.Clip = saved;
    return (Format & DT_SINGLELINE) && (Format & (DT_VCENTER | DT_BOTTOM)) ? top - R.Top + total : total;
}

int DrawText(HDC Dc, const std::string& Text, TRect& R, uint32_t Format) {
    std::string copy = Text;
    return DrawTextEx(Dc, copy, R, Format & ~DT_MODIFYSTRING);
}

// ---------------------------------------------------------------------------------------------
// Bit transfers

namespace {
// Colour of a source pixel as the destination sees it: monochrome to colour takes the
// destination's text (black) and background (white) colours; colour to monochrome is white where
// the source equals its context's background colour.
struct SourceView {
    const QImage* Img = nullptr;
    bool Mono = false;
    uint32_t Bk = 0xFFFFFF;
};

uint32_t Convert(const SourceView& s, uint32_t rgb, const Ctx& dest) {
    if (s.Mono && !dest.Mono) return rgb ? dest.St->BkColor : dest.St->TextColor;
    if (!s.Mono && dest.Mono) return rgb == s.Bk ? 0xFFFFFF : 0;
    return rgb;
}

bool Transfer(HDC Dest, QRect dst, HDC Src, QRect src, uint32_t Rop, const QImage* mask, QPoint maskAt,
              int64_t key = -1, bool keyBrush = false, bool flipX = false, bool flipY = false) {
    Ctx c;
    if (!Open(Dest, c)) return false;
    uint8_t fore = (Rop >> 16) & 0xFF, back = (Rop >> 24) & 0xFF;
    // An operation uses an operand when its truth table differs between the operand's two values.
    bool usesSource =
        ((fore >> 2) & 0x33) != (fore & 0x33) || (mask && ((back >> 2) & 0x33) != (back & 0x33));
    bool usesPattern =
        ((fore >> 4) & 0x0F) != (fore & 0x0F) || (mask && ((back >> 4) & 0x0F) != (back & 0x0F)) || keyBrush;
    SourceView sv;
    QImage copy;
    if (usesSource || Src) {
        Ctx s;
        if (!Open(Src, s)) {
            if (usesSource) return false;
        } else {
            // A copy keeps a transfer within one surface right when the areas overlap.
            if (s.Img == c.Img) {
                copy = s.Img->copy();
                sv.Img = &copy;
            } else {
                sv.Img = s.Img;
            }
            sv.Mono = s.Mono;
            sv.Bk = s.St->BkColor;
            src.translate(s.St->Org);
        }
    }
    dst.translate(c.St->Org);
    if (dst.isEmpty()) return true;
    const int sw = src.width(), sh = src.height();
    for (const QRect& part : c.Clip& QRegion(dst))
        for (int y = part.top(); y <= part.bottom(); ++y) {
            int ry = y - dst.top();
            int sy = src.top() + static_cast<int>(static_cast<int64_t>(flipY ? dst.height() - 1 - ry : ry) *
                                                  sh / dst.height());
            for (int x = part.left(); x <= part.right(); ++x) {
                int rx = x - dst.left();
                uint32_t S = 0;
                if (sv.Img) {
                    int sx = src.left() +
                             static_cast<int>(static_cast<int64_t>(flipX ? dst.width() - 1 - rx : rx) * sw /
                                              dst.width());
                    if (sx < 0 || sy < 0 || sx >= sv.Img->width() || sy >= sv.Img->height()) continue;
                    uint32_t raw = ReadRgb(sv.Img, sx, sy);
                    if (key >= 0 && raw == static_cast<uint32_t>(key)) {
                        uint32_t b;
                        if (keyBrush && BrushAt(c, c.St->Brush, x, y, b)) Store(c, x, y, b);
                        continue;
                    }
                    S = Convert(sv, raw, c);
                }
                uint32_t P = 0;
                if (usesPattern) {
                    if (!BrushAt(c, c.St->Brush, x, y, P)) P = 0;
                    if (c.Mono) P = MonoOf(P);
                }
                uint8_t t = fore;
                if (mask) {
                    int mx = maskAt.x() + rx, my = maskAt.y() + ry;
                    bool bit = mx >= 0 && my >= 0 && mx < mask->width() && my < mask->height() &&
                               (ReadRgb(mask, mx, my) & 0xFFFFFF) != 0;
                    t = bit ? fore : back;
                }
                Store(c, x, y, Rop3(t, P, S, ReadRgb(c.Img, x, y)));
            }
        }
    return true;
}
}  // namespace

bool BitBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, uint32_t Rop) {
    return Transfer(Dest, QRect(X, Y, Width, Height), Src, QRect(XSrc, YSrc, Width, Height), Rop, nullptr,
                    {});
}

bool StretchBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, int SrcWidth,
                int SrcHeight, uint32_t Rop) {
    if (Width == 0 || Height == 0 || SrcWidth == 0 || SrcHeight == 0) return false;
    // A negative extent mirrors: the rectangle then runs from X + Width up to X - 1.
    auto span = [](int x, int y, int w, int h) {
        return QRect(w < 0 ? x + w : x, h < 0 ? y + h : y, std::abs(w), std::abs(h));
    };
    return Transfer(Dest, span(X, Y, Width, Height), Src, span(XSrc, YSrc, SrcWidth, SrcHeight), Rop, nullptr,
                    {}, -1, false, (Width < 0) != (SrcWidth < 0), (Height < 0) != (SrcHeight < 0));
}

bool KeyedStretchBlt(HDC Dest, const TRect& D, HDC Src, const TRect& S, uint32_t KeyRgb, bool PaintBrush) {
    return Transfer(Dest, QRect(D.Left, D.Top, D.Width(), D.Height()), Src,
                    QRect(S.Left, S.Top, S.Width(), S.Height()), SRCCOPY, nullptr, {}, KeyRgb, PaintBrush);
}

bool PatBlt(HDC Dc, int X, int Y, int Width, int Height, uint32_t Rop) {
    return Transfer(Dc, QRect(X, Y, Width, Height), 0, QRect(), Rop, nullptr, {});
}

bool MaskBlt(HDC Dest, int X, int Y, int Width, int Height, HDC Src, int XSrc, int YSrc, HBITMAP Mask,
             int XMask, int YMask, uint32_t Rop4) {
    TBitmapObject* m = BitmapObjectOf(Mask);
    if (!m) return BitBlt(Dest, X, Y, Width, Height, Src, XSrc, YSrc, Rop4 & 0xFFFFFF);
    return Transfer(Dest, QRect(X, Y, Width, Height), Src, QRect(XSrc, YSrc, Width, Height), Rop4, &m->Image,
                    QPoint(XMask, YMask));
}

// ---------------------------------------------------------------------------------------------
// Palettes

HPALETTE CreatePalette(uint16_t Version, const std::vector<TPaletteEntry>& Entries) {
    if (Version != 0x300 || Entries.empty() || Entries.size() > 1024) return 0;
    return AddObject(PaletteObj{Entries});
}

HPALETTE SelectPalette(HDC Dc, HPALETTE Palette, bool) {
    DcData* d = Data(Dc);
    if (!d || !FindAs<PaletteObj>(Palette)) return 0;
    HPALETTE old = d->St.SelPalette ? d->St.SelPalette : GetStockObject(DEFAULT_PALETTE);
    d->St.SelPalette = Palette;
    return old;
}

unsigned RealizePalette(HDC Dc) {
    return Data(Dc) ? 0 : static_cast<unsigned>(-1);
}

unsigned GetPaletteEntries(HPALETTE Palette, unsigned Start, unsigned Count, TPaletteEntry* Entries) {
    auto* p = FindAs<PaletteObj>(Palette);
    if (!p) return 0;
    if (!Entries) return static_cast<unsigned>(p->Entries.size());
    unsigned n = 0;
    for (unsigned i = Start; i < p->Entries.size() && n < Count; ++i) Entries[n++] = p->Entries[i];
    return n;
}

unsigned GetNearestPaletteIndex(HPALETTE Palette, TColor Color) {
    auto* p = FindAs<PaletteObj>(Palette);
    if (!p) return static_cast<unsigned>(CLR_INVALID);
    uint32_t rgb = ColorToRGB(Color);
    unsigned best = 0;
    int bestD = INT32_MAX;
    for (unsigned i = 0; i < p->Entries.size(); ++i) {
        const TPaletteEntry& e = p->Entries[i];
        int dr = e.peRed - GetRValue(rgb), dg = e.peGreen - GetGValue(rgb), db = e.peBlue - GetBValue(rgb);
        int dd = dr * dr + dg * dg + db * db;
        if (dd < bestD) bestD = dd, best = i;
    }
    return best;
}

// ---------------------------------------------------------------------------------------------
// Regions

namespace {
int TypeOf(const QRegion& r) {
    if (r.isEmpty()) return NULLREGION;
    return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
QRegion RoundRegion(int l, int t, int r, int b, int w, int h) {
    QPainterPath path;
    path.addRoundedRect(QRectF(l, t, r - l, b - t), w / 2.0, h / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}
}  // namespace

HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom) {
    QRect r(QPoint(std::min(Left, Right), std::min(Top, Bottom)),
            QPoint(std::max(Left, Right) - 1, std::max(Top, Bottom) - 1));
    return AddObject(RegionObj{r.isEmpty() ? QRegion() : QRegion(r)});
}
HRGN CreateRectRgnIndirect(const TRect& R) {
    return CreateRectRgn(R.Left, R.Top, R.Right, R.Bottom);
}
HRGN CreateRoundRectRgn(int Left, int Top, int Right, int Bottom, int Width, int Height) {
    return AddObject(RegionObj{RoundRegion(Left, Top, Right, Bottom, Width, Height)});
}
HRGN CreateEllipticRgn(int Left, int Top, int Right, int Bottom) {
    return AddObject(RegionObj{QRegion(QRect(Left, Top, Right - Left, Bottom - Top), QRegion::Ellipse)});
}
HRGN CreatePolygonRgn(const TPoint* Points, int Count, int FillMode) {
    QPolygon p;
    for (int i = 0; i < Count; ++i) p << QPoint(Points[i].X, Points[i].Y);
    return AddObject(RegionObj{QRegion(p, FillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill)});
}

int CombineRgn(HRGN Dest, HRGN A, HRGN B, int Mode) {
    auto* d = FindAs<RegionObj>(Dest);
    auto* a = FindAs<RegionObj>(A);
    auto* b = FindAs<RegionObj>(B);
    if (!d || !a || (Mode != RGN_COPY && !b)) return RGN_ERROR;
    QRegion r;
    switch (Mode) {
        case RGN_AND:
            r = a->Rgn & b->Rgn;
            break;
        case RGN_OR:
            r = a->Rgn | b->Rgn;
            break;
        case RGN_XOR:
            r = a->Rgn ^ b->Rgn;
            break;
        case RGN_DIFF:
            r = a->Rgn - b->Rgn;
            break;
        case RGN_COPY:
            r = a->Rgn;
            break;
        default:
            return RGN_ERROR;
    }
    d->Rgn = r;
    return TypeOf(r);
}

int OffsetRgn(HRGN Rgn, int DX, int DY) {
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r) return RGN_ERROR;
    r->Rgn.translate(DX, DY);
    return TypeOf(r->Rgn);
}
bool PtInRegion(HRGN Rgn, int X, int Y) {
    auto* r = FindAs<RegionObj>(Rgn);
    return r && r->Rgn.contains(QPoint(X, Y));
}
bool RectInRegion(HRGN Rgn, const TRect& R) {
    auto* r = FindAs<RegionObj>(Rgn);
    return r && !R.IsEmpty() && r->Rgn.intersects(QRect(R.Left, R.Top, R.Width(), R.Height()));
}
bool EqualRgn(HRGN A, HRGN B) {
    auto* a = FindAs<RegionObj>(A);
    auto* b = FindAs<RegionObj>(B);
    return a && b && a->Rgn == b->Rgn;
}
int GetRgnBox(HRGN Rgn, TRect* R) {
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r || !R) return RGN_ERROR;
    QRect b = r->Rgn.boundingRect();
    *R = r->Rgn.isEmpty() ? TRect{} : TRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return TypeOf(r->Rgn);
}

bool FillRgn(HDC Dc, HRGN Rgn, HBRUSH Brush) {
    Ctx c;
    BrushObj tmp;
    auto* r = FindAs<RegionObj>(Rgn);
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!r || !b || !Open(Dc, c)) return false;
    for (const QRect& part : r->Rgn.translated(c.St->Org)) FillDevice(c, part, *b, R2_COPYPEN);
    return true;
}

bool FrameRgn(HDC Dc, HRGN Rgn, HBRUSH Brush, int Width, int Height) {
    Ctx c;
    BrushObj tmp;
    auto* r = FindAs<RegionObj>(Rgn);
    const BrushObj* b = BrushFor(Dc, Brush, tmp);
    if (!r || !b || !Open(Dc, c)) return false;
    QRegion in = r->Rgn.translated(Width, 0) & r->Rgn.translated(-Width, 0) & r->Rgn.translated(0, Height) &
                 r->Rgn.translated(0, -Height) & r->Rgn;
    for (const QRect& part : (r->Rgn - in).translated(c.St->Org)) FillDevice(c, part, *b, R2_COPYPEN);
    return true;
}

bool InvertRgn(HDC Dc, HRGN Rgn) {
    Ctx c;
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r || !Open(Dc, c)) return false;
    for (const QRect& part : r->Rgn.translated(c.St->Org)) FillDevice(c, part, BrushObj{}, R2_NOT);
    return true;
}

int ExtSelectClipRgn(HDC Dc, HRGN Rgn, int Mode) {
    DcData* d = Data(Dc);
    if (!d) return RGN_ERROR;
    State& s = d->St;
    auto* r = FindAs<RegionObj>(Rgn);
    if (!r) {
        if (Mode != RGN_COPY) return RGN_ERROR;
        s.HasClip = false;
        s.Clip = QRegion();
    } else {
        // Clip regions are kept in device coordinates: the origin in force now places them.
        QRegion n = r->Rgn.translated(s.Org);
        QRegion old = s.HasClip ? s.Clip : QRegion(QRect(-(1 << 28), -(1 << 28), 1 << 29, 1 << 29));
        switch (Mode) {
            case RGN_AND:
                s.Clip = old & n;
                break;
            case RGN_OR:
                s.Clip = old | n;
                break;
            case RGN_XOR:
                s.Clip = old ^ n;
                break;
            case RGN_DIFF:
                s.Clip = old - n;
                break;
            default:
                s.Clip = n;
                break;
        }
        s.HasClip = true;
    }
    TRect box;
    return GetClipBox(Dc, &box);
}

int SelectClipRgn(HDC Dc, HRGN Rgn) {
    return ExtSelectClipRgn(Dc, Rgn, RGN_COPY);
}

int IntersectClipRect(HDC Dc, int Left, int Top, int Right, int Bottom) {
    HRGN r = CreateRectRgn(Left, Top, Right, Bottom);
    int t = ExtSelectClipRgn(Dc, r, RGN_AND);
    DeleteObject(r);
    return t;
}

int ExcludeClipRect(HDC Dc, int Left, int Top, int Right, int Bottom) {
    HRGN r = CreateRectRgn(Left, Top, Right, Bottom);
    int t = ExtSelectClipRgn(Dc, r, RGN_DIFF);
    DeleteObject(r);
    return t;
}

int GetClipBox(HDC Dc, TRect* R) {
    Ctx c;
    if (!R || !Open(Dc, c)) return RGN_ERROR;
    QRect b = c.Clip.boundingRect().translated(-c.St->Org);
    *R = c.Clip.isEmpty() ? TRect{} : TRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    return TypeOf(c.Clip);
}

int GetClipRgn(HDC Dc, HRGN Rgn) {
    DcData* d = Data(Dc);
    auto* r = FindAs<RegionObj>(Rgn);
    if (!d || !r) return -1;
    if (!d->St.HasClip) return 0;
    r->Rgn = d->St.Clip.translated(-d->St.Org);
    return 1;
}

}  // namespace framework
