#pragma once
// The utility's message boxes, one function per style. Boxes that name no
// title of their own carry the application's title.
#include <windows.h>

#include <exception>
#include <string>

namespace ui {

// The caption of message boxes that name no title of their own.
inline constexpr char kAppTitle[] = "Brennix Monitor";

// A notice: OK and the information icon (style 64).
void showNotice(HWND owner, const std::string& text);
// A failure: "Error: " and the description, OK and no icon (style 0).
void showError(HWND owner, const std::string& description);
// The same for a caught failure, with its description (base::describe).
void showError(HWND owner, const std::exception& failure);
// A confirmation with the question icon (style 36); true only for Yes.
bool confirmWithQuestion(HWND owner, const std::string& text);
// A confirmation without icon (style 4), in the foreground; true only for Yes.
bool confirm(HWND owner, const std::string& text, const char* title = kAppTitle);

}  // namespace ui
