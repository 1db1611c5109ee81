#pragma once
// Scroll bar codes of WM_HSCROLL and WM_VSCROLL.

#include <optional>

#include "framework/ui/Controls.h"

namespace framework {

// The scroll position a WM_HSCROLL/WM_VSCROLL code asks for, starting from Pos with the given line
// and page steps (SB_BOTTOM asks for a position past any end; the caller clamps); nothing for a code
// that does not move (SB_ENDSCROLL).
std::optional<int> ScrollCodePosition(const TMessage& M, int Pos, int Line, int Page);

}  // namespace framework
