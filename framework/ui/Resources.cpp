// The resource registry and the cursors of the screen.
#include "framework/ui/Resources.h"

#include <QBitmap>
#include <QCursor>
#include <QPixmap>
#include <cctype>
#include <map>
#include <memory>

#include "framework/graphics/Gdi.h"
#include "framework/graphics/GdiImpl.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

std::string TResourceId::Key() const {
    if (Number >= 0) return "#" + std::to_string(Number);
    std::string k = Name;
    for (char& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return k;
}

namespace {

struct CursorEntry {
    TBitmapMaker Make;
    TPoint HotSpot;
    HCURSOR Loaded = 0;
};

struct DataEntry {
    uint32_t Type = 0;
    std::vector<uint8_t> Bytes;
};

struct Registry {
    std::map<std::string, TBitmapMaker> Bitmaps;
    std::map<std::string, CursorEntry> Cursors;
    std::vector<std::pair<std::string, DataEntry>> Data;  // a handle is the index plus one
    std::vector<QCursor> CursorObjects;                   // a handle is the index plus 0x1000
    std::map<int16_t, HCURSOR> ScreenCursors;
};

Registry& R() {
    static Registry* r = new Registry;  // lives to the end of the process
    return *r;
}

constexpr HCURSOR kCursorBase = 0x1000;

void DrawCheckBoxes(TBitmap& b) {
    constexpr int cell = 13;
    b.SetSize(4 * cell, 3 * cell);
    TCanvas& c = b.Canvas();
    c.Brush.Color = clBtnFace;
    c.FillRect(Rect(0, 0, 4 * cell, 3 * cell));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) {
            TRect r = Bounds(col * cell, row * cell, cell, cell);
            bool pressed = col >= 2, checked = col % 2 == 1;
            c.Brush.Color = pressed ? clBtnFace : clWindow;
            c.Pen.Color = clBtnShadow;
            if (row == 1)
                c.Ellipse(r.Left, r.Top, r.Right, r.Bottom);
            else
                c.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
            if (!checked) continue;
            c.Pen.Color = row == 2 ? clGrayText : clWindowText;
            c.Brush.Color = c.Pen.Color;
            if (row == 1) {
                c.Ellipse(r.Left + 4, r.Top + 4, r.Left + 9, r.Top + 9);
            } else {
                for (int d = 0; d < 3; ++d) {  // a tick, three pixels thick
                    c.MoveTo(r.Left + 3, r.Top + 5 + d);
                    c.LineTo(r.Left + 5, r.Top + 7 + d);
                    c.LineTo(r.Left + 10, r.Top + 2 + d);
                }
            }
        }
}

const TBitmapMaker* FindBitmap(HINSTANCE Instance, const TResourceId& Id) {
    static const TBitmapMaker checkBoxes = DrawCheckBoxes;
    if (Instance == 0) return Id.Number == OBM_CHECKBOXES ? &checkBoxes : nullptr;
    auto it = R().Bitmaps.find(Id.Key());
    return it == R().Bitmaps.end() ? nullptr : &it->second;
}

QImage ImageOf(TBitmap& b) {
    if (b.Empty()) return QImage();
    TBitmapObject* o = BitmapObjectOf(b.Handle());
    return o ? o->Image.convertToFormat(QImage::Format_ARGB32) : QImage();
}

}  // namespace

void RegisterBitmapResource(const TResourceId& Id, TBitmapMaker Make) {
    R().Bitmaps[Id.Key()] = std::move(Make);
}

void RegisterCursorResource(const TResourceId& Id, TBitmapMaker Make, TPoint HotSpot) {
    R().Cursors[Id.Key()] = CursorEntry{std::move(Make), HotSpot, 0};
}

void RegisterDataResource(const TResourceId& Id, uint32_t Type, std::vector<uint8_t> Data) {
    std::string key = Id.Key();
    for (auto& [k, d] : R().Data)
        if (k == key && d.Type == Type) {
            d.Bytes = std::move(Data);
            return;
        }
    R().Data.emplace_back(key, DataEntry{Type, std::move(Data)});
}

