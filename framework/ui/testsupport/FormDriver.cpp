#include "framework/ui/testsupport/FormDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>

#include <QApplication>
#include <QPainter>
#include "framework/core/Seams.h"
#include "framework/stdctrls/Dialogs.h"

#include "framework/stdctrls/Menus.h"
#include "framework/ui/KeyMap.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

TFormDriver::TFormDriver() {
    EnsureGuiApplication();
    FPrevious = ModalAnswerer();
    SetModalAnswerer(this);
    FPreviousTicks = SetTickCountSource([this] { return FNow; });
    SetDragDriver([this](TDragStep& Step) {
        if (FDragSteps.empty()) return false;
        Step = FDragSteps.front();
        FDragSteps.pop_front();
        return true;
    });
    SetCommonDialogAnswerer([this](TCommonDialog& Dialog) {
        TShown s{"dialog", Dialog.ClassName(), Dialog.DisplayTitle(), "", 0, 0};
        bool ok = false;
        if (FDialogAnswers.empty()) {
            if (Strict) ADD_FAILURE() << "dialog " << Dialog.ClassName() << " was not answered";
        } else {
            auto fill = std::move(FDialogAnswers.front());
            FDialogAnswers.pop_front();
            ok = fill(Dialog);
        }
        s.Answer = ok ? mrOk : mrCancel;
        Shown.push_back(s);
        return ok;
    });
    SetMenuTracker([this](TMenu& Menu, TMenuItem& Items, TPoint, TMenuItem*& chosen) -> bool {
        if (LiveMenus && FMenuAnswers.empty()) return false;
        // A popup menu is known by its name, a menu of the bar by its caption.
        TShown s{"menu",
                 Menu.ClassName(),
                 &Items == Menu.Items() ? Menu.Name() : StripHotkey(Items.Caption),
                 "",
                 0,
                 0};
        chosen = nullptr;
        if (FMenuAnswers.empty()) {
            if (Strict) ADD_FAILURE() << "popup menu " << Menu.Name() << " was not answered";
        } else {
            auto choose = std::move(FMenuAnswers.front());
            FMenuAnswers.pop_front();
            chosen = choose(Items);
        }
        Shown.push_back(s);
        return true;
    });
}

void TFormDriver::AnswerDialog(std::function<bool(TCommonDialog&)> Fill) {
    FDialogAnswers.push_back(std::move(Fill));
}

void TFormDriver::AnswerMenu(std::function<TMenuItem*(TMenuItem&)> Choose) {
    FMenuAnswers.push_back(std::move(Choose));
}

TFormDriver::~TFormDriver() {
    SetModalAnswerer(FPrevious);
    SetTickCountSource(FPreviousTicks);
    SetCommonDialogAnswerer({});
    SetDragDriver({});
    CloseMenus();
    CloseMenus();  // the second call frees the closed menu windows
    SetMenuTracker({});
}

int TFormDriver::RunPending() {
    return ProcessPendingMessages();
}

void TFormDriver::Advance(uint32_t Ms, uint32_t Step) {
    if (Step == 0) Step = Ms;
    uint32_t done = 0;
    while (done < Ms) {
        uint32_t d = std::min(Step, Ms - done);
        FNow += d;
        done += d;
        RunPending();
    }
}

namespace {
Qt::KeyboardModifiers Mods(TShiftState s) {
    Qt::KeyboardModifiers m;
    if (s & ssShift) m |= Qt::ShiftModifier;
    if (s & ssCtrl) m |= Qt::ControlModifier;
    if (s & ssAlt) m |= Qt::AltModifier;
    return m;
}

QWidget* WidgetOf(HWND wnd) {
    auto* r = FindRecord(wnd);
    return r ? r->Widget.data() : nullptr;
}
}  // namespace

void TFormDriver::SendKey(bool Down, int VirtKey, TShiftState Shift, const std::u16string& Text) {
    HWND target = GetFocus();
    QWidget* w = WidgetOf(target);
    if (!w) {
        ADD_FAILURE() << "a key was typed while no window had the focus";
        return;
    }
    int qtKey = VirtualKeyToQtKey(VirtKey);
    if (qtKey == 0) qtKey = VirtKey;
    Qt::KeyboardModifiers m = Mods(Shift);
    if (VirtKey >= VK_NUMPAD0 && VirtKey <= VK_NUMPAD0 + 9) m |= Qt::KeypadModifier;
    QKeyEvent e(Down ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, m, QString::fromStdU16String(Text));
    QCoreApplication::sendEvent(w, &e);
    NoteInputKey(VirtKey, Down);  // the key is down (or up) even when no window took the event
}

