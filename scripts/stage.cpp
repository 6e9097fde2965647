// Sets the utility up for a screenshot and holds it there for a few seconds:
// "main" shows the main window with the example items, "picker" the service
// picker over it, "email" the e-mail settings dialog. Prints "ready" when
// the scene stands.
#include <cstdio>
#include <string>

#include "e2e/utility.h"

int main(int argc, char** argv) {
  using namespace e2e;
  const std::string scene = argc > 1 ? argv[1] : "main";
  // The main window with both status rows green: the service installed by
  // the first refresh, the engine program started.
  EngineServiceRemover remover;
  AppFolder app(scene == "main");
  app.write("settings.ob",
            " 1 \r\n100\r\n 1 \r\n 1 \r\nadmin@example.com;ops@example.com\r\n 0 \r\n30\r\n 0 \r\n"
            "c:\\windows\\media\\ding.wav\r\nmonitor@example.com\r\nsmtp.example.com\r\n25\r\n 1 \r\n"
            "monitor\r\nsecret\r\n%process% stopped\r\n%process% stopped at %time%.%20Brennix Monitor\r\n");
  app.write("processes.ob",
            std::string(kExampleItems) + "BrennixConfig.exe|C:\\Brennix\\BrennixConfig.exe\r\n");
  Utility utility(app);
  waitUntil([&] { return listRowCount(utility.grid()) >= 6; });
  if (scene == "main") {
    waitUntil([&] { return IsWindowVisible(utility.control(IDC_SERVICE_GREEN_DOT)) != 0; }, 60s);
    waitUntil([&] { return click(utility.control(IDC_START_PROGRAM)); });
    waitUntil([&] { return IsWindowVisible(utility.control(IDC_PROGRAM_GREEN_DOT)) != 0; });
  }
  SetForegroundWindow(utility.main);
  if (scene == "email") {
    click(utility.control(IDC_EMAIL_SETTINGS));
    waitForTopWindow(utility.id(), "#32770", "Email Settings");
  }
  if (scene == "picker") {
    click(utility.control(IDC_ADD_SERVICE));
    HWND dialog = waitForTopWindow(utility.id(), "#32770", "Services");
    waitUntil([&] { return dialog && listRowCount(GetDlgItem(dialog, IDC_SERVICE_GRID)) > 1; });
    selectListRow(GetDlgItem(dialog, IDC_SERVICE_GRID), 3);
  }
  pumpFor(1000ms);
  std::printf("ready\n");
  std::fflush(stdout);
  pumpFor(6000ms);
  return 0;
}
