#include "settings/emailsettings.h"

#include <system_error>

#include "app/resource.h"
#include "base/message_box.h"
#include "base/modal_dialog.h"
#include "settings/action_panel.h"

namespace settings {
namespace {

// The text fields and their slots; slot 12 is the check box, 16 the message.
constexpr std::pair<int, std::size_t> kTextFields[] = {
    {IDC_TXTFROMADDRESS, 9}, {IDC_TXTSMTPADDRESS, 10}, {IDC_TXTSERVERPORT, 11},
    {IDC_TXTUSERNAME, 13},   {IDC_TXTPASSWORD, 14},    {IDC_TXTSUBJECT, 15}};
constexpr std::size_t kAuthenticationSlot = 12;
constexpr std::size_t kMessageSlot = 16;

}  // namespace

void emailsettings::show(HWND owner, const std::string& folder, SettingsTable& table) {
  emailsettings dialog(folder, table);
  base::runModal(owner, IDD_EMAILSETTINGS, dialog);
}

INT_PTR emailsettings::onMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load();
      return TRUE;  // the focus goes to the first control, "Exit and &Save"
    case WM_CLOSE:  // the title-bar close button
      CancelButton_Click();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_OKBUTTON: OKButton_Click(); return TRUE;
        case IDC_CANCELBUTTON: CancelButton_Click(); return TRUE;
        case IDC_CHKUSEAUTHENTICATION: chkuseAuthentication_Click(); return TRUE;
        case IDOK:
        case IDCANCEL:
          return TRUE;  // Enter and Esc in a field press no button
      }
      break;
  }
  return FALSE;
}

void emailsettings::Form_Load() {
  applyNumericKeyFilter(GetDlgItem(hwnd_, IDC_TXTSERVERPORT));
  SendDlgItemMessageA(hwnd_, IDC_TXTPASSWORD, EM_SETPASSWORDCHAR, '*', 0);
  for (auto [id, slot] : kTextFields) SetDlgItemTextA(hwnd_, id, table_[slot].asText().c_str());
  auto authentication = table_[kAuthenticationSlot].asNumber();
  if (authentication && (*authentication == 0 || *authentication == 1))
    CheckDlgButton(hwnd_, IDC_CHKUSEAUTHENTICATION, static_cast<UINT>(*authentication));
  SetDlgItemTextA(hwnd_, IDC_TXTMESSAGE, decodeBody(table_[kMessageSlot].asText()).c_str());
  chkuseAuthentication_Click();
}

void emailsettings::chkuseAuthentication_Click() {
  // Disabled fields keep their text: it is still stored and still sent.
  const BOOL on = IsDlgButtonChecked(hwnd_, IDC_CHKUSEAUTHENTICATION) == BST_CHECKED;
  for (int id : {IDC_TXTUSERNAME, IDC_TXTPASSWORD, IDC_LBLUSERNAME, IDC_LBLPASSWORD})
    EnableWindow(GetDlgItem(hwnd_, id), on);
}

void emailsettings::OKButton_Click() {
  for (auto [id, slot] : kTextFields) table_[slot] = Slot::text(controlText(GetDlgItem(hwnd_, id)));
  table_[kAuthenticationSlot] =
      Slot::number(IsDlgButtonChecked(hwnd_, IDC_CHKUSEAUTHENTICATION) == BST_CHECKED ? 1 : 0);
  table_[kMessageSlot] = Slot::text(encodeBody(controlText(GetDlgItem(hwnd_, IDC_TXTMESSAGE))));
  try {
    writeSettings(folder_ + "\\" + std::string(kFileName), table_);
  } catch (const std::system_error& e) {
    base::showError(hwnd_, e.code().message());  // the dialog stays open
    return;
  }
  EndDialog(hwnd_, IDOK);
}

void emailsettings::CancelButton_Click() { EndDialog(hwnd_, IDCANCEL); }

}  // namespace settings
