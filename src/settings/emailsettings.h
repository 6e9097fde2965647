#pragma once
// The "Email Settings" dialog: the SMTP settings and the message of the stop
// e-mails, slots 9 to 16 of the settings table.
#include <windows.h>

#include "base/modal_dialog.h"

#include <string>

#include "settings/settings_file.h"

namespace settings {

class emailsettings {
 public:
  // Shows the dialog modally over `owner`, filled from `table`; "Exit and
  // &Save" stores the fields in `table` and writes the settings file.
  static void show(HWND owner, const std::string& folder, SettingsTable& table);

 private:
  emailsettings(const std::string& folder, SettingsTable& table) : folder_(folder), table_(table) {}
  template <class Dialog>
  friend INT_PTR base::runModal(HWND, int, Dialog&);
  INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void chkuseAuthentication_Click();
  void OKButton_Click();
  void CancelButton_Click();

  HWND hwnd_ = nullptr;
  const std::string& folder_;
  SettingsTable& table_;
};

}  // namespace settings