void TFormDriver::KeyDown(int VirtKey, TShiftState Shift) {
    std::u16string text;
    bool shift = Shift & ssShift, ctrl = Shift & ssCtrl;
    if (!ctrl) {
        if (VirtKey >= 'A' && VirtKey <= 'Z')
            text.push_back(static_cast<char16_t>(shift ? VirtKey : VirtKey + 32));
        else if (VirtKey >= '0' && VirtKey <= '9' && !shift)
            text.push_back(static_cast<char16_t>(VirtKey));
        else if (VirtKey == VK_SPACE)
            text = u" ";
    }
    SendKey(true, VirtKey, Shift, text);
    RunPending();
}

void TFormDriver::KeyUp(int VirtKey, TShiftState Shift) {
    SendKey(false, VirtKey, Shift, u"");
    RunPending();
}

void TFormDriver::Key(int VirtKey, TShiftState Shift) {
    KeyDown(VirtKey, Shift);
    KeyUp(VirtKey, Shift);
}

void TFormDriver::Type(const std::string& Text) {
    for (unsigned char c : Text) {
        std::u16string u = AnsiToUtf16(std::string(1, static_cast<char>(c)));
        int vk = 0;
        TShiftState shift = 0;
        int qtKey = 0;
        if (c >= 'a' && c <= 'z') {
            vk = c - 32;
        } else if (c >= 'A' && c <= 'Z') {
            vk = c;
            shift = ssShift;
        } else if (c >= '0' && c <= '9') {
            vk = c;
        } else if (c == ' ') {
            vk = VK_SPACE;
        } else {
            // A key of its own on some keyboard: the Qt key is the (upper-case) character.
            qtKey = QChar(u[0]).toUpper().unicode();
            vk = QtKeyToVirtualKey(qtKey, false).VirtKey;
        }
        HWND target = GetFocus();
        QWidget* w = WidgetOf(target);
        if (!w) {
            ADD_FAILURE() << "text was typed while no window had the focus";
            return;
        }
        if (!qtKey) qtKey = VirtualKeyToQtKey(vk);
        QString text = QString::fromStdU16String(u);
        QKeyEvent down(QEvent::KeyPress, qtKey, Mods(shift), text);
        QCoreApplication::sendEvent(w, &down);
        RunPending();
        QKeyEvent up(QEvent::KeyRelease, qtKey, Mods(shift), QString());
        if (QWidget* w2 = WidgetOf(GetFocus())) QCoreApplication::sendEvent(w2, &up);
        RunPending();
    }
}

void TFormDriver::KeyTo(TWinControl& Control, int VirtKey, TShiftState Shift) {
    Control.SetFocus();
    RunPending();
    Key(VirtKey, Shift);
}

void TFormDriver::SendMouse(TControl& Control, int Type, int X, int Y, TMouseButton Button, TShiftState Shift,
                            bool Held) {
    TWinControl* window = dynamic_cast<TWinControl*>(&Control);
    int x = X, y = Y;
    if (!window) {
        window = Control.Parent();
        x += Control.Left();
        y += Control.Top();
    }
    if (!window) {
        ADD_FAILURE() << "a windowless control without a parent cannot be clicked";
        return;
    }
    QWidget* w = WidgetOf(window->Handle());
    auto* r = FindRecord(window->Handle());
    if (!w || !r) return;
    QPoint o = ClientOffset(*r);  // a negative Y reaches the band above the client area (menu bar)
    QPointF local(x + o.x(), y + o.y());
    Qt::MouseButton qb = Button == TMouseButton::mbRight    ? Qt::RightButton
                         : Button == TMouseButton::mbMiddle ? Qt::MiddleButton
                                                            : Qt::LeftButton;
    QEvent::Type t = static_cast<QEvent::Type>(Type);
    Qt::MouseButtons held = Held ? Qt::MouseButtons(qb) : Qt::NoButton;
    if (t == QEvent::MouseMove) qb = Qt::NoButton;
    TPoint screen = window->ClientToScreen(TPoint{x, y});
    QMouseEvent e(t, local, QPointF(screen.X, screen.Y), qb, held, Mods(Shift));
    // The button is down (or up) whichever window takes the press: a disabled one does not.
    if (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick || t == QEvent::MouseButtonRelease)
        NoteInputKey(Button == TMouseButton::mbRight    ? VK_RBUTTON
                     : Button == TMouseButton::mbMiddle ? VK_MBUTTON
                                                        : VK_LBUTTON,
                     t != QEvent::MouseButtonRelease);
    QCoreApplication::sendEvent(w, &e);
    RunPending();
}

