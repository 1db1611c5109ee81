// The window layer: handles, the message queue and pump, focus, capture, keyboard state,
// painting regions over per-window backing stores, scroll bars, caret, timers, metrics, colours.
#include "framework/ui/Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <atomic>
#include <deque>
#include <map>
#include <vector>

#include "framework/core/Seams.h"
#include "framework/graphics/GdiImpl.h"
#include "framework/ui/Controls.h"
#include "framework/ui/DragDrop.h"
#include "framework/ui/KeyMap.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

// ---------------------------------------------------------------------------------------------
// The widget behind a window: shows the backing store and turns Qt input into messages.
class WindowWidget : public QWidget {
public:
    WindowWidget(HWND wnd, QWidget* parent) : QWidget(parent), Wnd(wnd) {
        setFocusPolicy(Qt::NoFocus);  // the focus moves only through SetFocus
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
    }
    HWND Wnd;

protected:
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like any other
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override {
        Guarded([&] { Key(e, true); });
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        Guarded([&] { Key(e, false); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        Guarded([&] { Mouse(e, 0); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        Guarded([&] { Mouse(e, 1); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        Guarded([&] { Mouse(e, 2); });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        Guarded([&] { Mouse(e, 3); });
    }
    void wheelEvent(QWheelEvent* e) override {
        Guarded([&] { Wheel(e); });
    }
    // The focus moves only through SetFocus: Qt's own focus and activation changes arrive late
    // (the platform activates windows asynchronously) and would fight the message model.
    void focusInEvent(QFocusEvent*) override {}
    void closeEvent(QCloseEvent* e) override {
        e->ignore();  // the form decides (OnCloseQuery, OnClose) and hides itself
        SendMessage(Wnd, WM_CLOSE, 0, 0);
    }
    void leaveEvent(QEvent*) override;
    // Other programs' drags, for a window with a registered drop target (see DragDrop.h).
    void dragEnterEvent(QDragEnterEvent* e) override {
        Guarded([&] { ExternalDragEvent(Wnd, e, 0, ClientPoint(e->position().toPoint())); });
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        Guarded([&] { ExternalDragEvent(Wnd, e, 1, ClientPoint(e->position().toPoint())); });
    }
    void dragLeaveEvent(QDragLeaveEvent*) override {
        Guarded([&] { ExternalDragLeave(Wnd); });
    }
    void dropEvent(QDropEvent* e) override {
        Guarded([&] { ExternalDragEvent(Wnd, e, 2, ClientPoint(e->position().toPoint())); });
    }
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override;

private:
    // No exception may unwind through Qt: what escapes a handler goes to the application's error
    // handler, as it would from the message loop.
    template <class F>
    static void Guarded(F f) {
        try {
            f();
        } catch (...) {
            if (ApplicationHandleException) ApplicationHandleException(nullptr);
        }
    }
    void Wheel(QWheelEvent* e);
    TPoint ClientPoint(QPoint pos) const;
    void Key(QKeyEvent* e, bool down);
    void Mouse(QMouseEvent* e, int kind);
};

// ---------------------------------------------------------------------------------------------
namespace {

struct Posted {
    HWND Wnd;
    TMessage Msg;
    bool Input = false;  // a keyboard message: carries the key state of its moment
    std::array<uint8_t, 256> Keys{};
};

struct Timer {
    HWND Wnd;
    uintptr_t Id;
    uint32_t Interval;
    uint32_t Due;
    TTimerProc Proc;
};

struct Caret {
    HWND Owner = 0;
    int Width = 0, Height = 0;
    TPoint Pos;
    int HideCount = 1;  // a new caret is hidden until ShowCaret
    bool Gray = false;
    uint32_t BlinkTime = 530;
    QImage Image;         // a bitmap caret's pixels (null for a line or grey caret)
    bool BlinkOn = true;  // the phase of the blink: drawn, or off for the moment
    uintptr_t BlinkTimer = 0;
};

constexpr uint8_t kDown = 0x80;
constexpr uint8_t kToggled = 0x01;

struct State {
    std::map<HWND, std::unique_ptr<WindowRecord>> Windows;
    HWND NextHandle = 0x100;
    std::deque<Posted> Queue;
    std::vector<Timer> Timers;
    uintptr_t NextTimerId = 0x7000;
    HWND Focus = 0, Capture = 0, Active = 0;
    std::array<uint8_t, 256> Current{};  // as of the message being handled
    std::array<uint8_t, 256> Async{};    // as the input has left it
    Caret TheCaret;
    TInputFilter Filter;
    std::vector<TMouseDownFilter> MouseFilters;
    std::map<uintptr_t, std::unique_ptr<TDeviceContext>> Contexts;
    TPoint Pointer;  // screen position of the mouse pointer
    // A top-level window dragged by its caption (an HTCAPTION answer to WM_NCHITTEST).
    struct {
        HWND Wnd = 0;
        TPoint Start;   // pointer at the press
        TPoint Origin;  // the control's position at the press
    } Drag;
};

State& S() {
    static State* s = new State;  // lives to the end of the process: windows may die late
    return *s;
}

int BorderWidth(const WindowRecord& r) {
    if (r.ExStyle & WS_EX_CLIENTEDGE) return 2;
    if (r.Style & WS_BORDER) return (r.Style & WS_CHILD) ? 1 : 0;
    return 0;
}

QRect ToQ(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}
TRect FromQ(const QRect& r) {
    return Bounds(r.x(), r.y(), r.width(), r.height());
}

void EnsureBacking(WindowRecord& r) {
    TRect c = ClientRectOf(r);
    QSize size(std::max(c.Width(), 0), std::max(c.Height(), 0));
    if (r.Backing.size() == size) return;
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(255, 255, 255));
    if (!r.Backing.isNull()) {
        QPainter p(&img);
        p.drawImage(0, 0, r.Backing);
    }
    r.Backing = std::move(img);
}

void LayoutBars(WindowRecord& r) {
    if (!r.Widget) return;
    int b = BorderWidth(r);
    int w = r.Widget->width() - 2 * b, h = r.Widget->height() - 2 * b - r.TopInset;
    int sv = GetSystemMetrics(SM_CXVSCROLL), sh = GetSystemMetrics(SM_CYHSCROLL);
    bool hs = r.Bars[SB_HORZ].Shown, vs = r.Bars[SB_VERT].Shown;
    for (int bar = 0; bar < 2; ++bar) {
        auto& st = r.Bars[bar];
        if (!st.Shown) {
            if (st.Bar) st.Bar->hide();
            continue;
        }
        if (!st.Bar) {
            st.Bar = new QScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, r.Widget);
            st.Bar->setFocusPolicy(Qt::NoFocus);
            HWND wnd = r.Handle;
            QScrollBar* q = st.Bar;
            QObject::connect(q, &QAbstractSlider::actionTriggered, q, [wnd, bar, q](int action) {
                int code = -1;
                switch (action) {
                    case QAbstractSlider::SliderSingleStepAdd:
                        code = SB_LINEDOWN;
                        break;
                    case QAbstractSlider::SliderSingleStepSub:
                        code = SB_LINEUP;
                        break;
                    case QAbstractSlider::SliderPageStepAdd:
                        code = SB_PAGEDOWN;
                        break;
                    case QAbstractSlider::SliderPageStepSub:
                        code = SB_PAGEUP;
                        break;
                    case QAbstractSlider::SliderToMinimum:
                        code = SB_TOP;
                        break;
                    case QAbstractSlider::SliderToMaximum:
                        code = SB_BOTTOM;
                        break;
                    case QAbstractSlider::SliderMove:
                        code = SB_THUMBTRACK;
                        break;
                    default:
                        break;
                }
                if (code < 0) return;
                UINT msg = bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
                int pos = code == SB_THUMBTRACK ? q->sliderPosition() : 0;
                if (auto* rec = FindRecord(wnd); rec && code == SB_THUMBTRACK)
                    rec->Bars[bar].Info.nTrackPos = pos;
                SendMessage(wnd, msg, MakeWParam(code, pos), 0);
                if (code != SB_THUMBTRACK) SendMessage(wnd, msg, SB_ENDSCROLL, 0);
            });
            QObject::connect(q, &QAbstractSlider::sliderReleased, q, [wnd, bar, q]() {
                UINT msg = bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
                SendMessage(wnd, msg, MakeWParam(SB_THUMBPOSITION, q->sliderPosition()), 0);
                SendMessage(wnd, msg, SB_ENDSCROLL, 0);
            });
            // The bar shows what the window says, never moves by itself.
            QObject::connect(q, &QAbstractSlider::valueChanged, q, [wnd, bar, q](int) {
                auto* rec = FindRecord(wnd);
                if (!rec || q->isSliderDown()) return;
                QSignalBlocker block(q);
                q->setValue(rec->Bars[bar].Info.nPos);
            });
        }
        const auto& i = st.Info;
        QSignalBlocker block(st.Bar);
        int page = static_cast<int>(i.nPage);
        st.Bar->setRange(i.nMin, std::max(i.nMin, i.nMax - std::max(page - 1, 0)));
        st.Bar->setPageStep(std::max(page, 1));
        st.Bar->setValue(i.nPos);
        if (bar == SB_HORZ)
            st.Bar->setGeometry(b, b + r.TopInset + h - sh, w - (vs ? sv : 0), sh);
        else
            st.Bar->setGeometry(b + w - sv, b + r.TopInset, sv, h - (hs ? sh : 0));
        st.Bar->show();
    }
}

HWND TopLevelOf(HWND wnd) {
    auto* r = FindRecord(wnd);
    if (!r || !r->Widget) return 0;
    auto* top = dynamic_cast<WindowWidget*>(r->Widget->window());
    return top ? top->Wnd : 0;
}

void SetKey(std::array<uint8_t, 256>& k, int vk, bool down) {
    if (vk <= 0 || vk > 255) return;
    if (down) {
        if (!(k[vk] & kDown)) k[vk] ^= kToggled;
        k[vk] |= kDown;
    } else {
        k[vk] &= static_cast<uint8_t>(~kDown);
    }
}

void Deliver(Posted& p) {
    auto* r = FindRecord(p.Wnd);
    if (!r) return;  // the window went away while the message waited
    if (p.Input) {
        S().Current = p.Keys;
        if (S().Filter && S().Filter(p.Msg, p.Wnd)) return;
    }
    SendMessage(p.Wnd, p.Msg.Msg, p.Msg.WParam, p.Msg.LParam);
}

bool DeliverDueTimer() {
    auto& s = S();
    uint32_t now = TimerClockNow();
    for (size_t i = 0; i < s.Timers.size(); ++i) {
        Timer& t = s.Timers[i];
        if (static_cast<int32_t>(now - t.Due) < 0) continue;
        t.Due = now + t.Interval;  // overdue ticks collapse into one, as WM_TIMER does
        HWND wnd = t.Wnd;
        uintptr_t id = t.Id;
        TTimerProc proc = t.Proc;
        if (proc)
            proc(wnd, WM_TIMER, id, now);
        else
            SendMessage(wnd, WM_TIMER, id, 0);
        return true;
    }
    return false;
}

bool PaintOne() {
    for (auto& [wnd, r] : S().Windows) {
        if (r->Update.isEmpty() || !r->Redraw || !r->Widget || !r->Widget->isVisible()) continue;
        QRegion before = r->Update;
        SendMessage(wnd, WM_PAINT, 0, 0);
        if (auto* again = FindRecord(wnd); again && again->Update == before) {
            // A handler that neither painted nor validated would be asked forever.
            again->Update = QRegion();
            again->Erase = false;
        }
        return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text conversion: Windows-1252 <-> UTF-16.

namespace {
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
}

std::u16string AnsiToUtf16(const std::string& Text) {
    std::u16string out;
    out.reserve(Text.size());
    for (unsigned char c : Text) {
        if (c >= 0x80 && c < 0xA0)
            out.push_back(kCp1252High[c - 0x80]);
        else
            out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

std::string Utf16ToAnsi(const std::u16string& Text) {
    std::string out;
    out.reserve(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        char16_t c = Text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Text.size()) ++i;  // a pair is one character
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = static_cast<char>(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (kCp1252High[k] == c && c != 0xFFFD) b = static_cast<char>(0x80 + k);
        }
        out.push_back(b);
    }
    return out;
}

void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "korvane";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
}

// ---------------------------------------------------------------------------------------------
// Records

WindowRecord* FindRecord(HWND Wnd) {
    auto& w = S().Windows;
    auto it = w.find(Wnd);
    return it == w.end() ? nullptr : it->second.get();
}

QPoint ClientOffset(const WindowRecord& r) {
    int b = BorderWidth(r);
    return QPoint(b, b + r.TopInset);
}

TRect ClientRectOf(const WindowRecord& r) {
    if (!r.Widget) return TRect{};
    int b = BorderWidth(r);
    int w = r.Widget->width() - 2 * b, h = r.Widget->height() - 2 * b - r.TopInset;
    if (r.Bars[SB_VERT].Shown) w -= GetSystemMetrics(SM_CXVSCROLL);
    if (r.Bars[SB_HORZ].Shown) h -= GetSystemMetrics(SM_CYHSCROLL);
    return TRect{0, 0, std::max(w, 0), std::max(h, 0)};
}

HWND CreateWindowRecord(TWinControl* Control, HWND Parent, uint32_t Style, uint32_t ExStyle,
                        uint32_t ClassStyle, const TRect& B, TWndMethod Proc) {
    EnsureGuiApplication();
    auto& s = S();
    auto rec = std::make_unique<WindowRecord>();
    HWND wnd = s.NextHandle++;
    rec->Handle = wnd;
    rec->Control = Control;
    rec->Proc = std::move(Proc);
    rec->Style = Style;
    rec->ExStyle = ExStyle;
    rec->ClassStyle = ClassStyle;
    rec->Enabled = !(Style & WS_DISABLED);
    rec->Bars[SB_HORZ].Shown = (Style & WS_HSCROLL) != 0;
    rec->Bars[SB_VERT].Shown = (Style & WS_VSCROLL) != 0;
    auto* parentRec = Parent ? FindRecord(Parent) : nullptr;
    QWidget* parentWidget = parentRec ? parentRec->Widget.data() : nullptr;
    auto* w = new WindowWidget(wnd, parentWidget);
    if (!parentWidget) {
        Qt::WindowFlags f = Qt::Window;
        if (ExStyle & WS_EX_TOPMOST) f |= Qt::WindowStaysOnTopHint;
        if (ExStyle & WS_EX_TOOLWINDOW) f |= Qt::Tool;
        if (!(Style & WS_CAPTION) && (Style & WS_POPUP)) f |= Qt::FramelessWindowHint;
        if (ExStyle & WS_EX_NOACTIVATE) {
            // A drop-down: over everything, never taking the activation from the form under it.
            f = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
            w->setAttribute(Qt::WA_ShowWithoutActivating);
        }
        w->setWindowFlags(f);
    } else {
        int b = BorderWidth(*parentRec);
        (void)b;
    }
    // A window made disabled takes no mouse input, as one disabled later does not.
    if (!rec->Enabled) w->setEnabled(false);
    rec->Widget = w;
    WindowRecord* r = rec.get();
    s.Windows.emplace(wnd, std::move(rec));
    QPoint o = parentRec ? ClientOffset(*parentRec) : QPoint();
    w->setGeometry(B.Left + o.x(), B.Top + o.y(), std::max(B.Width(), 0), std::max(B.Height(), 0));
    LayoutBars(*r);
    EnsureBacking(*r);
    r->Update = QRegion(ToQ(ClientRectOf(*r)));
    r->Erase = true;
    // A child made hidden stays hidden when its parent is shown (the widget would follow the
    // parent unless hidden explicitly).
    if (Style & WS_VISIBLE)
        w->show();
    else if (parentRec)
        w->hide();
    return wnd;
}

void SetTopBand(HWND Wnd, int Height, std::function<void(QPainter& Painter, int Width)> Paint) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return;
    r->PaintTopBand = std::move(Paint);
    if (r->TopInset == Height) {
        UpdateTopBand(Wnd);
        return;
    }
    r->TopInset = Height;
    LayoutBars(*r);
    EnsureBacking(*r);
    // Children keep their client coordinates: move their widgets with the client area.
    for (auto& [h, rec] : S().Windows)
        if (rec->Widget && rec->Widget->parentWidget() == r->Widget && rec->Control)
            MoveWindowRecord(h, rec->Control->BoundsRect());
    InvalidateRect(Wnd, nullptr, true);
    r->Widget->update();
    TRect c = ClientRectOf(*r);
    SendMessage(Wnd, WM_SIZE, SIZE_RESTORED, MakeLParam(c.Width(), c.Height()));
}

void UpdateTopBand(HWND Wnd) {
    if (auto* r = FindRecord(Wnd); r && r->Widget && r->TopInset > 0)
        r->Widget->update(BorderWidth(*r), BorderWidth(*r), r->Widget->width(), r->TopInset);
}

void AddMouseDownFilter(TMouseDownFilter Filter) {
    S().MouseFilters.push_back(std::move(Filter));
}

void DestroyWindowRecord(HWND Wnd) {
    auto& s = S();
    auto* r = FindRecord(Wnd);
    if (!r) return;
    SendMessage(Wnd, WM_DESTROY, 0, 0);
    r = FindRecord(Wnd);
    if (!r) return;
    if (s.Focus == Wnd) s.Focus = 0;
    if (s.Capture == Wnd) s.Capture = 0;
    if (s.Active == Wnd) s.Active = 0;
    if (s.TheCaret.Owner == Wnd) DestroyCaret();
    std::erase_if(s.Timers, [Wnd](const Timer& t) { return t.Wnd == Wnd; });
    // A drop target registered for the window goes with it (a later window may get its handle).
    RevokeDragDrop(Wnd);
    std::unique_ptr<WindowRecord> rec = std::move(s.Windows[Wnd]);
    s.Windows.erase(Wnd);
    if (rec->Widget) {
        // The widget may be inside one of its own event handlers (a control freed by a click):
        // it leaves the screen now and is deleted when the pump next runs.
        QWidget* w = rec->Widget.data();
        w->hide();
        if (w->parentWidget()) w->setParent(nullptr);
        w->deleteLater();
    }
}

void MoveWindowRecord(HWND Wnd, const TRect& B) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return;
    QPoint o;
    if (auto* pw = dynamic_cast<WindowWidget*>(r->Widget->parentWidget()))
        if (auto* pr = FindRecord(pw->Wnd)) o = ClientOffset(*pr);
    QRect g(B.Left + o.x(), B.Top + o.y(), std::max(B.Width(), 0), std::max(B.Height(), 0));
    if (r->Widget->geometry() == g) return;
    bool resized = r->Widget->size() != g.size();
    // A window of fixed size (a form that cannot be resized by the user) is resized by the program.
    if (resized && r->Widget->isWindow() && r->Widget->minimumSize() == r->Widget->maximumSize())
        r->Widget->setFixedSize(g.size());
    r->Widget->setGeometry(g);
    if (resized) {
        LayoutBars(*r);
        EnsureBacking(*r);
        InvalidateRect(Wnd, nullptr, true);
    }
}

void ShowWindowRecord(HWND Wnd, bool Show) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return;
    if (Show) {
        r->Style |= WS_VISIBLE;
        r->Widget->show();
        InvalidateRect(Wnd, nullptr, true);
    } else {
        r->Style &= ~WS_VISIBLE;
        r->Widget->hide();
    }
}

void SetWindowTitle(HWND Wnd, const std::string& Text) {
    auto* r = FindRecord(Wnd);
    if (r && r->Widget && r->Widget->isWindow())
        r->Widget->setWindowTitle(QString::fromStdU16String(AnsiToUtf16(Text)));
}

void RaiseWindowRecord(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    if (r && r->Widget) r->Widget->raise();
}

void SetInputFilter(TInputFilter Filter) {
    S().Filter = std::move(Filter);
}

bool IsWindow(HWND Wnd) {
    return FindRecord(Wnd) != nullptr;
}

TWinControl* FindControl(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    return r ? r->Control : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Messages

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* r = FindRecord(Wnd);
    if (!r) return 0;
    TMessage m{Msg, WParam, LParam, 0};
    TWndMethod proc = r->Proc;  // the procedure may be replaced while it runs
    if (proc)
        proc(m);
    else
        m.Result = DefWindowProc(Wnd, Msg, WParam, LParam);
    return m.Result;
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (!IsWindow(Wnd)) return false;
    S().Queue.push_back(Posted{Wnd, TMessage{Msg, WParam, LParam, 0}});
    return true;
}

namespace {
bool gQuit = false;
}
void PostQuitMessage(int) {
    gQuit = true;
}

HWND AllocateHWnd(TWndMethod Method) {
    auto& s = S();
    auto rec = std::make_unique<WindowRecord>();
    HWND wnd = s.NextHandle++;
    rec->Handle = wnd;
    rec->Proc = std::move(Method);
    s.Windows.emplace(wnd, std::move(rec));
    return wnd;
}

void DeallocateHWnd(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    if (r && !r->Widget && !r->Control) DestroyWindowRecord(Wnd);
}

TWndMethod SetWindowProc(HWND Wnd, TWndMethod NewProc) {
    auto* r = FindRecord(Wnd);
    if (!r) return {};
    TWndMethod old = std::move(r->Proc);
    r->Proc = std::move(NewProc);
    return old;
}

LRESULT CallWindowProc(const TWndMethod& Proc, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    if (Proc)
        Proc(m);
    else
        m.Result = DefWindowProc(Wnd, Msg, WParam, LParam);
    return m.Result;
}

LRESULT DefWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* r = FindRecord(Wnd);
    if (!r) return 0;
    switch (Msg) {
        case WM_PAINT: {
            if (WParam) return 0;  // painting into a given context: nothing of the window's own
            TPaintStruct ps;
            BeginPaint(Wnd, ps);
            EndPaint(Wnd, ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            if (QPainter* p = PainterOf(static_cast<uintptr_t>(WParam))) {
                uint32_t c = GetSysColor(COLOR_WINDOW);
                p->fillRect(ToQ(ClientRectOf(*r)), QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
            }
            return 1;
        }
        case WM_SETREDRAW:
            r->Redraw = WParam != 0;
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_SETTEXT:
            if (LParam) SetWindowTitle(Wnd, reinterpret_cast<const char*>(LParam));
            return 1;
        case WM_MOUSEWHEEL:
            if (r->Widget)
                if (auto* pw = dynamic_cast<WindowWidget*>(r->Widget->parentWidget());
                    pw && !r->Widget->isWindow())
                    return SendMessage(pw->Wnd, Msg, WParam, LParam);
            return 0;
        default:
            return 0;
    }
}

uint32_t GetWindowLong(HWND Wnd, int Index) {
    auto* r = FindRecord(Wnd);
    if (!r) return 0;
    if (Index == GWL_STYLE) return r->Style;
    if (Index == GWL_EXSTYLE) return r->ExStyle;
    return 0;
}

uint32_t SetWindowLong(HWND Wnd, int Index, uint32_t Value) {
    auto* r = FindRecord(Wnd);
    if (!r) return 0;
    uint32_t old = 0;
    if (Index == GWL_STYLE) {
        old = r->Style;
        r->Style = Value;
        r->Bars[SB_HORZ].Shown = (Value & WS_HSCROLL) != 0;
        r->Bars[SB_VERT].Shown = (Value & WS_VSCROLL) != 0;
        LayoutBars(*r);
        EnsureBacking(*r);
    } else if (Index == GWL_EXSTYLE) {
        old = r->ExStyle;
        r->ExStyle = Value;
    }
    return old;
}

// ---------------------------------------------------------------------------------------------
// Pump

int ProcessPendingMessages() {
    auto& s = S();
    if (QCoreApplication::instance()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    int n = 0;
    for (;;) {
        if (!s.Queue.empty()) {
            Posted p = std::move(s.Queue.front());
            s.Queue.pop_front();
            Deliver(p);
        } else if (!DeliverDueTimer() && !PaintOne()) {
            break;
        }
        ++n;
    }
    return n;
}

bool HasPendingMessages() {
    auto& s = S();
    if (!s.Queue.empty()) return true;
    uint32_t now = TimerClockNow();
    for (const auto& t : s.Timers)
        if (static_cast<int32_t>(now - t.Due) >= 0) return true;
    for (auto& [wnd, r] : s.Windows)
        if (!r->Update.isEmpty() && r->Redraw && r->Widget && r->Widget->isVisible()) return true;
    return false;
}

bool QuitRequested() {
    return gQuit;
}
void ClearQuitRequest() {
    gQuit = false;
}

void WaitForInput(int MaxMs) {
    if (!QCoreApplication::instance()) return;
    QEventLoop loop;
    QTimer::singleShot(std::max(MaxMs, 1), &loop, &QEventLoop::quit);
    loop.processEvents(QEventLoop::WaitForMoreEvents);
}

// ---------------------------------------------------------------------------------------------
// Focus, capture, activation

HWND GetFocus() {
    return S().Focus;
}

HWND GetActiveWindow() {
    return S().Active;
}

void ActivateTopLevel(HWND top) {
    auto& s = S();
    if (top == s.Active) return;
    HWND old = s.Active;
    s.Active = top;
    if (old) SendMessage(old, WM_ACTIVATE, 0, static_cast<LPARAM>(top));
    if (top) {
        if (auto* r = FindRecord(top); r && r->Widget) r->Widget->activateWindow();
        SendMessage(top, WM_ACTIVATE, 1, static_cast<LPARAM>(old));
    }
}

HWND SetFocus(HWND Wnd) {
    auto& s = S();
    if (Wnd && !IsWindow(Wnd)) return 0;
    HWND old = s.Focus;
    if (Wnd == old) return old;
    if (Wnd) ActivateTopLevel(TopLevelOf(Wnd));
    if (s.Focus != old) return old;  // activation moved the focus already
    s.Focus = Wnd;
    if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, Wnd, 0);
    if (Wnd && s.Focus == Wnd && IsWindow(Wnd)) {
        if (auto* r = FindRecord(Wnd); r && r->Widget) r->Widget->setFocus(Qt::OtherFocusReason);
        SendMessage(Wnd, WM_SETFOCUS, old, 0);
    }
    return old;
}

HWND GetCapture() {
    return S().Capture;
}

HWND SetCapture(HWND Wnd) {
    auto& s = S();
    HWND old = s.Capture;
    if (old == Wnd) return old;
    s.Capture = Wnd;
    if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(Wnd));
    if (auto* r = FindRecord(Wnd); r && r->Widget) r->Widget->grabMouse();
    return old;
}

bool ReleaseCapture() {
    auto& s = S();
    HWND old = s.Capture;
    if (!old) return true;
    s.Capture = 0;
    if (auto* r = FindRecord(old); r && r->Widget) r->Widget->releaseMouse();
    if (IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

bool IsWindowEnabled(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    return r && r->Enabled;
}

bool IsWindowVisible(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    return r && r->Widget && r->Widget->isVisible();
}

bool EnableWindow(HWND Wnd, bool Enable) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    bool wasDisabled = !r->Enabled;
    if (r->Enabled != Enable) {
        r->Enabled = Enable;
        if (Enable)
            r->Style &= ~WS_DISABLED;
        else
            r->Style |= WS_DISABLED;
        if (r->Widget) r->Widget->setEnabled(Enable);
        if (!Enable && S().Focus == Wnd) SetFocus(0);
        SendMessage(Wnd, WM_ENABLE, Enable ? 1 : 0, 0);
    }
    return wasDisabled;
}

// ---------------------------------------------------------------------------------------------
// Keyboard state and input

int16_t GetKeyState(int VirtKey) {
    if (VirtKey < 0 || VirtKey > 255) return 0;
    uint8_t k = S().Current[VirtKey];
    return static_cast<int16_t>(((k & kDown) ? 0xFF80 : 0) | (k & kToggled));
}

int16_t GetAsyncKeyState(int VirtKey) {
    if (VirtKey < 0 || VirtKey > 255) return 0;
    return (S().Async[VirtKey] & kDown) ? static_cast<int16_t>(0x8000) : 0;
}

bool GetKeyboardState(uint8_t* KeyState) {
    if (!KeyState) return false;
    const auto& k = S().Current;
    for (size_t i = 0; i < k.size(); ++i) KeyState[i] = k[i] & (kDown | kToggled);
    return true;
}

void NoteInputKey(int VirtKey, bool Down) {
    auto& s = S();
    SetKey(s.Async, VirtKey, Down);
    s.Current = s.Async;
}

TShiftState KeyboardStateToShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
    if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
    if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
    return s;
}

TShiftState KeysToShiftState(uint32_t Keys) {
    TShiftState s = 0;
    if (Keys & MK_SHIFT) s |= ssShift;
    if (Keys & MK_CONTROL) s |= ssCtrl;
    if (Keys & MK_LBUTTON) s |= ssLeft;
    if (Keys & MK_RBUTTON) s |= ssRight;
    if (Keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyDataToShiftState(uint32_t KeyData) {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (KeyData & (KF_ALTDOWN << 16)) s |= ssAlt;
    return s;
}

// ModifierMask: 1 Shift, 2 Ctrl, 4 Alt (as the event reports them).
void KeyInput(HWND Wnd, bool Down, int VirtKey, uint32_t ScanCode, bool Extended, bool Repeat,
              int ModifierMask, const std::u16string& TextIn) {
    auto& s = S();
    bool shift = ModifierMask & 1, ctrl = ModifierMask & 2, alt = ModifierMask & 4;
    SetKey(s.Async, VirtKey, Down);
    // The modifiers the event reports win over what earlier events left (a synthetic Shift+A).
    if (VirtKey != VK_SHIFT) SetKey(s.Async, VK_SHIFT, shift);
    if (VirtKey != VK_CONTROL) SetKey(s.Async, VK_CONTROL, ctrl);
    if (VirtKey != VK_MENU) SetKey(s.Async, VK_MENU, alt);
    s.Current = s.Async;

    bool sys = (alt && !ctrl) || VirtKey == VK_F1 + 9 || (VirtKey == VK_MENU && !ctrl);
    UINT msg = Down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    uint32_t data = 1u | ((ScanCode & 0xFF) << 16) | (Extended ? (1u << 24) : 0u) | (alt ? (1u << 29) : 0u) |
                    ((Repeat || !Down) ? (1u << 30) : 0u) | (!Down ? (1u << 31) : 0u);
    HWND target = s.Focus && IsWindow(s.Focus) ? s.Focus : Wnd;
    if (!target) return;
    TMessage m{msg, static_cast<WPARAM>(VirtKey), static_cast<LPARAM>(data), 0};
    if (s.Filter && s.Filter(m, target)) return;

    if (Down) {
        std::u16string text = TextIn;
        if (text.empty()) {
            // The characters the keyboard driver makes of keys Qt may leave without text.
            if (ctrl && !alt && VirtKey >= 'A' && VirtKey <= 'Z')
                text.push_back(static_cast<char16_t>(VirtKey - '@'));
            else if (VirtKey == VK_RETURN)
                text = u"\r";
            else if (VirtKey == VK_ESCAPE)
                text = u"\x1b";
            else if (VirtKey == VK_BACK)
                text = u"\b";
            else if (VirtKey == VK_TAB && !ctrl)
                text = u"\t";
        }
        // Translation: the characters are queued before the key-down is handled.
        for (char16_t c : text) {
            std::string b = Utf16ToAnsi(std::u16string(1, c));
            Posted p{target,
                     TMessage{sys ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(static_cast<uint8_t>(b[0])),
                              static_cast<LPARAM>(data), 0}};
            p.Input = true;
            p.Keys = s.Current;
            s.Queue.push_back(p);
        }
    }
    SendMessage(target, msg, static_cast<WPARAM>(VirtKey), static_cast<LPARAM>(data));
}

void WindowWidget::Key(QKeyEvent* e, bool down) {
    // Keys typed into another top-level window than the one holding the focus: the user has
    // activated that window, which takes the focus.
    if (HWND top = TopLevelOf(Wnd); top && (!S().Focus || TopLevelOf(S().Focus) != top) &&
                                    IsWindowEnabled(top) &&
                                    !(GetWindowLong(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
        SetFocus(Wnd);
    auto mods = e->modifiers();
    KeyCodes k = QtKeyToVirtualKey(e->key(), mods & Qt::KeypadModifier);
    if (k.VirtKey == 0) {
        e->ignore();
        return;
    }
    int mask = ((mods & Qt::ShiftModifier) ? 1 : 0) | ((mods & Qt::ControlModifier) ? 2 : 0) |
               ((mods & Qt::AltModifier) ? 4 : 0);
    // Qt reports the modifier of a modifier key's own press inconsistently; take the press itself.
    if (k.VirtKey == VK_SHIFT) mask = down ? (mask | 1) : (mask & ~1);
    if (k.VirtKey == VK_CONTROL) mask = down ? (mask | 2) : (mask & ~2);
    if (k.VirtKey == VK_MENU) mask = down ? (mask | 4) : (mask & ~4);
    KeyInput(Wnd, down, k.VirtKey, k.ScanCode, k.Extended, e->isAutoRepeat(), mask,
             e->text().toStdU16String());
}

namespace {
// False when the point (widget coordinates of w) lies outside the shape of w or of a window it sits in.
bool InsideShapes(QWidget* w, QPoint p) {
    for (; w; w = w->parentWidget()) {
        if (auto* ww = dynamic_cast<WindowWidget*>(w))
            if (auto* r = FindRecord(ww->Wnd); r && !r->Shape.isEmpty() && !r->Shape.contains(p))
                return false;
        if (w->isWindow()) break;
        p += w->pos();
    }
    return true;
}

// The window that answers HTCAPTION for a press at the screen point (asking up the parent chain past
// HTTRANSPARENT answers), when it is a top-level window; 0 otherwise.
HWND CaptionHit(HWND wnd, TPoint screen) {
    for (HWND h = wnd; h;) {
        LRESULT hit = SendMessage(h, WM_NCHITTEST, 0, MakeLParam(screen.X, screen.Y));
        auto* r = FindRecord(h);
        if (!r || !r->Widget) return 0;
        if (hit == HTCAPTION) return r->Widget->isWindow() && r->Control ? h : 0;
        if (hit != HTTRANSPARENT || r->Widget->isWindow()) return 0;
        auto* pw = dynamic_cast<WindowWidget*>(r->Widget->parentWidget());
        h = pw ? pw->Wnd : 0;
    }
    return 0;
}
}  // namespace

TPoint WindowWidget::ClientPoint(QPoint pos) const {
    if (auto* r = FindRecord(Wnd)) pos -= ClientOffset(*r);
    return TPoint{pos.x(), pos.y()};
}

void WindowWidget::Mouse(QMouseEvent* e, int kind) {
    auto& s = S();
    QPoint global = e->globalPosition().toPoint();
    s.Pointer = TPoint{global.x(), global.y()};
    if (s.Drag.Wnd) {
        // Moving a window by its caption: the pointer's travel moves it, the release ends it.
        HWND dw = s.Drag.Wnd;
        TWinControl* c = FindControl(dw);
        if (!c) {
            s.Drag.Wnd = 0;
        } else if (kind == 3) {
            c->SetBounds(s.Drag.Origin.X + global.x() - s.Drag.Start.X,
                         s.Drag.Origin.Y + global.y() - s.Drag.Start.Y, c->Width(), c->Height());
            return;
        } else if (kind == 1) {
            s.Drag.Wnd = 0;
            SetKey(s.Async, VK_LBUTTON, false);
            SendMessage(dw, WM_NCLBUTTONUP, HTCAPTION, MakeLParam(global.x(), global.y()));
            return;
        }
    }
    // Outside a shaped window's region the window is not there: the press does not reach it.
    if (!InsideShapes(this, e->position().toPoint()) && !(s.Capture && IsWindow(s.Capture))) return;
    if (kind == 0 && e->button() == Qt::LeftButton && !(s.Capture && IsWindow(s.Capture)))
        if (HWND cw = CaptionHit(Wnd, s.Pointer)) {
            TWinControl* c = FindControl(cw);
            s.Drag.Wnd = cw;
            s.Drag.Start = s.Pointer;
            s.Drag.Origin = TPoint{c->Left(), c->Top()};
            SetKey(s.Async, VK_LBUTTON, true);
            if (HWND top = TopLevelOf(cw); top && top != s.Active && IsWindowEnabled(top))
                ActivateTopLevel(top);
            SendMessage(cw, WM_NCLBUTTONDOWN, HTCAPTION, MakeLParam(global.x(), global.y()));
            return;
        }
    HWND target = s.Capture && IsWindow(s.Capture) ? s.Capture : Wnd;
    auto* r = FindRecord(target);
    if (!r || !r->Widget) return;
    QPoint pos = r->Widget->mapFromGlobal(mapToGlobal(e->position().toPoint()));
    if (r->Widget != this && target != Wnd) {
        // mapFromGlobal needs real window positions; offscreen windows may share an origin.
        pos = e->position().toPoint();
        for (QWidget* w = this; w && w != r->Widget; w = w->parentWidget()) {
            if (w->isWindow()) break;
            pos += w->pos();
        }
        QPoint origin;
        for (QWidget* w = r->Widget; w && !w->isWindow(); w = w->parentWidget()) origin += w->pos();
        QPoint mine;
        for (QWidget* w = this; w && !w->isWindow(); w = w->parentWidget()) mine += w->pos();
        pos = e->position().toPoint() + mine - origin;
    }
    pos -= ClientOffset(*r);
    if (kind == 0 || kind == 2)
        for (const auto& f : s.MouseFilters)
            if (f(target, pos.x(), pos.y())) return;
    // A click into an inactive window activates it (its form then focuses its active control).
    if (kind == 0 || kind == 2)
        if (HWND top = TopLevelOf(Wnd); top && top != s.Active && IsWindowEnabled(top) &&
                                        !(GetWindowLong(top, GWL_EXSTYLE) & WS_EX_NOACTIVATE))
            ActivateTopLevel(top);
    r = FindRecord(target);
    if (!r || !r->Widget) return;
    if (r->TopInset > 0 && pos.y() < 0 && target == Wnd) {
        // The top band (the menu bar) takes left presses and nothing else.
        if (kind == 0 && e->button() == Qt::LeftButton)
            SendMessage(target, WM_NCLBUTTONDOWN, HTMENU, MakeLParam(pos.x(), pos.y() + r->TopInset));
        return;
    }
    auto buttons = e->buttons();
    auto mods = e->modifiers();
    SetKey(s.Async, VK_LBUTTON, buttons & Qt::LeftButton);
    SetKey(s.Async, VK_RBUTTON, buttons & Qt::RightButton);
    SetKey(s.Async, VK_MBUTTON, buttons & Qt::MiddleButton);
    SetKey(s.Async, VK_SHIFT, mods & Qt::ShiftModifier);
    SetKey(s.Async, VK_CONTROL, mods & Qt::ControlModifier);
    SetKey(s.Async, VK_MENU, mods & Qt::AltModifier);
    s.Current = s.Async;
    uint32_t keys =
        ((buttons & Qt::LeftButton) ? MK_LBUTTON : 0) | ((buttons & Qt::RightButton) ? MK_RBUTTON : 0) |
        ((buttons & Qt::MiddleButton) ? MK_MBUTTON : 0) | ((mods & Qt::ShiftModifier) ? MK_SHIFT : 0) |
        ((mods & Qt::ControlModifier) ? MK_CONTROL : 0);
    UINT msg = WM_MOUSEMOVE;
    if (kind != 3) {
        int base = e->button() == Qt::RightButton    ? WM_RBUTTONDOWN
                   : e->button() == Qt::MiddleButton ? WM_MBUTTONDOWN
                                                     : WM_LBUTTONDOWN;
        if (kind == 0) msg = base;
        if (kind == 1) msg = base + 1;
        if (kind == 2) msg = (r->ClassStyle & CS_DBLCLKS) ? base + 2 : base;
    }
    SendMessage(target, msg, keys, MakeLParam(pos.x(), pos.y()));
}

void WindowWidget::Wheel(QWheelEvent* e) {
    auto& s = S();
    HWND target = s.Focus && IsWindow(s.Focus) ? s.Focus : Wnd;
    auto mods = e->modifiers();
    uint32_t keys =
        ((mods & Qt::ShiftModifier) ? MK_SHIFT : 0) | ((mods & Qt::ControlModifier) ? MK_CONTROL : 0);
    int delta = e->angleDelta().y();
    QPoint g = e->globalPosition().toPoint();
    SendMessage(target, WM_MOUSEWHEEL, MakeWParam(static_cast<int>(keys), delta), MakeLParam(g.x(), g.y()));
}

void WindowWidget::leaveEvent(QEvent*) {
    if (auto* c = FindControl(Wnd)) MouseLeftWindow(*c);
}

void WindowWidget::resizeEvent(QResizeEvent*) {
    auto* r = FindRecord(Wnd);
    if (!r) return;
    LayoutBars(*r);
    EnsureBacking(*r);
    if (isWindow()) {
        TRect c = ClientRectOf(*r);
        SendMessage(Wnd, WM_SIZE, SIZE_RESTORED, MakeLParam(c.Width(), c.Height()));
    }
}

void WindowWidget::moveEvent(QMoveEvent*) {
    if (isWindow()) SendMessage(Wnd, WM_MOVE, 0, MakeLParam(x(), y()));
}

void WindowWidget::paintEvent(QPaintEvent*) {
    auto* r = FindRecord(Wnd);
    if (!r) return;
    QPainter p(this);
    int b = BorderWidth(*r);
    p.drawImage(ClientOffset(*r), r->Backing);
    if (r->TopInset > 0 && r->PaintTopBand) {
        p.save();
        p.translate(b, b);
        p.setClipRect(0, 0, width() - 2 * b, r->TopInset);
        r->PaintTopBand(p, width() - 2 * b);
        p.restore();
    }
    if (b == 1) {
        p.setPen(QColor(0, 0, 0));
        p.drawRect(0, 0, width() - 1, height() - 1);
    } else if (b == 2) {
        p.setPen(QColor(128, 128, 128));
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.setPen(QColor(255, 255, 255));
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
        p.setPen(QColor(64, 64, 64));
        p.drawLine(1, 1, width() - 2, 1);
        p.drawLine(1, 1, 1, height() - 2);
    }
    const Caret& c = S().TheCaret;
    if (c.Owner == Wnd && c.HideCount == 0 && c.BlinkOn) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        if (!c.Image.isNull())
            p.drawImage(c.Pos.X + b, c.Pos.Y + b + r->TopInset, c.Image);
        else
            p.fillRect(c.Pos.X + b, c.Pos.Y + b + r->TopInset, c.Width, c.Height,
                       c.Gray ? QColor(128, 128, 128) : QColor(255, 255, 255));
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

bool InvalidateRect(HWND Wnd, const TRect* R, bool Erase) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return false;
    if (!r->Redraw) return true;  // with redraw off the window takes no invalidation
    QRect client = ToQ(ClientRectOf(*r));
    QRect area = R ? ToQ(*R).intersected(client) : client;
    if (area.isEmpty()) return true;
    r->Update += area;
    if (Erase) r->Erase = true;
    return true;
}

bool ValidateRect(HWND Wnd, const TRect* R) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    if (R)
        r->Update -= ToQ(*R);
    else
        r->Update = QRegion();
    if (r->Update.isEmpty()) r->Erase = false;
    return true;
}

bool GetUpdateRect(HWND Wnd, TRect* R, bool) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    if (R) *R = r->Update.isEmpty() ? TRect{} : FromQ(r->Update.boundingRect());
    return !r->Update.isEmpty();
}

bool UpdateWindow(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    if (!r->Update.isEmpty() && r->Redraw && r->Widget && r->Widget->isVisible()) {
        QRegion before = r->Update;
        SendMessage(Wnd, WM_PAINT, 0, 0);
        if (auto* again = FindRecord(Wnd); again && again->Update == before) again->Update = QRegion();
    }
    return true;
}

bool GetClientRect(HWND Wnd, TRect* R) {
    auto* r = FindRecord(Wnd);
    if (!r || !R) return false;
    *R = ClientRectOf(*r);
    return true;
}

namespace {
HDC NewContext(WindowRecord& r, const QRegion& clip) {
    EnsureBacking(r);
    auto dc = std::make_unique<TDeviceContext>();
    dc->Wnd = r.Handle;
    dc->Target = &r.Backing;
    dc->Painter = std::make_unique<QPainter>(&r.Backing);
    if (!clip.isEmpty()) dc->Painter->setClipRegion(clip);
    dc->Painted = clip;
    HDC h = reinterpret_cast<HDC>(dc.get());
    S().Contexts.emplace(h, std::move(dc));
    return h;
}

void FreeContext(HDC h) {
    auto& c = S().Contexts;
    auto it = c.find(h);
    if (it == c.end()) return;
    auto dc = std::move(it->second);
    c.erase(it);
    dc->Painter->end();
    if (auto* r = FindRecord(dc->Wnd); r && r->Widget) {
        r->Widget->update(dc->Painted.translated(ClientOffset(*r)));
    }
}

HDC ActiveContextOf(HWND wnd) {
    for (auto& [h, dc] : S().Contexts)
        if (dc->Wnd == wnd) return h;
    return 0;
}
}  // namespace

TDeviceContext* ContextOf(uintptr_t Dc) {
    auto& c = S().Contexts;
    auto it = c.find(Dc);
    return it == c.end() ? nullptr : it->second.get();
}

uintptr_t CreateMemoryContext() {
    auto dc = std::make_unique<TDeviceContext>();
    HDC h = reinterpret_cast<HDC>(dc.get());
    S().Contexts.emplace(h, std::move(dc));
    return h;
}

void DeleteMemoryContext(uintptr_t Dc) {
    auto& c = S().Contexts;
    auto it = c.find(Dc);
    if (it == c.end() || it->second->Wnd != 0 || it->second->Painter) return;
    auto dc = std::move(it->second);  // freed after it has left the map
    c.erase(it);
}

QPainter* PainterOf(uintptr_t Dc) {
    auto& c = S().Contexts;
    auto it = c.find(Dc);
    return it == c.end() ? nullptr : it->second->Painter.get();
}

HDC BeginPaint(HWND Wnd, TPaintStruct& Paint) {
    Paint = TPaintStruct{};
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return 0;
    QRegion region = r->Update;
    bool erase = r->Erase;
    r->Update = QRegion();
    r->Erase = false;
    if (HDC open = ActiveContextOf(Wnd)) FreeContext(open);  // one painter per window at a time
    HDC dc = NewContext(*r, region.isEmpty() ? QRegion(QRect(0, 0, 0, 0)) : region);
    Paint.hdc = dc;
    Paint.rcPaint = region.isEmpty() ? TRect{} : FromQ(region.boundingRect());
    if (erase) Paint.fErase = SendMessage(Wnd, WM_ERASEBKGND, dc, 0) == 0;
    return dc;
}

void EndPaint(HWND, const TPaintStruct& Paint) {
    FreeContext(Paint.hdc);
}

HDC GetDC(HWND Wnd) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return 0;
    if (HDC open = ActiveContextOf(Wnd)) return open;
    HDC dc = NewContext(*r, QRegion());
    S().Contexts[dc]->Painted = QRegion(ToQ(ClientRectOf(*r)));
    return dc;
}

int ReleaseDC(HWND, HDC Dc) {
    FreeContext(Dc);
    return 1;
}

bool ScrollWindow(HWND Wnd, int DX, int DY, const TRect* Scroll, const TRect* Clip) {
    auto* r = FindRecord(Wnd);
    if (!r || !r->Widget) return false;
    EnsureBacking(*r);
    QRect client = ToQ(ClientRectOf(*r));
    QRect src = Scroll ? ToQ(*Scroll).intersected(client) : client;
    QRect clip = Clip ? ToQ(*Clip).intersected(client) : src;
    QRect dest = src.translated(DX, DY).intersected(clip);
    if (!dest.isEmpty()) {
        QImage copy = r->Backing.copy(src);
        QPainter p(&r->Backing);
        p.setClipRect(dest);
        p.drawImage(src.topLeft() + QPoint(DX, DY), copy);
    }
    // Pending repaints move with the pixels they belong to.
    QRegion moving = r->Update.intersected(src);
    r->Update = r->Update.subtracted(src)
                    .united(moving.translated(DX, DY).intersected(clip))
                    .united(r->Update.subtracted(clip).intersected(src).subtracted(clip));
    QRegion uncovered = QRegion(clip).subtracted(QRegion(src.translated(DX, DY)));
    if (!uncovered.isEmpty() && r->Redraw) {
        r->Update += uncovered;
        r->Erase = true;
    }
    if (!Scroll && r->Control) ScrollChildControls(*r->Control, DX, DY);
    r->Widget->update(clip.translated(ClientOffset(*r)));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Scroll bars

namespace {
void SendClientSize(HWND wnd) {
    if (auto* r = FindRecord(wnd)) {
        TRect c = ClientRectOf(*r);
        SendMessage(wnd, WM_SIZE, SIZE_RESTORED, MakeLParam(c.Width(), c.Height()));
    }
}
}  // namespace

int SetScrollInfo(HWND Wnd, int Bar, const TScrollInfo& Info, bool) {
    auto* r = FindRecord(Wnd);
    if (!r || Bar < 0 || Bar > 1) return 0;
    auto& i = r->Bars[Bar].Info;
    if (Info.fMask & SIF_RANGE) {
        i.nMin = Info.nMin;
        i.nMax = Info.nMax;
    }
    if (Info.fMask & SIF_PAGE) i.nPage = Info.nPage;
    if (Info.fMask & SIF_POS) i.nPos = Info.nPos;
    // The page never exceeds the range, and the position stays where a whole page still fits.
    uint32_t span = static_cast<uint32_t>(std::max(i.nMax - i.nMin + 1, 0));
    if (i.nPage > span) i.nPage = span;
    int maxPos = i.nMax - std::max(static_cast<int>(i.nPage) - 1, 0);
    i.nPos = std::clamp(i.nPos, i.nMin, std::max(i.nMin, maxPos));
    bool needed = i.nMax > i.nMin && (i.nPage == 0 || static_cast<int>(i.nPage) <= i.nMax - i.nMin);
    bool show = needed || (Info.fMask & SIF_DISABLENOSCROLL);
    bool changed = (Info.fMask & (SIF_RANGE | SIF_PAGE)) && show != r->Bars[Bar].Shown;
    if (changed) {
        r->Bars[Bar].Shown = show;
        uint32_t flag = Bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
        r->Style = show ? (r->Style | flag) : (r->Style & ~flag);
        EnsureBacking(*r);
        InvalidateRect(Wnd, nullptr, true);
    }
    LayoutBars(*r);
    int pos = i.nPos;
    if (changed) SendClientSize(Wnd);  // the client area grew or shrank by the bar
    return pos;
}

bool GetScrollInfo(HWND Wnd, int Bar, TScrollInfo& Info) {
    auto* r = FindRecord(Wnd);
    if (!r || Bar < 0 || Bar > 1) return false;
    const auto& i = r->Bars[Bar].Info;
    if (Info.fMask & SIF_RANGE) {
        Info.nMin = i.nMin;
        Info.nMax = i.nMax;
    }
    if (Info.fMask & SIF_PAGE) Info.nPage = i.nPage;
    if (Info.fMask & SIF_POS) Info.nPos = i.nPos;
    if (Info.fMask & SIF_TRACKPOS) Info.nTrackPos = i.nTrackPos;
    return true;
}

int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw) {
    TScrollInfo old;
    old.fMask = SIF_POS;
    if (!GetScrollInfo(Wnd, Bar, old)) return 0;
    TScrollInfo i;
    i.fMask = SIF_POS;
    i.nPos = Pos;
    SetScrollInfo(Wnd, Bar, i, Redraw);
    return old.nPos;
}

int GetScrollPos(HWND Wnd, int Bar) {
    TScrollInfo i;
    i.fMask = SIF_POS;
    return GetScrollInfo(Wnd, Bar, i) ? i.nPos : 0;
}

bool SetScrollRange(HWND Wnd, int Bar, int Min, int Max, bool Redraw) {
    TScrollInfo i;
    i.fMask = SIF_RANGE;
    i.nMin = Min;
    i.nMax = Max;
    return SetScrollInfo(Wnd, Bar, i, Redraw) >= 0 && IsWindow(Wnd);
}

bool ShowScrollBar(HWND Wnd, int Bar, bool Show) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    bool changed = false;
    for (int b = 0; b < 2; ++b) {
        if (Bar != b && Bar != SB_BOTH) continue;
        changed |= r->Bars[b].Shown != Show;
        r->Bars[b].Shown = Show;
        uint32_t flag = b == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
        r->Style = Show ? (r->Style | flag) : (r->Style & ~flag);
    }
    LayoutBars(*r);
    EnsureBacking(*r);
    if (changed) SendClientSize(Wnd);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Caret

namespace {
void RefreshCaret() {
    const Caret& c = S().TheCaret;
    if (auto* r = FindRecord(c.Owner); r && r->Widget) r->Widget->update();
}

constexpr uint32_t kNoBlink = 0xFFFFFFFF;  // a blink time that keeps the caret steady

// The caret shows at once and blinks from now on: on for a blink time, off for one, and so on.
void RestartBlink() {
    auto& c = S().TheCaret;
    if (c.BlinkTimer) KillTimer(0, c.BlinkTimer);
    c.BlinkTimer = 0;
    c.BlinkOn = true;
    if (!c.Owner || c.BlinkTime == 0 || c.BlinkTime == kNoBlink) return;
    c.BlinkTimer = SetTimer(0, 0, c.BlinkTime, [](HWND, UINT, uintptr_t, uint32_t) {
        auto& t = S().TheCaret;
        t.BlinkOn = !t.BlinkOn;
        if (t.HideCount == 0) RefreshCaret();
    });
}
}  // namespace

bool CreateCaret(HWND Wnd, uintptr_t Bitmap, int Width, int Height) {
    if (!IsWindow(Wnd)) return false;
    DestroyCaret();
    auto& c = S().TheCaret;
    c.Owner = Wnd;
    c.Width = Width > 0 ? Width : GetSystemMetrics(SM_CXBORDER);
    c.Height = Height > 0 ? Height : GetSystemMetrics(SM_CYBORDER);
    c.Pos = TPoint{};
    c.HideCount = 1;
    c.Gray = Bitmap == GrayCaret;
    c.Image = QImage();
    if (Bitmap && Bitmap != GrayCaret)
        if (TBitmapObject* b = BitmapObjectOf(Bitmap); b && !b->Image.isNull()) {
            // A bitmap caret has the bitmap's size; its pixels are XORed over the window.
            c.Image = b->Image.convertToFormat(QImage::Format_RGB32);
            c.Width = c.Image.width();
            c.Height = c.Image.height();
        }
    RestartBlink();
    return true;
}

bool DestroyCaret() {
    auto& c = S().TheCaret;
    if (!c.Owner) return false;
    RefreshCaret();
    if (c.BlinkTimer) KillTimer(0, c.BlinkTimer);
    uint32_t blink = c.BlinkTime;
    c = Caret{};
    c.BlinkTime = blink;
    return true;
}

bool SetCaretPos(int X, int Y) {
    auto& c = S().TheCaret;
    if (!c.Owner) return false;
    RefreshCaret();
    c.Pos = TPoint{X, Y};
    RestartBlink();
    RefreshCaret();
    return true;
}

bool GetCaretPos(TPoint* P) {
    if (P) *P = S().TheCaret.Pos;
    return true;
}

bool ShowCaret(HWND Wnd) {
    auto& c = S().TheCaret;
    if (!c.Owner || (Wnd && Wnd != c.Owner)) return false;
    if (c.HideCount == 0) return false;
    --c.HideCount;
    if (c.HideCount == 0) RestartBlink();
    RefreshCaret();
    return true;
}

bool HideCaret(HWND Wnd) {
    auto& c = S().TheCaret;
    if (!c.Owner || (Wnd && Wnd != c.Owner)) return false;
    ++c.HideCount;
    RefreshCaret();
    return true;
}

uint32_t GetCaretBlinkTime() {
    return S().TheCaret.BlinkTime;
}

bool SetCaretBlinkTime(uint32_t Milliseconds) {
    S().TheCaret.BlinkTime = Milliseconds;
    RestartBlink();
    RefreshCaret();
    return true;
}

TCaretState GetCaretState() {
    const Caret& c = S().TheCaret;
    return TCaretState{c.Owner,
                       Bounds(c.Pos.X, c.Pos.Y, c.Width, c.Height),
                       c.Owner && c.HideCount == 0,
                       c.HideCount,
                       c.Gray,
                       c.Owner && c.HideCount == 0 && c.BlinkOn,
                       !c.Image.isNull()};
}

// ---------------------------------------------------------------------------------------------
// Timers

uintptr_t SetTimer(HWND Wnd, uintptr_t IdEvent, uint32_t Elapse, TTimerProc Proc) {
    auto& s = S();
    if (Wnd && !IsWindow(Wnd)) return 0;
    uint32_t interval = std::max<uint32_t>(Elapse, 10);
    if (!Wnd) IdEvent = s.NextTimerId++;
    for (auto& t : s.Timers) {
        if (Wnd && t.Wnd == Wnd && t.Id == IdEvent) {  // the same timer again: restarted
            t.Interval = interval;
            t.Due = TimerClockNow() + interval;
            t.Proc = std::move(Proc);
            return IdEvent;
        }
    }
    s.Timers.push_back(Timer{Wnd, IdEvent, interval, TimerClockNow() + interval, std::move(Proc)});
    return Wnd ? (IdEvent ? IdEvent : 1) : IdEvent;
}

bool KillTimer(HWND Wnd, uintptr_t IdEvent) {
    auto& t = S().Timers;
    auto n = std::erase_if(t, [&](const Timer& x) { return x.Wnd == Wnd && x.Id == IdEvent; });
    return n > 0;
}

uint32_t TimerClockNow() {
    return GetTickCount();
}

// ---------------------------------------------------------------------------------------------
// System metrics and colours.
//
// Metrics are those of a classic desktop at 96 dots per inch with small fonts; the screen size is
// the Qt primary screen's (800 x 600 under the offscreen platform).

namespace {
std::atomic<bool> gMouseButtonsSwapped{false};
}  // namespace

bool SwapMouseButton(bool Swap) {
    return gMouseButtonsSwapped.exchange(Swap);
}

int GetSystemMetrics(int Index) {
    switch (Index) {
        case SM_SWAPBUTTON:
            return gMouseButtonsSwapped ? 1 : 0;
        case SM_CXSCREEN:
        case SM_CXFULLSCREEN: {
            EnsureGuiApplication();
            QScreen* scr = QGuiApplication::primaryScreen();
            return scr ? scr->geometry().width() : 800;
        }
        case SM_CYSCREEN: {
            EnsureGuiApplication();
            QScreen* scr = QGuiApplication::primaryScreen();
            return scr ? scr->geometry().height() : 600;
        }
        case SM_CYFULLSCREEN:
            return GetSystemMetrics(SM_CYSCREEN) - 18 - 28;  // minus caption and task bar
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB:
            return 16;
        case SM_CYCAPTION:
            return 19;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CYMENU:
            return 19;
        case SM_CXMIN:
            return 112;
        case SM_CYMIN:
            return 27;
        case SM_CXSIZE:
        case SM_CYSIZE:
            return 18;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
        case SM_CXDRAG:
        case SM_CYDRAG:
            return 4;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CYSMCAPTION:
            return 15;
        case SM_CXSMSIZE:
        case SM_CYSMSIZE:
            return 12;
        case SM_MOUSEWHEELPRESENT:
            return 1;
        default:
            return 0;
    }
}

// The classic standard colour scheme, 0x00BBGGRR, by COLOR_ index.
uint32_t GetSysColor(int Index) {
    static constexpr uint32_t kColors[31] = {
        0xC8D0D4,  // 0 scroll bar
        0x984E00,  // 1 desktop
        0x6A240A,  // 2 active caption
        0x808080,  // 3 inactive caption
        0xC8D0D4,  // 4 menu
        0xFFFFFF,  // 5 window
        0x000000,  // 6 window frame
        0x000000,  // 7 menu text
        0x000000,  // 8 window text
        0xFFFFFF,  // 9 caption text
        0xC8D0D4,  // 10 active border
        0xC8D0D4,  // 11 inactive border
        0x808080,  // 12 application workspace
        0x6A240A,  // 13 highlight
        0xFFFFFF,  // 14 highlight text
        0xC8D0D4,  // 15 button face
        0x808080,  // 16 button shadow
        0x808080,  // 17 grey text
        0x000000,  // 18 button text
        0xC8D0D4,  // 19 inactive caption text
        0xFFFFFF,  // 20 button highlight
        0x404040,  // 21 3-D dark shadow
        0xC8D0D4,  // 22 3-D light
        0x000000,  // 23 info text
        0xE1FFFF,  // 24 info background
        0xB5B5B5,  // 25 (unused slot)
        0x800000,  // 26 hot-tracked item
        0xF0CAA6,  // 27 active caption gradient
        0xC0C0C0,  // 28 inactive caption gradient
        0x6A240A,  // 29 highlighted menu item
        0xC8D0D4,  // 30 menu bar
    };
    if (Index < 0 || Index >= 31) return 0;
    return kColors[Index];
}

// ---------------------------------------------------------------------------------------------
// Pointer, queue inspection, window shape, small calls.

bool GetCursorPos(TPoint* Point) {
    if (!Point) return false;
    *Point = S().Pointer;
    return true;
}

bool SetCursorPos(int X, int Y) {
    S().Pointer = TPoint{X, Y};
    return true;
}

bool PeekMessage(TMsg* Msg, HWND Wnd, UINT FilterMin, UINT FilterMax, UINT RemoveMsg) {
    auto& q = S().Queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (Wnd && it->Wnd != Wnd) continue;
        UINT m = it->Msg.Msg;
        if ((FilterMin || FilterMax) && (m < FilterMin || m > FilterMax)) continue;
        if (Msg) *Msg = TMsg{it->Wnd, m, it->Msg.WParam, it->Msg.LParam};
        if (RemoveMsg & PM_REMOVE) q.erase(it);
        return true;
    }
    return false;
}

int32_t GetDialogBaseUnits() {
    return 8 | (16 << 16);
}

int MulDiv(int Number, int Numerator, int Denominator) {
    if (Denominator == 0) return -1;
    int64_t p = static_cast<int64_t>(Number) * Numerator;
    int64_t q = p / Denominator, rem = p % Denominator;
    // Half away from zero: |2 * rem| >= |Denominator| rounds the magnitude up.
    if (2 * (rem < 0 ? -rem : rem) >= (Denominator < 0 ? -static_cast<int64_t>(Denominator) : Denominator))
        q += ((p < 0) != (Denominator < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return static_cast<int>(q);
}

bool QueryPerformanceFrequency(int64_t* Frequency) {
    if (!Frequency) return false;
    *Frequency = 1000;
    return true;
}

bool QueryPerformanceCounter(int64_t* Count) {
    if (!Count) return false;
    static uint32_t last = 0;
    static int64_t high = 0;
    uint32_t now = GetTickCount();
    // A wrap of the 32-bit tick count carries into the high part; a clock set back does not.
    if (now<last&& static_cast<int32_t>(now - last)> 0) high += int64_t{1} << 32;
    last = now;
    *Count = high + now;
    return true;
}

bool sndPlaySound(const char*, uint32_t) {
    return true;
}

}  // namespace framework
