#include "controls/kit/KitUtils.h"

#include <algorithm>
#include <cmath>

#include "platform/Paths.h"
#include "platform/ProgramFolder.h"
#include "platform/XdgDirs.h"

namespace kit {

using framework::TRect;

bool IsBlank(std::string_view Text) {
    return std::all_of(Text.begin(), Text.end(), [](char c) { return c == ' '; });
}

std::string FillString(int Count, char Char) {
    return Count > 0 ? std::string(static_cast<size_t>(Count), Char) : std::string();
}

std::string TextAfter(std::string_view Text, char Char) {
    size_t at = Text.find(Char);
    if (at == std::string_view::npos) return std::string(Text);
    return std::string(Text.substr(at + 1, 255));
}

std::string AddBackslash(std::string_view Path) {
    if (!IsBlank(Path) && Path.back() == '\\') return std::string(Path);
    return std::string(Path) + "\\";
}

std::string RemoveBackslash(std::string_view Path) {
    if (!IsBlank(Path) && Path.back() == '\\') Path.remove_suffix(1);
    return std::string(Path);
}

std::string ProgramFolder() {
    std::string name = platform::GetModuleFileName();
    size_t slash = name.rfind('\\');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string WindowsFolder() {
    return RemoveBackslash(platform::NativeToWindowsPath(platform::KorvaneConfigFolder()));
}

std::string SystemFolder() {
    return WindowsFolder();
}

std::string PathPrefix(TKitPathPrefix Prefix, bool WithSlash) {
    std::string folder;
    switch (Prefix) {
        case ppWindows:
            folder = WindowsFolder();
            break;
        case ppSystem:
            folder = SystemFolder();
            break;
        case ppProgram:
            folder = ProgramFolder();
            break;
        case ppFixed:
            return {};
    }
    return WithSlash ? AddBackslash(folder) : RemoveBackslash(folder);
}

void AdjustRect(TRect& Rect, int DLeft, int DTop, int DRight, int DBottom) {
    Rect.Left += DLeft;
    Rect.Top += DTop;
    Rect.Right += DRight;
    Rect.Bottom += DBottom;
}

void RectSize(const TRect& Rect, int& Width, int& Height) {
    Width = Rect.Right - Rect.Left;
    Height = Rect.Bottom - Rect.Top;
}

TRect FitRect(const TRect& Picture, const TRect& Area) {
    int pw, ph, aw, ah;
    RectSize(Picture, pw, ph);
    RectSize(Area, aw, ah);
    if (pw == 0 || ph == 0) return TRect{Area.Left, Area.Top, Area.Left, Area.Top};
    double scale = std::min(static_cast<double>(aw) / pw, static_cast<double>(ah) / ph);
    int w = static_cast<int>(std::lround(pw * scale));
    int h = static_cast<int>(std::lround(ph * scale));
    return TRect{Area.Left, Area.Top, Area.Left + w, Area.Top + h};
}

TRect RotatedBounds(const TRect& Rect, int Angle) {
    if (Angle == 0) return Rect;
    int w, h;
    RectSize(Rect, w, h);
    double cx = Rect.Left + w / 2;
    double cy = Rect.Top + h / 2;
    double a = Angle * M_PI / 180.0;
    double c = std::cos(a), s = std::sin(a);
    const double xs[4] = {double(Rect.Left), double(Rect.Right), double(Rect.Right), double(Rect.Left)};
    const double ys[4] = {double(Rect.Top), double(Rect.Top), double(Rect.Bottom), double(Rect.Bottom)};
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        double dx = xs[i] - cx, dy = ys[i] - cy;
        long x = std::lround(cx + dx * c - dy * s);
        long y = std::lround(cy + dx * s + dy * c);
        if (i == 0 || x < minX) minX = x;
        if (i == 0 || x > maxX) maxX = x;
        if (i == 0 || y < minY) minY = y;
        if (i == 0 || y > maxY) maxY = y;
    }
    return TRect{0, 0, static_cast<int>(maxX - minX), static_cast<int>(maxY - minY)};
}

int MaxOf(const std::vector<int>& Values) {
    return Values.empty() ? 0 : *std::max_element(Values.begin(), Values.end());
}

int MinOf(const std::vector<int>& Values) {
    return Values.empty() ? 0 : *std::min_element(Values.begin(), Values.end());
}

long double MinOfFloats(const std::vector<long double>& Values) {
    return Values.empty() ? 0 : *std::min_element(Values.begin(), Values.end());
}

}  // namespace kit
