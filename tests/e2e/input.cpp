#include "e2e/input.h"

#include "e2e/driver.h"

namespace e2e {
namespace {

// Wine starts Unix programs too; xdotool ends once the X server has the events.
void xdotool(const std::string& arguments) {
  Process::start("Z:\\usr\\bin\\xdotool", arguments).waitForExit(10s);
}

}  // namespace

void pressKeys(const std::string& keys) { xdotool("key " + keys); }

void clickOn(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  // The desktop's coordinates are those of the X screen.
  xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
          std::to_string((r.top + r.bottom) / 2) + " click 1");
}

HWND focusedWindow() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

}  // namespace e2e
