#pragma once
// Captions with accelerator marks: "&x" underlines x and makes Alt+x (or x in a dialog) act.

#include <string>

#include "framework/ui/Controls.h"

namespace framework {

// True when the character of a CM_DIALOGCHAR or WM_SYSCHAR message is the caption's accelerator.
bool IsAccelChar(const TMessage& M, const std::string& Caption);
// Text of the caption with "&" marks removed, and the index of the underlined character (-1: none).
std::string StripAccel(const std::string& Caption, int& Marked);

// The caption drawn with "&" marks handled: "&&" is "&", the marked character underlined.
void DrawCaption(TCanvas& Canvas, const TRect& R, const std::string& Caption, TAlignment Alignment,
                 bool ShowAccel);

}  // namespace framework