void TFormDriver::Click(TControl& Control, int X, int Y, TMouseButton Button, TShiftState Shift) {
    if (X < 0) {
        X = Control.ClientWidth() / 2;
        Y = Control.ClientHeight() / 2;
    }
    MouseDown(Control, X, Y, Button, Shift);
    MouseUp(Control, X, Y, Button, Shift);
}

void TFormDriver::DoubleClick(TControl& Control, int X, int Y) {
    if (X < 0) {
        X = Control.ClientWidth() / 2;
        Y = Control.ClientHeight() / 2;
    }
    Click(Control, X, Y);
    SendMouse(Control, QEvent::MouseButtonDblClick, X, Y, TMouseButton::mbLeft, 0, true);
    MouseUp(Control, X, Y);
}

void TFormDriver::MouseDown(TControl& Control, int X, int Y, TMouseButton Button, TShiftState Shift) {
    SendMouse(Control, QEvent::MouseButtonPress, X, Y, Button, Shift, true);
}

void TFormDriver::MouseUp(TControl& Control, int X, int Y, TMouseButton Button, TShiftState Shift) {
    SendMouse(Control, QEvent::MouseButtonRelease, X, Y, Button, Shift, false);
}

void TFormDriver::MouseMove(TControl& Control, int X, int Y, TShiftState Shift) {
    bool held = GetAsyncKeyState(VK_LBUTTON) < 0;
    SendMouse(Control, QEvent::MouseMove, X, Y, TMouseButton::mbLeft, Shift, held);
}

void TFormDriver::MouseLeave(TControl& Control) {
    TWinControl* window = dynamic_cast<TWinControl*>(&Control);
    if (!window) window = Control.Parent();
    if (!window) return;
    if (QWidget* w = WidgetOf(window->Handle())) {
        QEvent e(QEvent::Leave);
        QCoreApplication::sendEvent(w, &e);
    }
    RunPending();
}

void TFormDriver::Wheel(TControl& Control, int Delta, TShiftState Shift) {
    TWinControl* window = dynamic_cast<TWinControl*>(&Control);
    if (!window) window = Control.Parent();
    QWidget* w = window ? WidgetOf(window->Handle()) : nullptr;
    if (!w) return;
    QPointF p(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(p, w->mapToGlobal(p), QPoint(), QPoint(0, Delta), Qt::NoButton, Mods(Shift),
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
    RunPending();
}

void TFormDriver::ScrollBar(TWinControl& Control, int Bar, int Code) {
    auto* r = FindRecord(Control.Handle());
    if (!r || Bar < 0 || Bar > 1 || !r->Bars[Bar].Bar) {
        ADD_FAILURE() << "the window shows no such scroll bar";
        return;
    }
    QAbstractSlider::SliderAction a = QAbstractSlider::SliderNoAction;
    switch (Code) {
        case SB_LINEUP:
            a = QAbstractSlider::SliderSingleStepSub;
            break;
        case SB_LINEDOWN:
            a = QAbstractSlider::SliderSingleStepAdd;
            break;
        case SB_PAGEUP:
            a = QAbstractSlider::SliderPageStepSub;
            break;
        case SB_PAGEDOWN:
            a = QAbstractSlider::SliderPageStepAdd;
            break;
        case SB_TOP:
            a = QAbstractSlider::SliderToMinimum;
            break;
        case SB_BOTTOM:
            a = QAbstractSlider::SliderToMaximum;
            break;
        default:
            break;
    }
    r->Bars[Bar].Bar->triggerAction(a);
    RunPending();
}

TCursor TFormDriver::CursorShown(TWinControl& Control) {
    QWidget* w = WidgetOf(Control.Handle());
    if (!w) return crNone;
    Qt::CursorShape shape = w->cursor().shape();
    // A custom cursor of the screen: the index it was applied under.
    if (shape == Qt::BitmapCursor) return AppliedCursor(w);
    for (TCursor c = crDefault; c >= crSizeAll; --c)
        if (ToQtCursor(c) == shape) return c;
    return crNone;
}

bool TFormDriver::Grab(TWinControl& Control, const std::string& PngPath) {
    RunPending();
    QWidget* w = WidgetOf(Control.Handle());
    if (!w) return false;
    return w->grab().save(QString::fromStdString(PngPath), "PNG");
}

bool TFormDriver::GrabScreen(const TRect& Area, const std::string& PngPath) {
    RunPending();
    QImage shot(std::max(Area.Width(), 1), std::max(Area.Height(), 1), QImage::Format_RGB32);
    shot.fill(QColor(0, 128, 128));
    QPainter p(&shot);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) p.drawPixmap(w->x() - Area.Left, w->y() - Area.Top, w->grab());
    p.end();
    return shot.save(QString::fromStdString(PngPath), "PNG");
}

uint32_t TFormDriver::PixelAt(TWinControl& Control, int X, int Y) {
    RunPending();
    auto* r = FindRecord(Control.Handle());
    if (!r || !r->Backing.valid(X, Y)) return 0xFFFFFFFF;
    QRgb c = r->Backing.pixel(X, Y);
    return static_cast<uint32_t>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
}

uint32_t TFormDriver::ShownPixelAt(TWinControl& Control, int X, int Y) {
    RunPending();
    auto* r = FindRecord(Control.Handle());
    QWidget* w = WidgetOf(Control.Handle());
    if (!r || !w) return 0xFFFFFFFF;
    QImage shot = w->grab().toImage();
    QPoint p = QPoint(X, Y) + ClientOffset(*r);
    if (!shot.valid(p)) return 0xFFFFFFFF;
    QRgb c = shot.pixel(p);
    return static_cast<uint32_t>(qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16));
}

