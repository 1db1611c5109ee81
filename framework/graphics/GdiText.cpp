// Fonts and text: metrics, runs of text and formatted text.
#include "framework/graphics/Gdi.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "framework/graphics/GdiState.h"

namespace framework {

using namespace gdi;

namespace {

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
        // The one raster face: a bitmap font, so that what needs outlines can be refused.
        {"terminal", "Terminus"},
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
    for (const char* f : {"terminus-normal.otb", "terminus-bold.otb"}) {
        QString path = QStringLiteral("/usr/share/fonts/opentype/terminus/") + f;
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

// The width of s with extra pixels after each character.
int TextWidthOf(const QFontMetrics& m, const std::string& s, int extra = 0) {
    return m.horizontalAdvance(ToQ(s)) + extra * static_cast<int>(s.size());
}

// A face drawn from outlines (TrueType) rather than from bitmaps of fixed sizes.
bool IsOutlineFace(const QFont& f) {
    QFontInfo info(f);
    return QFontDatabase::isSmoothlyScalable(info.family(), info.styleName());
}

// The average character width; a bitmap face reports no usable average, so it is the width of "x".
int AveCharWidthOf(const QFont& f) {
    QFontMetrics m(f);
    int ave = m.averageCharWidth();
    if (!IsOutlineFace(f) || ave <= 0 || ave > m.maxWidth()) ave = m.horizontalAdvance(QLatin1Char('x'));
    return ave;
}

TTextMetric MetricsOf(const TLogFont& lf) {
    QFont f = MakeQFont(lf);
    QFontMetrics m(f);
    QFontInfo info(f);
    bool outline = IsOutlineFace(f);
    TTextMetric M;
    M.tmAscent = m.ascent();
    M.tmDescent = m.descent();
    M.tmHeight = m.ascent() + m.descent();
    M.tmInternalLeading = std::max(0, M.tmHeight - (outline ? f.pixelSize() : info.pixelSize()));
    M.tmExternalLeading = std::max(0, m.leading());
    M.tmAveCharWidth = AveCharWidthOf(f);
    M.tmMaxCharWidth = m.maxWidth();
    M.tmWeight = lf.Weight >= 600 ? FW_BOLD : FW_NORMAL;
    M.tmOverhang = 0;
    M.tmItalic = lf.Italic;
    M.tmUnderlined = lf.Underline;
    M.tmStruckOut = lf.StrikeOut;
    M.tmPitchAndFamily = static_cast<uint8_t>((info.fixedPitch() ? 0 : TMPF_FIXED_PITCH) |
                                              (outline ? TMPF_VECTOR | TMPF_TRUETYPE : 0));
    M.tmCharSet = lf.CharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.CharSet;
    return M;
}

int ExtraOf(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? d->St.CharExtra : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text

bool GetTextMetrics(HDC Dc, TTextMetric& M) {
    DcData* d = Data(Dc);
    M = MetricsOf(d ? d->St.Font : DefaultFont());
    return true;
}

bool GetTextExtentPoint32(HDC Dc, const std::string& Text, TSize& Size) {
    DcData* d = Data(Dc);
    QFont f = MakeQFont(d ? d->St.Font : DefaultFont());
    QFontMetrics m(f);
    Size = TSize{TextWidthOf(m, Text, ExtraOf(Dc)), m.ascent() + m.descent()};
    return true;
}

int SetTextCharacterExtra(HDC Dc, int Extra) {
    DcData* d = Data(Dc);
    if (!d) return static_cast<int>(0x80000000u);
    return std::exchange(d->St.CharExtra, Extra);
}
int GetTextCharacterExtra(HDC Dc) {
    DcData* d = Data(Dc);
    return d ? d->St.CharExtra : static_cast<int>(0x80000000u);
}

namespace {
// Draws one run of text with its top-left at device point p (rotated about p by the escapement),
// each character the character extra further right than the last; into the path while one is open.
void DrawRun(Ctx& c, QPoint p, const std::string& text, const QFont& f) {
    QFontMetrics m(f);
    const int extra = c.St->CharExtra;
    // The pieces drawn and their offsets along the baseline: the whole run, or one character at a
    // time at the width of what comes before it plus the extras.
    std::vector<std::pair<int, QString>> pieces;
    if (!extra) {
        pieces.emplace_back(0, ToQ(text));
    } else {
        for (size_t i = 0; i < text.size(); ++i)
            pieces.emplace_back(TextWidthOf(m, text.substr(0, i), extra), ToQ(text.substr(i, 1)));
    }
    if (c.St->PathOpen) {
        QPainterPath run;
        for (auto& [x, piece] : pieces) run.addText(x, m.ascent(), f, piece);
        QTransform t;
        t.translate(p.x(), p.y());
        if (c.St->Font.Escapement) t.rotate(-c.St->Font.Escapement / 10.0);
        c.St->Path.addPath(t.map(run));
        return;
    }
    PainterScope ps(c);
    ps->setFont(f);
    ps->setPen(QColor::fromRgb(ToQRgb(c.Mono ? MonoOf(c.St->TextColor) : c.St->TextColor)));
    ps->translate(p);
    if (c.St->Font.Escapement) ps->rotate(-c.St->Font.Escapement / 10.0);
    for (auto& [x, piece] : pieces) ps->drawText(QPoint(x, m.ascent()), piece);
}

// Fills a device rectangle with the background colour, unless a path is being made.
void FillBackground(Ctx& c, const QRect& r) {
    if (c.St->PathOpen) return;
    FillDevice(c, r, BrushObj{BS_SOLID, c.St->BkColor, 0, {}}, R2_COPYPEN);
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
        width = TextWidthOf(m, Text, c.St->CharExtra);
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
        FillBackground(c, QRect(c.Dev(R->Left, R->Top), c.Dev(R->Right - 1, R->Bottom - 1)));
    if (R && (Options & ETO_CLIPPED))
        c.Clip &= QRegion(QRect(c.Dev(R->Left, R->Top), c.Dev(R->Right - 1, R->Bottom - 1)));
    if (c.St->BkMode == OPAQUE && !c.St->Font.Escapement)
        FillBackground(c, QRect(p.x(), p.y(), width, height));
    if (Dx) {
        // The advances are given: the character extra does not apply.
        int extra = std::exchange(c.St->CharExtra, 0);
        int x = p.x();
        for (size_t i = 0; i < Text.size(); ++i) {
            DrawRun(c, QPoint(x, p.y()), Text.substr(i, 1), f);
            x += Dx[i];
        }
        c.St->CharExtra = extra;
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
    int Extra = 0;
    int Width(const std::string& s) const {
        if (!Expand || s.find('\t') == std::string::npos) return TextWidthOf(M, s, Extra);
        int x = 0;
        size_t start = 0;
        for (size_t i = 0; i <= s.size(); ++i)
            if (i == s.size() || s[i] == '\t') {
                x += TextWidthOf(M, s.substr(start, i - start), Extra);
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
                    x += TextWidthOf(m.M, part, m.Extra);
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
        if (c.St->PathOpen)
            c.St->Path.addRect(QRectF(x0, y, w, 1));
        else
            FillDevice(c, QRect(x0, y, w, 1),
                       BrushObj{BS_SOLID, c.Mono ? MonoOf(c.St->TextColor) : c.St->TextColor, 0, {}},
                       R2_COPYPEN);
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
    const int ave = AveCharWidthOf(f);
    Measure m{qm, std::max(1, ave) * 8, (Format & DT_EXPANDTABS) != 0, d ? d->St.CharExtra : 0};
    if (Format & DT_TABSTOP) m.Tab = std::max(1, ave * static_cast<int>((Format >> 8) & 0xFF));
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
            FillBackground(c, QRect(p.x(), p.y(), w, lineHeight));
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
// Tabbed text

namespace {

// The smallest multiple of step greater than pos (pos may be negative).
int NextMultiple(int pos, int step) {
    int q = pos / step;
    if (pos < 0 && q * step != pos) --q;
    return (q + 1) * step;
}

// Lays out the runs of text between tabs: place(x, run) gets each run with its offset from the
// start; Start is the start's distance from the tab origin. Returns the width.
template <class Place>
int TabbedLayout(const QFont& f, int extra, const std::string& text, int tabCount, const int* stops,
                 int start, Place place) {
    QFontMetrics m(f);
    int step = 8 * AveCharWidthOf(f);
    if (!stops || tabCount < 0) tabCount = 0;
    if (tabCount == 1) {
        if (stops[0] > 0) step = stops[0];
        tabCount = 0;
    }
    int x = 0, k = 0;
    size_t from = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\t') continue;
        std::string run = text.substr(from, i - from);
        if (!run.empty()) place(x, run);
        x += TextWidthOf(m, run, extra);
        if (i < text.size()) {
            int pos = x + start;
            while (k < tabCount && stops[k] <= pos) ++k;
            if (k < tabCount)
                pos = stops[k];
            else if (step > 0)
                pos = NextMultiple(pos, step);
            x = pos - start;
        }
        from = i + 1;
    }
    return x;
}

uint32_t PackExtent(int width, int height) {
    return (static_cast<uint32_t>(std::clamp(height, 0, 0xFFFF)) << 16) |
           static_cast<uint32_t>(std::clamp(width, 0, 0xFFFF));
}

}  // namespace

uint32_t GetTabbedTextExtent(HDC Dc, const std::string& Text, int TabCount, const int* TabStops) {
    DcData* d = Data(Dc);
    QFont f = MakeQFont(d ? d->St.Font : DefaultFont());
    QFontMetrics m(f);
    int width = TabbedLayout(f, ExtraOf(Dc), Text, TabCount, TabStops, 0, [](int, const std::string&) {});
    return PackExtent(width, m.ascent() + m.descent());
}

int32_t TabbedTextOut(HDC Dc, int X, int Y, const std::string& Text, int TabCount, const int* TabStops,
                      int TabOrigin) {
    Ctx c;
    if (!Open(Dc, c)) return 0;
    QFont f = MakeQFont(c.St->Font);
    QFontMetrics m(f);
    const int height = m.ascent() + m.descent();
    const QPoint p = c.Dev(X, Y);
    std::vector<std::pair<int, std::string>> runs;
    int width = TabbedLayout(f, c.St->CharExtra, Text, TabCount, TabStops, X - TabOrigin,
                             [&](int x, const std::string& run) { runs.emplace_back(x, run); });
    if (c.St->BkMode == OPAQUE) FillBackground(c, QRect(p.x(), p.y(), width, height));
    for (auto& [x, run] : runs) DrawRun(c, p + QPoint(x, 0), run, f);
    return static_cast<int32_t>(PackExtent(width, height));
}

// ---------------------------------------------------------------------------------------------
// Font families

int EnumFontFamilies(HDC, const std::string& Family, const TFontEnumProc& Proc) {
    LoadPinnedFonts();
    auto lower = [](std::string v) {
        for (char& ch : v) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return v;
    };
    std::vector<std::string> names = {"MS Sans Serif", "Arial",   "Courier New", "Times New Roman",
                                      "Tahoma",        "Verdana", "System",      "Terminal"};
    std::set<std::string> seen;
    for (const std::string& n : names) seen.insert(lower(n));
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family)) continue;
        std::string name = Utf16ToAnsi(family.toStdU16String());
        if (!seen.insert(lower(name)).second) continue;
        // A generic name ("Monospace") stands for another family and is not a face of its own.
        if (QFontInfo(QFont(family)).family() != family) continue;
        names.push_back(name);
    }
    int result = 1;
    for (const std::string& name : names) {
        if (!Family.empty() && lower(name) != lower(Family)) continue;
        TLogFont lf = DefaultFont();
        lf.FaceName = name;
        TTextMetric tm = MetricsOf(lf);
        lf.Height = tm.tmHeight;
        lf.Width = tm.tmAveCharWidth;
        lf.Weight = tm.tmWeight;
        lf.CharSet = tm.tmCharSet;
        lf.PitchAndFamily = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? VARIABLE_PITCH : FIXED_PITCH;
        result = Proc(lf, tm, (tm.tmPitchAndFamily & TMPF_TRUETYPE) ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE);
        if (!result) break;
    }
    return result;
}

}  // namespace framework
