// What the utility's start costs with 35 items (30 programs and 5 services):
// the time from starting its process to its main window shown with the grid
// filled, and its working set then, against a bare window started the same
// way (a fresh process from the same folder), against a bare window that has
// connected to WMI, queried the processes and listed the services, and
// against the main window's own dialog shown with nothing done in it. The
// four are started in turn, round after round, and each ratio is the median
// of the ratios of the rounds, so that it holds on a noisy machine. The goals:
// at most 1.5 times the bare main dialog, and at most 2 MB over the WMI floor.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "e2e/utility.h"
#include "measure.h"
#include "win/services.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Start {
  double milliseconds = 0;
  double megabytes = 0;
};

std::string benchFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

// The working set of another process, read from outside.
double workingSetMegabytes(DWORD processId) {
  win::unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!process || !GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) return 0;
  return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// Starts `program`, polls every millisecond until `ready(process id)`, lets it
// settle, reads its working set and closes it.
Start measureStart(const std::string& program, const std::function<HWND(DWORD)>& ready) {
  Start result;
  const auto begin = Clock::now();
  e2e::Process process = e2e::Process::start(program);
  HWND window = nullptr;
  while (!(window = ready(process.id()))) {
    if (Clock::now() - begin > std::chrono::seconds(20)) {
      std::fprintf(stderr, "%s did not become ready\n", program.c_str());
      return result;
    }
    Sleep(1);
  }
  result.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
  e2e::pumpFor(std::chrono::milliseconds(300));
  result.megabytes = workingSetMegabytes(process.id());
  PostMessageA(window, WM_CLOSE, 0, 0);
  process.waitForExit(std::chrono::seconds(5));
  return result;
}

HWND visibleWindow(DWORD processId, const std::string& windowClass, const std::string& title) {
  HWND window = e2e::findTopWindow(processId, windowClass, title);
  return window && IsWindowVisible(window) ? window : nullptr;
}

}  // namespace

int main() {
  const std::vector<win::ServiceEntry> services = win::listServices().services;
  std::string items = " \r\n";
  for (int i = 1; i <= 30; ++i) items += "program" + std::to_string(i) + ".exe|C:\\Programs\\program.exe\r\n";
  for (std::size_t i = 0; i < 5; ++i)
    items += services[i % services.size()].displayName + "|[Windows Service]\r\n";

  e2e::AppFolder app;
  app.write("processes.ob", items);
  for (const char* name : {"bare_window.exe", "bare_window_wmi.exe", "bare_dialog.exe"})
    CopyFileA((benchFolder() + "\\" + name).c_str(), app.file(name).c_str(), FALSE);

  const auto bare = [](DWORD id) { return visibleWindow(id, "BareWindow", "Bare Window"); };
  const auto dialog = [](DWORD id) { return visibleWindow(id, e2e::kMainClass, "Bare Dialog"); };
  const auto filled = [](DWORD id) {
    HWND main = visibleWindow(id, e2e::kMainClass, e2e::kMainTitle);
    return main && e2e::listRowCount(GetDlgItem(main, IDC_ITEM_GRID)) == 38 ? main : nullptr;
  };

  constexpr int kRounds = 15;
  std::vector<double> bareTime, wmiTime, dialogTime, utilityTime, bareSet, wmiSet, utilitySet, wmiRatio,
      dialogRatio, utilityRatio, overDialog, extra;
  measureStart(app.file("bare_window.exe"), bare);  // warm-up, not counted
  for (int i = 0; i < kRounds; ++i) {
    Start b = measureStart(app.file("bare_window.exe"), bare);
    Start w = measureStart(app.file("bare_window_wmi.exe"), bare);
    Start d = measureStart(app.file("bare_dialog.exe"), dialog);
    Start u = measureStart(app.utility(), filled);
    bareTime.push_back(b.milliseconds), bareSet.push_back(b.megabytes);
    wmiTime.push_back(w.milliseconds), wmiSet.push_back(w.megabytes);
    utilityTime.push_back(u.milliseconds), utilitySet.push_back(u.megabytes);
    dialogTime.push_back(d.milliseconds), dialogRatio.push_back(d.milliseconds / b.milliseconds);
    wmiRatio.push_back(w.milliseconds / b.milliseconds),
        utilityRatio.push_back(u.milliseconds / b.milliseconds);
    overDialog.push_back(u.milliseconds / d.milliseconds);
    extra.push_back(u.megabytes - w.megabytes);
  }
  const double bt = bench::median(bareTime), wt = bench::median(wmiTime), dt = bench::median(dialogTime);
  const double ut = bench::median(utilityTime);
  const double bm = bench::median(bareSet), wm = bench::median(wmiSet), um = bench::median(utilitySet);
  std::printf("medians of %d rounds, started in turn; 35 items (30 programs, 5 services)\n", kRounds);
  std::printf("  start to window shown, bare window (floor)    %7.1f ms    1.0x\n", bt);
  std::printf("  start to window shown, bare window + WMI      %7.1f ms %6.2fx\n", wt,
              bench::median(wmiRatio));
  std::printf("  start to window shown, the bare main dialog    %7.1f ms %6.2fx\n", dt,
              bench::median(dialogRatio));
  std::printf("  start to grid filled, utility                 %7.1f ms %6.2fx\n", ut,
              bench::median(utilityRatio));
  const double againstDialog = bench::median(overDialog), extraSet = bench::median(extra);
  std::printf("  utility against the bare main dialog (floor)             %6.2fx   (goal: at most 1.5x) %s\n",
              againstDialog, againstDialog <= 1.5 ? "met" : "NOT MET");
  std::printf("  working set, bare window                      %7.1f MB\n", bm);
  std::printf("  working set, bare window + WMI (floor)        %7.1f MB  %+6.1f MB\n", wm, wm - bm);
  std::printf(
      "  working set, utility, grid filled             %7.1f MB  %+6.1f MB   (goal: at most +2 MB) %s\n", um,
      extraSet, extraSet <= 2.0 ? "met" : "NOT MET");
  return 0;
}
