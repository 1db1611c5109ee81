#pragma once
// Standard controls: labels, group boxes, push buttons, check boxes and radio buttons, single- and
// multi-line edits, list boxes and combo boxes (owner-drawn ones included). They are drawn by the
// framework on their canvas and answer the platform's control messages (EM_, BM_, LB_, CB_) and
// notifications (WM_COMMAND reflected as CN_COMMAND, WM_DRAWITEM/WM_MEASUREITEM as CN_ ones).
// Each family has its own header; this one brings them all.

#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Caption.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/ListBox.h"
#include "framework/stdctrls/ListItems.h"
#include "framework/stdctrls/Memo.h"
#include "framework/stdctrls/RadioButton.h"
#include "framework/stdctrls/ScrollCode.h"
