#pragma once
// Control helpers of the stop-action panel and the e-mail dialog.
#include <windows.h>

#include <string>

namespace settings {

inline constexpr char kSoundNote[] = "Note: Sound will not play when monitoring services. ";

// Lets only digits, the full stop and backspace be typed into an edit
// control; pasting from its context menu still works.
void applyNumericKeyFilter(HWND edit);

// Before a left press toggles the unchecked box, shows the sound note; the
// box ends up checked and the press does not toggle it a second time.
void applySoundNote(HWND checkBox);

// The text of a control.
std::string controlText(HWND control);

}  // namespace settings
