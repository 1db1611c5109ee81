#include "framework/print/PagePicture.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <set>

#include "framework/graphics/GdiImpl.h"
#include "framework/print/PrintImpl.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

namespace {

// Beyond this many rectangles a page keeps its pixels instead (a picture, not a report page).
constexpr size_t kMaxFills = 20000;
constexpr uint32_t kWhite = 0xFFFFFF;

std::set<uintptr_t>& PageContexts() {
    static std::set<uintptr_t> s;
    return s;
}

// One row's run of equal pixels, kept open while the rows below repeat it.
struct TRun {
    int X0 = 0, X1 = 0;  // X1 exclusive
    uint32_t Rgb = 0;
    int Y0 = 0;
};

// A page rectangle at scale: edges rounded, never thinner than one pixel.
QRect Scaled(const QRect& R, double Sx, double Sy, QPoint At) {
    int l = static_cast<int>(std::floor(R.left() * Sx + 0.5));
    int t = static_cast<int>(std::floor(R.top() * Sy + 0.5));
    int r = static_cast<int>(std::floor((R.right() + 1) * Sx + 0.5));
    int b = static_cast<int>(std::floor((R.bottom() + 1) * Sy + 0.5));
    if (r <= l) r = l + 1;
    if (b <= t) b = t + 1;
    return QRect(QPoint(l, t) + At, QPoint(r - 1, b - 1) + At);
}

QColor ColorOf(uint32_t Rgb) {
    return QColor(Rgb & 0xFF, (Rgb >> 8) & 0xFF, (Rgb >> 16) & 0xFF);
}

// Draws the page on an image of the destination's size, without antialiasing, as the canvas would.
void Render(const TPagePictureData& Page, QImage& Image) {
    Image.fill(Qt::white);
    double sx = static_cast<double>(Image.width()) / Page.Width;
    double sy = static_cast<double>(Image.height()) / Page.Height;
    QPainter p(&Image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (!Page.Raster.isNull()) p.drawImage(QRect(0, 0, Image.width(), Image.height()), Page.Raster);
    for (const auto& f : Page.Fills) p.fillRect(Scaled(f.Rect, sx, sy, QPoint()), ColorOf(f.Rgb));
    p.scale(sx, sy);
    p.drawPicture(0, 0, Page.Text);
}

}  // namespace

std::unique_ptr<TPagePictureData> CapturePage(const QImage& Pixels, const QPicture& Text, int Resolution) {
    auto d = std::make_unique<TPagePictureData>();
    d->Width = Pixels.width();
    d->Height = Pixels.height();
    d->Resolution = Resolution;
    d->Text = Text;
    QImage img =
        Pixels.format() == QImage::Format_RGB32 ? Pixels : Pixels.convertToFormat(QImage::Format_RGB32);
    // Runs of one colour per row; a run that the next row repeats exactly grows into a rectangle.
    std::vector<TRun> open, next;
    auto close = [&](const TRun& r, int y) {
        d->Fills.push_back({QRect(r.X0, r.Y0, r.X1 - r.X0, y - r.Y0), r.Rgb});
    };
    for (int y = 0; y <= d->Height && d->Fills.size() <= kMaxFills; ++y) {
        next.clear();
        size_t o = 0;
        if (y < d->Height) {
            const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
            int x = 0;
            while (x < d->Width) {
                uint32_t rgb = FromQRgb(row[x]);
                int x0 = x;
                while (x < d->Width && FromQRgb(row[x]) == rgb) ++x;
                if (rgb == kWhite) continue;
                while (o < open.size() && open[o].X0 < x0) close(open[o++], y);
                if (o < open.size() && open[o].X0 == x0 && open[o].X1 == x && open[o].Rgb == rgb) {
                    next.push_back(open[o++]);
                } else {
                    if (o < open.size() && open[o].X0 == x0) close(open[o++], y);
                    next.push_back({x0, x, rgb, y});
                }
            }
        }
        while (o < open.size()) close(open[o++], y);
        open.swap(next);
    }
    if (d->Fills.size() > kMaxFills) {
        d->Fills.clear();
        d->Raster = img;
    }
    return d;
}

void PlayPage(const TPagePictureData& Page, QPainter& P, const QRectF& Dest) {
    P.save();
    P.translate(Dest.topLeft());
    P.scale(Dest.width() / Page.Width, Dest.height() / Page.Height);
    P.setRenderHint(QPainter::Antialiasing, false);
    // The printer gets the pixels as they are, not a lossy compression of them.
    P.setRenderHint(QPainter::LosslessImageRendering, true);
    P.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (!Page.Raster.isNull()) P.drawImage(QRectF(0, 0, Page.Width, Page.Height), Page.Raster);
    for (const auto& f : Page.Fills) P.fillRect(QRectF(f.Rect), ColorOf(f.Rgb));
    P.drawPicture(0, 0, Page.Text);
    P.restore();
}

void RegisterPageContext(uintptr_t Dc) {
    PageContexts().insert(Dc);
}
void UnregisterPageContext(uintptr_t Dc) {
    PageContexts().erase(Dc);
}
bool IsPageContext(uintptr_t Dc) {
    return PageContexts().count(Dc) != 0;
}

TPagePicture::TPagePicture(std::unique_ptr<TPagePictureData> Data) : D(std::move(Data)) {}
TPagePicture::~TPagePicture() = default;
TPagePicture::TPagePicture(TPagePicture&&) noexcept = default;
TPagePicture& TPagePicture::operator=(TPagePicture&&) noexcept = default;

int TPagePicture::Width() const {
    return D->Width;
}
int TPagePicture::Height() const {
    return D->Height;
}
int TPagePicture::Resolution() const {
    return D->Resolution;
}

void TPagePicture::Draw(TCanvas& Canvas, const TRect& Dest) const {
    HDC dc = Canvas.Handle();
    int w = Dest.Right - Dest.Left, h = Dest.Bottom - Dest.Top;
    if (!dc || w <= 0 || h <= 0 || D->Width <= 0 || D->Height <= 0) return;
    if (IsPageContext(dc)) {
        // On a printer page the pixels go through the drawing layer and the text stays text.
        double sx = static_cast<double>(w) / D->Width, sy = static_cast<double>(h) / D->Height;
        HBRUSH white = CreateSolidBrush(clWhite);
        FillRect(dc, Dest, white);
        DeleteObject(white);
        if (!D->Raster.isNull()) {
            HDC mem = CreateCompatibleDC(0);
            HBITMAP bmp =
                CreateBitmapObject(std::make_shared<TBitmapObject>(TBitmapObject{D->Raster, false}));
            HGDIOBJ old = SelectObject(mem, bmp);
            StretchBlt(dc, Dest.Left, Dest.Top, w, h, mem, 0, 0, D->Width, D->Height, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
            DeleteObject(bmp);
        }
        for (const auto& f : D->Fills) {
            QRect r = Scaled(f.Rect, sx, sy, QPoint(Dest.Left, Dest.Top));
            HBRUSH b = CreateSolidBrush(static_cast<TColor>(f.Rgb));
            FillRect(dc, TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}, b);
            DeleteObject(b);
        }
        if (QPainter* p = PainterOf(dc)) {
            TPoint org;
            GetViewportOrgEx(dc, &org);
            p->save();
            p->translate(Dest.Left + org.X, Dest.Top + org.Y);
            p->scale(sx, sy);
            p->drawPicture(0, 0, D->Text);
            p->restore();
        }
        return;
    }
    // Anywhere else the page is drawn at the destination's size and copied in, within the clip.
    HDC mem = CreateCompatibleDC(0);
    HBITMAP bmp = CreateBitmapObject(
        std::make_shared<TBitmapObject>(TBitmapObject{QImage(w, h, QImage::Format_RGB32), false}));
    HGDIOBJ old = SelectObject(mem, bmp);
    Render(*D, *TargetImage(mem));
    BitBlt(dc, Dest.Left, Dest.Top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
}

}  // namespace framework
