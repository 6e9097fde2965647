#pragma once
// The "Processes Monitoring" frame of the main window: the grid of monitored
// items with their states, and the buttons that add and delete them.
#include <windows.h>

#include <optional>
#include <string>

#include "formats/item_file.h"
#include "ui/grid.h"
#include "win/services.h"
#include "win/wmi_processes.h"

namespace app {

inline constexpr char kDuplicateProcessMessage[] = "Process already exists on the list to monitor";
inline constexpr char kSelectItemMessage[] = "You must first select an item to delete";
inline constexpr char kConfirmDeleteMessage[] =
    "Are you sure you would like to delete this item? You cannot undo this operation!";
inline constexpr char kDeleteFailedMessage[] = "Error: You must select and item";

class ItemListPanel {
 public:
  explicit ItemListPanel(std::string folder) : folder_(std::move(folder)) {}

  // Takes the controls of the main window; the grid gets its columns.
  void attach(HWND window);
  // The column widths as designed.
  void setColumnWidths();
  // Rebuilds the grid a tenth of a second from now (lprocessListTimer).
  void requestRebuild();
  void loadProcesslist();
  // Makes ready what the first rebuild would otherwise wait for, the
  // connection to WMI: for the idle time between the window's first drawing
  // and the rebuild timer's tick.
  void prepareRebuild() { processFinder_.connectAhead(); }

  bool onCommand(int id);
  bool onTimer(UINT_PTR id);
  // The grid's requests for its cells.
  std::optional<LRESULT> onNotify(NMHDR& header) { return grid_.answer(header); }

  // True when processes.ob already holds an item of this name.
  bool checkforduplicateProcess(const std::string& name) const;

 private:
  void lprocessListTimer_Timer();
  void cmdAddnew_Click();
  void cmdDelete_Click();
  void cmdAddService_Click();
  void refreshTasklist_Click();
  void MSFlexGrid1_MouseDown();

  // What one rebuild asks the system: each at most once, when the first row
  // of its kind needs it.
  struct StateSources {
    bool processesQueried = false;
    std::optional<win::RunningNames> running;  // empty when the query failed
    std::optional<win::ServiceListing> services;
  };
  std::string itemState(const formats::ItemFields& item, StateSources& sources);
  void rebuild();

  // The grid's right button opens the menu on the press, leaving the
  // selection as it is; the keyboard opens it at the selected row.
  static LRESULT CALLBACK gridProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self);

  std::string folder_;
  HWND window_ = nullptr;
  ui::Grid grid_;
  formats::ItemTable itemSlots;
  win::ProcessFinder processFinder_;  // released before COM is left
  // A rebuild shows messages, whose loops run timer ticks and clicks: no
  // rebuild starts while one is still running.
  bool rebuilding_ = false;
};

}  // namespace app
