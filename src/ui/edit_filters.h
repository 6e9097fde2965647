#pragma once
// Helpers for the text fields of the action panel and the e-mail dialog.
#include <windows.h>

#include <string>

namespace ui {

// Lets only digits, the full stop and backspace be typed into an edit
// control; pasting from its context menu still works.
void applyNumericKeyFilter(HWND edit);

// Lets a text field take text of any length (the system limits one to about
// 32,000 characters otherwise).
void removeTextLimit(HWND edit);

// The text of a control.
std::string controlText(HWND control);

}  // namespace ui