bool LoadBitmapResource(TBitmap& Bitmap, const TResourceId& Id, HINSTANCE Instance) {
    const TBitmapMaker* make = FindBitmap(Instance, Id);
    Bitmap.FreeImage();
    if (!make) return false;
    (*make)(Bitmap);
    return true;
}

HBITMAP LoadBitmap(HINSTANCE Instance, const TResourceId& Id) {
    const TBitmapMaker* make = FindBitmap(Instance, Id);
    if (!make) return 0;
    TBitmap b;
    (*make)(b);
    auto obj = std::make_shared<TBitmapObject>();
    if (TBitmapObject* o = b.Empty() ? nullptr : BitmapObjectOf(b.Handle())) obj->Image = o->Image.copy();
    return CreateBitmapObject(std::move(obj));
}

HCURSOR LoadCursor(HINSTANCE Instance, const TResourceId& Id) {
    if (Instance == 0) return 0;
    auto it = R().Cursors.find(Id.Key());
    if (it == R().Cursors.end()) return 0;
    CursorEntry& e = it->second;
    if (e.Loaded) return e.Loaded;
    EnsureGuiApplication();
    TBitmap b;
    e.Make(b);
    QImage img = ImageOf(b);
    // The transparent colour becomes see-through.
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFF00FF) line[x] = 0;
    }
    QPixmap pm = img.isNull() ? QPixmap(1, 1) : QPixmap::fromImage(img);
    if (img.isNull()) pm.fill(Qt::transparent);
    R().CursorObjects.emplace_back(pm, e.HotSpot.X, e.HotSpot.Y);
    e.Loaded = kCursorBase + R().CursorObjects.size() - 1;
    return e.Loaded;
}

HRSRC FindResource(HINSTANCE Instance, const TResourceId& Id, uint32_t Type) {
    if (Instance == 0) return 0;
    std::string key = Id.Key();
    auto& d = R().Data;
    for (size_t i = 0; i < d.size(); ++i)
        if (d[i].first == key && d[i].second.Type == Type) return i + 1;
    return 0;
}

uint32_t SizeofResource(HINSTANCE, HRSRC Resource) {
    auto& d = R().Data;
    if (Resource == 0 || Resource > d.size()) return 0;
    return static_cast<uint32_t>(d[Resource - 1].second.Bytes.size());
}

HGLOBAL LoadResource(HINSTANCE, HRSRC Resource) {
    return Resource > 0 && Resource <= R().Data.size() ? Resource : 0;
}

const void* LockResource(HGLOBAL Data) {
    auto& d = R().Data;
    if (Data == 0 || Data > d.size()) return nullptr;
    return d[Data - 1].second.Bytes.data();
}

HCURSOR ScreenCursor(int16_t Index) {
    auto it = R().ScreenCursors.find(Index);
    return it == R().ScreenCursors.end() ? 0 : it->second;
}

void SetScreenCursor(int16_t Index, HCURSOR Cursor) {
    if (Cursor)
        R().ScreenCursors[Index] = Cursor;
    else
        R().ScreenCursors.erase(Index);
}

QCursor CursorFor(int16_t Cursor) {
    HCURSOR h = ScreenCursor(Cursor);
    if (h >= kCursorBase && h - kCursorBase < R().CursorObjects.size())
        return R().CursorObjects[h - kCursorBase];
    return QCursor(ToQtCursor(Cursor));
}

void ApplyCursor(QWidget* Widget, int16_t Cursor) {
    if (!Widget) return;
    Widget->setProperty("korvaneCursor", static_cast<int>(Cursor));
    Widget->setCursor(CursorFor(Cursor));
}

int16_t AppliedCursor(QWidget* Widget) {
    QVariant v = Widget ? Widget->property("korvaneCursor") : QVariant();
    return v.isValid() ? static_cast<int16_t>(v.toInt()) : 0;  // crDefault
}

}  // namespace framework
