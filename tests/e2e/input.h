#pragma once
// Real input: key presses and mouse clicks made on the X display with
// xdotool, as the keyboard and the mouse make them. They reach the window
// with the keyboard focus, or the one under the pointer, through its
// program's own message loop, so dialog keys, accelerators and focus work
// as they do for a user.
#include <windows.h>

#include <string>

namespace e2e {

// Presses keys one after the other, each given by its X name, with "+"
// joining keys held together: "Escape", "shift+F10 Menu", "alt+F4", "n".
void pressKeys(const std::string& keys);
// Moves the pointer to the centre of the window and clicks its left button.
void clickOn(HWND window);

// The window with the keyboard focus of the desktop's foreground thread, or nullptr.
HWND focusedWindow();

}  // namespace e2e
