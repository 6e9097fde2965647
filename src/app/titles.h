#pragma once
// Window titles and class names that other programs and copies rely on.
namespace app {

// The main window's caption, and what a second copy searches for.
inline constexpr char kMainTitle[] = "Configure Brennix Monitor";
// The window class of the main window (its dialog template names it).
inline constexpr char kMainClass[] = "BrennixConfigMainWindow";

}  // namespace app
