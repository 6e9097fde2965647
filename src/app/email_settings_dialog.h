#pragma once
// The "Email Settings" dialog: the SMTP settings and the message of the stop
// e-mails, lines 10 to 17 of settings.ob.
#include <windows.h>

#include <string>

#include "formats/settings_file.h"
#include "ui/modal_dialog.h"

namespace app {

class EmailSettingsDialog {
 public:
  // Shows the dialog modally over `owner`, filled from `settings`; "Exit and
  // &Save" stores the fields in `settings` and writes the settings file.
  static void show(HWND owner, const std::string& folder, formats::Settings& settings);

 private:
  EmailSettingsDialog(const std::string& folder, formats::Settings& settings)
      : folder_(folder), settings_(settings) {}
  template <class Dialog>
  friend INT_PTR ui::runModal(HWND, int, Dialog&);
  INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Load();
  void chkuseAuthentication_Click();
  void OKButton_Click();
  void CancelButton_Click();

  HWND hwnd_ = nullptr;
  const std::string& folder_;
  formats::Settings& settings_;
};

}  // namespace app
