// Fonts and text: metrics, runs of text and formatted text.
#include "framework/graphics/Gdi.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <cmath>
#include <map>

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

}  // namespace framework
