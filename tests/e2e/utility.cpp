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

Utility::Utility(const AppFolder& app, const std::string& arguments, bool filled)
    : process(Process::start(app.utility(), arguments)) {
  main = waitForTopWindow(process.id(), kMainClass, kMainTitle);
  if (!main) throw std::runtime_error("the main window did not appear");
  if (filled && !waitUntil([&] { return listRowCount(grid()) >= 3; }))
    throw std::runtime_error("the grid was not filled");
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

}  // namespace e2e
