#include "framework/ui/Graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include "framework/ui/WindowsImpl.h"

namespace framework {

uint32_t ColorToRGB(TColor Color) {
    uint32_t c = static_cast<uint32_t>(Color);
    if (c & 0x80000000u) return GetSysColor(static_cast<int>(c & 0xFF));
    return c & 0xFFFFFF;
}

namespace {
QColor ToQColor(TColor c) {
    uint32_t rgb = ColorToRGB(c);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

QFont ToQFont(const TFont& f) {
    QFont q(QString::fromStdU16String(AnsiToUtf16(f.Name)));
    q.setPixelSize(-f.Height());
    q.setBold(f.Style & fsBold);
    q.setItalic(f.Style & fsItalic);
    q.setUnderline(f.Style & fsUnderline);
    q.setStrikeOut(f.Style & fsStrikeOut);
    return q;
}
}  // namespace

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
    FSize = Source.FSize;
    Changed();
}

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::SetOrigin(int X, int Y) {
    FOrigin = TPoint{X, Y};
}

#define KORVANE_PAINTER(p)            \
    QPainter* p = PainterOf(FHandle); \
    if (!p) return

void TCanvas::FillRect(const TRect& R) {
    KORVANE_PAINTER(p);
    if (Brush.Clear) return;
    p->fillRect(R.Left + FOrigin.X, R.Top + FOrigin.Y, R.Width(), R.Height(), ToQColor(Brush.Color));
}

void TCanvas::FrameRect(const TRect& R) {
    KORVANE_PAINTER(p);
    QColor c = ToQColor(Brush.Color);
    int l = R.Left + FOrigin.X, t = R.Top + FOrigin.Y;
    p->fillRect(l, t, R.Width(), 1, c);
    p->fillRect(l, t + R.Height() - 1, R.Width(), 1, c);
    p->fillRect(l, t, 1, R.Height(), c);
    p->fillRect(l + R.Width() - 1, t, 1, R.Height(), c);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    KORVANE_PAINTER(p);
    TRect r{X1, Y1, X2, Y2};
    if (!Brush.Clear) FillRect(r);
    p->setPen(QPen(ToQColor(Pen.Color), Pen.Width));
    p->setBrush(Qt::NoBrush);
    p->drawRect(X1 + FOrigin.X, Y1 + FOrigin.Y, r.Width() - 1, r.Height() - 1);
}

void TCanvas::MoveTo(int X, int Y) {
    PenPos = TPoint{X, Y};
}

void TCanvas::LineTo(int X, int Y) {
    KORVANE_PAINTER(p);
    p->setPen(QPen(ToQColor(Pen.Color), Pen.Width));
    // The end point itself is not drawn.
    QLineF line(PenPos.X + FOrigin.X, PenPos.Y + FOrigin.Y, X + FOrigin.X, Y + FOrigin.Y);
    if (line.length() >= 1) {
        line.setLength(line.length() - 1);
        p->drawLine(line);
    }
    PenPos = TPoint{X, Y};
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    KORVANE_PAINTER(p);
    QFont f = ToQFont(Font);
    QFontMetrics m(f);
    QString s = QString::fromStdU16String(AnsiToUtf16(Text));
    if (!Brush.Clear)
        p->fillRect(X + FOrigin.X, Y + FOrigin.Y, m.horizontalAdvance(s), m.height(), ToQColor(Brush.Color));
    p->setFont(f);
    p->setPen(ToQColor(Font.Color));
    p->drawText(X + FOrigin.X, Y + FOrigin.Y + m.ascent(), s);
    PenPos = TPoint{X + m.horizontalAdvance(s), Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::string& Text) {
    KORVANE_PAINTER(p);
    p->save();
    p->setClipRect(R.Left + FOrigin.X, R.Top + FOrigin.Y, R.Width(), R.Height(), Qt::IntersectClip);
    if (!Brush.Clear) FillRect(R);
    bool clear = Brush.Clear;
    Brush.Clear = true;
    TextOut(X, Y, Text);
    Brush.Clear = clear;
    p->restore();
}

int TCanvas::TextWidth(const std::string& Text) {
    EnsureGuiApplication();
    return QFontMetrics(ToQFont(Font)).horizontalAdvance(QString::fromStdU16String(AnsiToUtf16(Text)));
}

int TCanvas::TextHeight(const std::string&) {
    EnsureGuiApplication();
    return QFontMetrics(ToQFont(Font)).height();
}

TColor TCanvas::Pixel(int X, int Y) {
    auto* p = PainterOf(FHandle);
    if (!p) return clNone;
    auto* img = dynamic_cast<QImage*>(p->device());
    if (!img || !img->valid(X + FOrigin.X, Y + FOrigin.Y)) return clNone;
    QRgb c = img->pixel(X + FOrigin.X, Y + FOrigin.Y);
    return static_cast<TColor>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
}

}  // namespace framework
