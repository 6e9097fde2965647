#pragma once
// The status rows of the main window: "Exe Monitoring:" for the engine
// program and "Service Monitoring:" for the engine service, each with a
// green and a red dot at the same place and "Start" and "Stop" beside them.
#include <windows.h>

namespace app {

class EngineStatusPanel {
 public:
  void attach(HWND window) { window_ = window; }
  // Draws a dot; false for controls that are not the panel's.
  bool onDrawItem(const DRAWITEMSTRUCT& item);

 private:
  HWND window_ = nullptr;
};

}  // namespace app
