#pragma once
// The status rows of the main window: "Exe Monitoring:" for the engine
// program and "Service Monitoring:" for the engine service, each with a
// green and a red dot at the same place and "Start" and "Stop" beside them;
// the status refresh that installs the service when it is missing and sets
// both rows; and the watchdog that starts the engine program again.
#include <windows.h>

#include <string>

#include "control/engine_control.h"

namespace app {

inline constexpr char kStartUpItemFailure[] =
    "Unable to create start up item. Maybe we don't have admin permissions? ";

class EngineStatusPanel {
 public:
  explicit EngineStatusPanel(std::string folder) : engine_(std::move(folder)) {}

  // Takes the controls and starts the two timers that run from the
  // window's creation: the first refresh and the watchdog.
  void attach(HWND window);
  // Arms the status refresh: it runs once, 800 ms from now.
  void armRefresh();

  bool onCommand(int id);
  bool onTimer(UINT_PTR id);
  // Draws a dot; false for controls that are not the panel's.
  bool onDrawItem(const DRAWITEMSTRUCT& item);

 private:
  void processchkTimer_Timer();
  void restartMonitor_Timer();
  void cmdstartService_Click();
  void cmdStopservice_Click();
  void cmdsartRealSrv_Click();
  void cmdstopRealSrv_Click();

  // The lights: the green dot, "Stop" enabled when running; otherwise the
  // red dot and "Start".
  void setProgramLight(bool running);
  void setServiceLight(bool running);
  void showRow(int green, int red, int start, int stop, bool running);
  bool engineRunning() const;
  bool serviceRunning() const;

  control::EngineControl engine_;
  HWND window_ = nullptr;
  // The refresh, the watchdog and the service's buttons wait for programs
  // while window events run: a tick that falls due, or a click that comes,
  // meanwhile starts no second one.
  bool refreshing_ = false;
  bool watching_ = false;
  bool serviceCalling_ = false;
};

}  // namespace app
