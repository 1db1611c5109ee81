// Monitors and their work areas, window shapes and window placement.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>

#include "framework/graphics/Gdi.h"
#include "framework/graphics/GdiState.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Windows.h"
#include "framework/ui/WindowsImpl.h"

namespace framework {

namespace {

std::vector<TMonitorInfo>& TestMonitors() {
    static std::vector<TMonitorInfo> m;
    return m;
}

std::vector<TMonitorInfo> AllMonitors() {
    if (!TestMonitors().empty()) return TestMonitors();
    std::vector<TMonitorInfo> out;
    EnsureGuiApplication();
    QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&out](QScreen* s, bool isPrimary) {
        QRect g = s->geometry(), a = s->availableGeometry();
        TMonitorInfo i;
        i.rcMonitor = Bounds(g.x(), g.y(), g.width(), g.height());
        i.rcWork = Bounds(a.x(), a.y(), a.width(), a.height());
        i.dwFlags = isPrimary ? MONITORINFOF_PRIMARY : 0;
        out.push_back(i);
    };
    if (primary) add(primary, true);
    for (QScreen* s : QGuiApplication::screens())
        if (s != primary) add(s, false);
    if (out.empty()) {
        TMonitorInfo i;
        i.rcMonitor = i.rcWork = Bounds(0, 0, 800, 600);
        i.dwFlags = MONITORINFOF_PRIMARY;
        out.push_back(i);
    }
    return out;
}

// Handles are the index plus one.
HMONITOR HandleOf(size_t index) {
    return static_cast<HMONITOR>(index + 1);
}

int64_t Overlap(const TRect& a, const TRect& b) {
    int64_t w = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
    int64_t h = std::min(a.Bottom, b.Bottom) - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

int64_t DistanceSq(const TRect& r, TPoint p) {
    int64_t dx = p.X < r.Left ? r.Left - p.X : (p.X >= r.Right ? p.X - r.Right + 1 : 0);
    int64_t dy = p.Y < r.Top ? r.Top - p.Y : (p.Y >= r.Bottom ? p.Y - r.Bottom + 1 : 0);
    return dx * dx + dy * dy;
}

HMONITOR Fallback(const std::vector<TMonitorInfo>& m, uint32_t Flags, TPoint near) {
    if (Flags == MONITOR_DEFAULTTOPRIMARY) return HandleOf(0);
    if (Flags != MONITOR_DEFAULTTONEAREST) return 0;
    size_t best = 0;
    for (size_t i = 1; i < m.size(); ++i)
        if (DistanceSq(m[i].rcMonitor, near) < DistanceSq(m[best].rcMonitor, near)) best = i;
    return HandleOf(best);
}

// R moved (and cut to size) so that it lies inside Area.
TRect MoveInside(TRect R, const TRect& Area) {
    int w = std::min(R.Width(), Area.Width()), h = std::min(R.Height(), Area.Height());
    int x = std::clamp(R.Left, Area.Left, Area.Right - w);
    int y = std::clamp(R.Top, Area.Top, Area.Bottom - h);
    return Bounds(x, y, w, h);
}

}  // namespace

void SetMonitors(const std::vector<TMonitorInfo>& Monitors) {
    TestMonitors() = Monitors;
    for (size_t i = 0; i < TestMonitors().size(); ++i)
        TestMonitors()[i].dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
}

int MonitorCount() {
    return static_cast<int>(AllMonitors().size());
}

HMONITOR MonitorFromPoint(TPoint Point, uint32_t Flags) {
    auto m = AllMonitors();
    for (size_t i = 0; i < m.size(); ++i)
        if (m[i].rcMonitor.Contains(Point)) return HandleOf(i);
    return Fallback(m, Flags, Point);
}

HMONITOR MonitorFromRect(const TRect& Rect, uint32_t Flags) {
    auto m = AllMonitors();
    size_t best = 0;
    int64_t most = 0;
    for (size_t i = 0; i < m.size(); ++i)
        if (int64_t o = Overlap(m[i].rcMonitor, Rect); o > most) {
            most = o;
            best = i;
        }
    if (most > 0) return HandleOf(best);
    return Fallback(m, Flags, TPoint{(Rect.Left + Rect.Right) / 2, (Rect.Top + Rect.Bottom) / 2});
}

HMONITOR MonitorFromWindow(HWND Wnd, uint32_t Flags) {
    TWinControl* c = FindControl(Wnd);
    if (!c) return Flags == MONITOR_DEFAULTTONULL ? 0 : HandleOf(0);
    TPoint o = c->Parent() ? c->ClientToScreen(TPoint{0, 0}) : TPoint{c->Left(), c->Top()};
    return MonitorFromRect(Bounds(o.X, o.Y, std::max(c->Width(), 1), std::max(c->Height(), 1)), Flags);
}

bool GetMonitorInfo(HMONITOR Monitor, TMonitorInfo* Info) {
    auto m = AllMonitors();
    if (!Info || Monitor == 0 || Monitor > m.size()) return false;
    *Info = m[Monitor - 1];
    return true;
}

TPoint PlacePopup(const TRect& Owner, int Width, int Height) {
    TMonitorInfo mi;
    GetMonitorInfo(MonitorFromRect(Owner, MONITOR_DEFAULTTONEAREST), &mi);
    const TRect& work = mi.rcWork;
    int y = Owner.Bottom;
    if (y + Height > work.Bottom && Owner.Top - Height >= work.Top) y = Owner.Top - Height;
    int x = std::max(std::min(Owner.Left, work.Right - Width), work.Left);
    return TPoint{x, y};
}

// ---------------------------------------------------------------------------------------------

bool SetWindowRgn(HWND Wnd, uintptr_t Rgn, bool Redraw) {
    auto* r = FindRecord(Wnd);
    if (!r) return false;
    QRegion shape;
    if (Rgn) {
        if (auto* obj = gdi::FindAs<gdi::RegionObj>(Rgn)) shape = obj->Rgn;
        DeleteObject(Rgn);  // the window owns the region now
    }
    r->Shape = shape;
    if (r->Widget) {
        if (shape.isEmpty())
            r->Widget->clearMask();
        else
            r->Widget->setMask(shape);
        if (Redraw) r->Widget->update();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

bool GetWindowPlacement(HWND Wnd, TWindowPlacement* P) {
    TWinControl* c = FindControl(Wnd);
    if (!c || !P) return false;
    *P = TWindowPlacement{};
    P->rcNormalPosition = c->BoundsRect();
    P->showCmd = SW_SHOWNORMAL;
    if (auto* f = dynamic_cast<TCustomForm*>(c)) {
        P->rcNormalPosition = f->NormalBounds();
        P->ptMaxPosition = f->MaxPosition();
        if (f->WindowState() == wsMinimized) {
            P->showCmd = SW_SHOWMINIMIZED;
            if (f->RestoreToMaximized()) P->flags |= WPF_RESTORETOMAXIMIZED;
        } else if (f->WindowState() == wsMaximized) {
            P->showCmd = SW_SHOWMAXIMIZED;
        }
    }
    return true;
}

bool SetWindowPlacement(HWND Wnd, const TWindowPlacement* P) {
    TWinControl* c = FindControl(Wnd);
    if (!c || !P) return false;
    TRect r = P->rcNormalPosition;
    if (r.Width() < 0 || r.Height() < 0) return false;
    // Bounds that no work area meets would put the window out of reach: the nearest one takes it.
    bool reachable = false;
    for (int i = 0; i < MonitorCount(); ++i) {
        TMonitorInfo mi;
        GetMonitorInfo(static_cast<HMONITOR>(i + 1), &mi);
        if (Overlap(mi.rcWork, r) > 0) reachable = true;
    }
    if (!reachable) {
        TMonitorInfo mi;
        GetMonitorInfo(MonitorFromRect(r, MONITOR_DEFAULTTONEAREST), &mi);
        r = MoveInside(r, mi.rcWork);
    }
    auto* f = dynamic_cast<TCustomForm*>(c);
    if (!f) {
        c->SetBoundsRect(r);
        return true;
    }
    f->SetWindowState(wsNormal);
    f->SetBoundsRect(r);
    f->SetMaxPosition(P->ptMaxPosition);
    switch (P->showCmd) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            f->SetWindowState(wsMinimized);
            f->SetRestoreToMaximized((P->flags & WPF_RESTORETOMAXIMIZED) != 0);
            break;
        case SW_SHOWMAXIMIZED:
            f->SetWindowState(wsMaximized);
            break;
        default:
            break;
    }
    return true;
}

}  // namespace framework
