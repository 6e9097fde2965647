#include "app/email_settings_dialog.h"

#include <exception>
#include <utility>

#include "app/action_panel.h"
#include "ui/dialog_focus.h"
#include "ui/edit_filters.h"
#include "ui/message_box.h"
#include "ui/resource.h"

namespace app {
namespace {

// The text fields and the settings they show.
constexpr std::pair<int, formats::Slot formats::Settings::*> kTextFields[] = {
    {IDC_FROM_ADDRESS, &formats::Settings::fromAddress}, {IDC_SMTP_SERVER, &formats::Settings::smtpServer},
    {IDC_SMTP_PORT, &formats::Settings::smtpPort},       {IDC_USER_NAME, &formats::Settings::userName},
    {IDC_PASSWORD, &formats::Settings::password},        {IDC_SUBJECT, &formats::Settings::subject}};

}  // namespace

void EmailSettingsDialog::show(HWND owner, const std::string& folder, formats::Settings& settings) {
  EmailSettingsDialog dialog(folder, settings);
  ui::runModal(owner, IDD_EMAIL_SETTINGS, dialog);
}

INT_PTR EmailSettingsDialog::onMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;  // the focus goes to the first control, "Exit and &Save"
    case WM_SYSCOMMAND:
      // The title-bar close button, the window menu's Close and Alt+F4.
      if ((wParam & 0xFFF0) != SC_CLOSE) break;
      CancelButton_Click();
      return TRUE;
    case WM_CLOSE:
      // A multi-line field's answer to Esc (the key is still down as this
      // thread sees its input) closes nothing; any other WM_CLOSE cancels.
      if (GetKeyState(VK_ESCAPE) >= 0) CancelButton_Click();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_EMAIL_SAVE:
          OKButton_Click();
          return TRUE;
        case IDC_EMAIL_CANCEL:
          CancelButton_Click();
          return TRUE;
        case IDC_USE_AUTHENTICATION:
          chkuseAuthentication_Click();
          return TRUE;
        case IDOK:
        case IDCANCEL:
          return TRUE;  // Enter and Esc in a field press no button
      }
      break;
  }
  return FALSE;
}

void EmailSettingsDialog::Form_Load() {
  ui::keepDefaultBorderWithFocus(hwnd_);
  ui::applyNumericKeyFilter(GetDlgItem(hwnd_, IDC_SMTP_PORT));
  for (auto [id, field] : kTextFields) ui::removeTextLimit(GetDlgItem(hwnd_, id));
  ui::removeTextLimit(GetDlgItem(hwnd_, IDC_MESSAGE));
  SendDlgItemMessageA(hwnd_, IDC_PASSWORD, EM_SETPASSWORDCHAR, '*', 0);
  for (auto [id, field] : kTextFields) SetDlgItemTextA(hwnd_, id, (settings_.*field).asText().c_str());
  // A two-state box: a stored 2 (greyed elsewhere) is refused, as any other
  // value that is not 0 or 1, and the box stays unchecked.
  auto authentication = checkStateOf(settings_.useAuthentication);
  if (authentication && *authentication != BST_INDETERMINATE)
    CheckDlgButton(hwnd_, IDC_USE_AUTHENTICATION, *authentication);
  SetDlgItemTextA(hwnd_, IDC_MESSAGE, formats::decodeBody(settings_.message.asText()).c_str());
  chkuseAuthentication_Click();
}

void EmailSettingsDialog::chkuseAuthentication_Click() {
  // Disabled fields keep their text: it is still stored and still sent.
  const BOOL on = IsDlgButtonChecked(hwnd_, IDC_USE_AUTHENTICATION) == BST_CHECKED;
  for (int id : {IDC_USER_NAME, IDC_PASSWORD, IDC_USER_NAME_LABEL, IDC_PASSWORD_LABEL})
    EnableWindow(GetDlgItem(hwnd_, id), on);
}

void EmailSettingsDialog::OKButton_Click() {
  for (auto [id, field] : kTextFields)
    settings_.*field = formats::Slot::text(ui::controlText(GetDlgItem(hwnd_, id)));
  settings_.useAuthentication = slotOfCheckState(IsDlgButtonChecked(hwnd_, IDC_USE_AUTHENTICATION));
  settings_.message =
      formats::Slot::text(formats::encodeBody(ui::controlText(GetDlgItem(hwnd_, IDC_MESSAGE))));
  try {
    formats::writeSettings(formats::settingsFilePath(folder_), settings_);
  } catch (const std::exception& e) {
    ui::showError(hwnd_, e);  // the dialog stays open
    return;
  }
  EndDialog(hwnd_, IDOK);
}

void EmailSettingsDialog::CancelButton_Click() { EndDialog(hwnd_, IDCANCEL); }

}  // namespace app
