#include "e2e/utility.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace e2e {

bool answerBox(DWORD processId, const std::string& text, BoxIcon icon, const std::string& button) {
  auto box = waitForMessageBox(processId);
  if (!box) return ADD_FAILURE() << "no message box: " << text, false;
  if (!text.empty() && text.back() == '*')
    EXPECT_EQ(box->text.rfind(text.substr(0, text.size() - 1), 0), 0u) << box->text;
  else
    EXPECT_EQ(box->text, text);
  EXPECT_EQ(box->icon, icon) << text;
  box->press(button);
  return true;
}

Utility::Utility(const AppFolder& app, const std::string& arguments, bool settled)
    : process(Process::start(app.utility(), arguments)) {
  main = waitForTopWindow(process.id(), kMainClass, kMainTitle);
  if (!main) throw std::runtime_error("the main window did not appear");
  if (!settled) return;
  if (!waitUntil([&] { return listRowCount(grid()) >= 3; }))
    throw std::runtime_error("the grid was not filled");
  // The refresh ends by showing one of the service row's two lights (both show until then); the window
  // itself may be hidden.
  const auto shown = [&](int id) { return (GetWindowLongA(control(id), GWL_STYLE) & WS_VISIBLE) != 0; };
  const auto lit = [&] { return shown(IDC_SERVICE_GREEN_DOT) != shown(IDC_SERVICE_RED_DOT); };
  if (!waitUntil(lit, 30s)) throw std::runtime_error("the first status refresh did not end");
}

Utility::~Utility() {
  if (!process.running()) return;
  PostMessageA(main, WM_CLOSE, 0, 0);
  process.waitForExit(3s);
}

Rows Utility::waitForRows(const Rows& rows, Duration timeout) const {
  Rows shown;
  waitUntil([&] { return (shown = gridRows()) == rows; }, timeout);
  return shown;
}

int Utility::rowNamed(const std::string& name) const {
  Rows rows = gridRows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i][1] == name) return static_cast<int>(i);
  return -1;
}

HWND Utility::openDialog(int button, const std::string& title) const {
  HWND dialog = click(control(button)) ? waitForTopWindow(id(), "#32770", title) : nullptr;
  return waitUntil([&] { return IsWindowVisible(dialog) != 0; }) ? dialog : nullptr;
}

}  // namespace e2e