void TFormDriver::Answer(int Result) {
    FAnswers.push_back(TAnswer{Result, {}});
}

void TFormDriver::AnswerWith(std::function<void(TCustomForm&)> Act, TModalResult Fallback) {
    FAnswers.push_back(TAnswer{Fallback, std::move(Act)});
}

void TFormDriver::FormShownModal(TCustomForm& Form) {
    Shown.push_back(TShown{"form", Form.ClassName(), Form.Caption(), "", 0, 0});
    size_t index = Shown.size() - 1;
    if (auto* m = dynamic_cast<TMessageForm*>(&Form)) {
        Shown[index].Kind = "message";
        Shown[index].Text = m->Message();
        Shown[index].DlgType = m->DlgType();
        Shown[index].Buttons = m->Buttons().Bits();
    }
    if (FAnswers.empty()) {
        if (Strict)
            ADD_FAILURE() << "modal form " << Form.ClassName() << " \"" << Form.Caption()
                          << "\" was not answered";
        Form.SetModalResult(mrCancel);
        Shown[index].Answer = mrCancel;
        return;
    }
    TAnswer a = std::move(FAnswers.front());
    FAnswers.pop_front();
    if (!a.Act) {
        Form.SetModalResult(a.Result);
        Shown[index].Answer = a.Result;
        return;
    }
    std::erase_if(FFallbacks, [&](const auto& f) { return f.first == &Form; });
    FFallbacks.emplace_back(&Form, a.Result);
    RunPending();
    a.Act(Form);
    Shown[index].Answer = Form.ModalResult();
}

TModalResult TFormDriver::ModalIdle(TCustomForm& Form) {
    TModalResult fallback = mrNone;
    for (auto it = FFallbacks.begin(); it != FFallbacks.end(); ++it)
        if (it->first == &Form) {
            fallback = it->second;
            FFallbacks.erase(it);
            break;
        }
    if (fallback == mrNone) {
        if (Strict) ADD_FAILURE() << "modal form " << Form.ClassName() << " stayed open after its answer";
        fallback = mrCancel;
    }
    for (auto it = Shown.rbegin(); it != Shown.rend(); ++it)
        if ((it->Kind == "form" || it->Kind == "message") && it->ClassName == Form.ClassName()) {
            it->Answer = fallback;
            break;
        }
    return fallback;
}

int TFormDriver::MessageBoxShown(const TMessageBoxRequest& Request) {
    TShown s{"message", "", Request.Caption, Request.Text, Request.Flags, 0};
    if (FAnswers.empty() || FAnswers.front().Act) {
        if (Strict) ADD_FAILURE() << "message box \"" << Request.Text << "\" was not answered";
        s.Answer = (Request.Flags & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    } else {
        s.Answer = FAnswers.front().Result;
        FAnswers.pop_front();
    }
    Shown.push_back(s);
    return s.Answer;
}

}  // namespace framework

// The font configuration library keeps caches for the life of the process; they are not leaks of
// ours. Linked into every test program that uses the driver.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libQt6Gui.so\n";
}

namespace framework {

void TFormDriver::DragOver(TWinControl& Control, int X, int Y) {
    FDragSteps.push_back({TDragStep::Move, Control.Handle(), {X, Y}});
}

void TFormDriver::DragDrop(TWinControl& Control, int X, int Y) {
    FDragSteps.push_back({TDragStep::Release, Control.Handle(), {X, Y}});
}

void TFormDriver::DragEscape() {
    FDragSteps.push_back({TDragStep::Escape, 0, {}});
}

void TFormDriver::DragStart(TControl& Control, int X, int Y) {
    MouseDown(Control, X, Y);
    MouseMove(Control, X + GetSystemMetrics(SM_CXDRAG) + 1, Y + GetSystemMetrics(SM_CYDRAG) + 1, ssLeft);
}

}  // namespace framework
