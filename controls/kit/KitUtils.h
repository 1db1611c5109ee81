#pragma once
// Small string, path and rectangle helpers used across the kit.

#include <string>
#include <string_view>
#include <vector>

#include "framework/ui/Types.h"

namespace kit {

enum TKitPathPrefix { ppWindows, ppSystem, ppProgram, ppFixed };

// Empty or only spaces.
bool IsBlank(std::string_view Text);
std::string FillString(int Count, char Char);
// The part after the first Char (at most 255 characters); Text itself when Char does not occur.
std::string TextAfter(std::string_view Text, char Char);
// Text with "\" appended unless it is non-blank and already ends with "\".
std::string AddBackslash(std::string_view Path);
// A non-blank path loses one trailing "\".
std::string RemoveBackslash(std::string_view Path);

// The folder of the program file, with its trailing backslash.
std::string ProgramFolder();
// The folder where the system keeps its settings, which stands in for both the Windows folder and
// the system folder (without trailing backslash).
std::string WindowsFolder();
std::string SystemFolder();
// The folder of a prefix with or without trailing backslash; ppFixed gives "".
std::string PathPrefix(TKitPathPrefix Prefix, bool WithSlash);

// Rectangles.
void AdjustRect(framework::TRect& Rect, int DLeft, int DTop, int DRight, int DBottom);
void RectSize(const framework::TRect& Rect, int& Width, int& Height);
// Picture scaled by the smaller of the two ratios to fit Area, placed at Area's top-left.
framework::TRect FitRect(const framework::TRect& Picture, const framework::TRect& Area);
// The bounding box, moved to (0, 0), of Rect turned by Angle degrees about its centre; Rect
// itself for an angle of 0.
framework::TRect RotatedBounds(const framework::TRect& Rect, int Angle);
int MaxOf(const std::vector<int>& Values);
int MinOf(const std::vector<int>& Values);
long double MinOfFloats(const std::vector<long double>& Values);

inline int PreIncrement(int& Value) {
    return ++Value;
}

}  // namespace kit
