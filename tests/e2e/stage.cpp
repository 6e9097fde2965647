// Sets the utility up for a screenshot and holds it there for a few seconds:
// "main" shows the main window with the example items, "picker" the service
// picker over it. Prints "ready" when the scene stands.
#include <cstdio>
#include <cstring>

#include "e2e/utility.h"

int main(int argc, char** argv) {
  using namespace e2e;
  const bool picker = argc > 1 && std::strcmp(argv[1], "picker") == 0;
  AppFolder app;
  app.write("processes.ob", std::string(kExampleItems) + "BrennixConfig.exe|C:\\Brennix\\BrennixConfig.exe\r\n");
  Utility utility(app);
  waitUntil([&] { return listRowCount(utility.grid()) >= 6; });
  SetForegroundWindow(utility.main);
  if (picker) {
    click(utility.control(IDC_CMDADDSERVICE));
    HWND dialog = waitForTopWindow(utility.id(), "#32770", "Services");
    waitUntil([&] { return dialog && listRowCount(GetDlgItem(dialog, IDC_SERVICEGRID)) > 1; });
    selectListRow(GetDlgItem(dialog, IDC_SERVICEGRID), 3);
  }
  pumpFor(1000ms);
  std::printf("ready\n");
  std::fflush(stdout);
  pumpFor(6000ms);
  return 0;
}
