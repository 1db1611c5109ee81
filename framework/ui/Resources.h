#pragma once
// Resources compiled into the program: named and numbered bitmaps, cursors and raw data. The library
// that owns a resource registers it at start-up (a bitmap or cursor as a function that draws it);
// programs load them as they would from their executable. Instance 0 stands for the system's own
// resources (OBM_CHECKBOXES), HInstance for the program's.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/Graphics.h"
#include "framework/ui/Windows.h"

namespace framework {

using HINSTANCE = uintptr_t;
using HRSRC = uintptr_t;
using HGLOBAL = uintptr_t;
constexpr HINSTANCE HInstance = 1;

// A resource's name (compared without regard to case) or number.
struct TResourceId {
    TResourceId(const char* AName) : Name(AName ? AName : "") {}
    TResourceId(const std::string& AName) : Name(AName) {}
    TResourceId(int ANumber) : Number(ANumber) {}
    std::string Name;
    int Number = -1;
    // "#123" for a number, else the name upper-cased: the key of the registry.
    std::string Key() const;
};

// Resource types.
constexpr uint32_t RT_CURSOR = 1;
constexpr uint32_t RT_BITMAP = 2;
constexpr uint32_t RT_RCDATA = 10;

// The system's check-box image: 4 columns (clear, checked, pressed, pressed and checked) by 3 rows
// (check box, radio button, three-state box) of 13 × 13 cells.
constexpr int OBM_CHECKBOXES = 32759;

using TBitmapMaker = std::function<void(TBitmap& Bitmap)>;
// Registers (or replaces) a bitmap of the program.
void RegisterBitmapResource(const TResourceId& Id, TBitmapMaker Make);
// A cursor: the bitmap as drawn, clFuchsia pixels transparent, with its hot spot.
void RegisterCursorResource(const TResourceId& Id, TBitmapMaker Make, TPoint HotSpot);
void RegisterDataResource(const TResourceId& Id, uint32_t Type, std::vector<uint8_t> Data);

// A new bitmap handle (the caller deletes it with DeleteObject); 0 for an unknown resource.
HBITMAP LoadBitmap(HINSTANCE Instance, const TResourceId& Id);
// Loads into a bitmap object; an unknown resource leaves it empty and gives false.
bool LoadBitmapResource(TBitmap& Bitmap, const TResourceId& Id, HINSTANCE Instance = HInstance);
// The cursor (loaded once, kept for the program's life); 0 for an unknown resource.
HCURSOR LoadCursor(HINSTANCE Instance, const TResourceId& Id);

// Raw data: 0 when the program has no such resource of that type.
HRSRC FindResource(HINSTANCE Instance, const TResourceId& Id, uint32_t Type);
uint32_t SizeofResource(HINSTANCE Instance, HRSRC Resource);
HGLOBAL LoadResource(HINSTANCE Instance, HRSRC Resource);
const void* LockResource(HGLOBAL Data);

// The cursors of the screen by index (TScreen::Cursors): a custom cursor set at an index shows on
// every control whose Cursor is that index.
HCURSOR ScreenCursor(int16_t Index);
void SetScreenCursor(int16_t Index, HCURSOR Cursor);

}  // namespace framework
