#include "app/action_panel.h"

#include <commctrl.h>

#include <exception>

#include "app/email_settings_dialog.h"
#include "base/text.h"
#include "ui/dialog_focus.h"
#include "ui/edit_filters.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/resource.h"
#include "ui/wait_cursor.h"
#include "win/error.h"
#include "win/files.h"
#include "win/local_time.h"
#include "win/process_launch.h"

namespace app {
namespace {

struct PanelControl {
  int id;
  formats::Slot formats::Settings::*field;
  bool checkBox;
};
// The panel's nine controls, in the order of their lines in the file.
constexpr PanelControl kPanel[] = {{IDC_RESTART, &formats::Settings::restart, true},
                                   {IDC_RESTART_SECONDS, &formats::Settings::restartSeconds, false},
                                   {IDC_LOG, &formats::Settings::log, true},
                                   {IDC_SEND_EMAIL, &formats::Settings::sendEmail, true},
                                   {IDC_EMAIL_ADDRESSES, &formats::Settings::emailAddresses, false},
                                   {IDC_REPEAT_EMAIL, &formats::Settings::repeatEmail, true},
                                   {IDC_REPEAT_MINUTES, &formats::Settings::repeatMinutes, false},
                                   {IDC_PLAY_SOUND, &formats::Settings::playSound, true},
                                   {IDC_SOUND_FILE, &formats::Settings::soundFile, false}};

// Before a left press toggles the unchecked sound box, the note; the box
// ends up checked and the press does not toggle it a second time.
LRESULT CALLBACK soundNote(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  // The second press of a double-click comes as WM_LBUTTONDBLCLK.
  const bool press = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
  if (press && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_UNCHECKED) {
    ui::showNotice(GetParent(hwnd), kSoundNote);
    const bool checked = SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageA(hwnd, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    // The focus goes where the press would have put it.
    SendMessageA(GetParent(hwnd), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hwnd), TRUE);
    return 0;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

std::optional<UINT> checkStateOf(const formats::Slot& slot) {
  const auto value = slot.asNumber();
  if (!value || *value < 0 || *value > 2) return std::nullopt;
  return *value == 2 ? BST_INDETERMINATE : static_cast<UINT>(*value);
}

bool readsAsOne(const formats::Slot& slot) {
  const std::string text = slot.asText();
  return base::isNumber(text) && base::leadingNumber(base::trimBlanks(text)) == 1.0;
}

formats::Slot slotOfCheckState(UINT state) { return formats::Slot::number(state == BST_CHECKED ? 1 : 0); }

void ActionPanel::attach(HWND window) {
  window_ = window;
  CheckDlgButton(window, IDC_RESTART, BST_CHECKED);
  ui::applyNumericKeyFilter(GetDlgItem(window, IDC_RESTART_SECONDS));
  ui::applyNumericKeyFilter(GetDlgItem(window, IDC_REPEAT_MINUTES));
  SetWindowSubclass(GetDlgItem(window, IDC_PLAY_SOUND), soundNote, 1, 0);
  for (const auto& control : kPanel)
    if (!control.checkBox) ui::removeTextLimit(GetDlgItem(window, control.id));
  // The static control draws with its own font: it is given the underlined one.
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  font.lfUnderline = TRUE;
  linkFont_.reset(CreateFontIndirectA(&font));
  SendDlgItemMessageA(window, IDC_VIEW_LOG, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
}

bool ActionPanel::onCommand(int id, int code) {
  switch (id) {
    case IDC_RESTART:
    case IDC_LOG:
    case IDC_SEND_EMAIL:
    case IDC_REPEAT_EMAIL:
    case IDC_PLAY_SOUND:
      if (code == BN_CLICKED) toggleCheckBox(id);
      return true;
    case IDC_SAVE_AND_CLOSE:
      cmdExit_Click();
      return true;
    case IDC_BROWSE_SOUND:
      cmdbrowseWavFile_Click();
      return true;
    case IDC_VIEW_LOG:
      if (code == STN_CLICKED) lblviewlog_Click();  // a double-click is one click
      return true;
    case IDC_EMAIL_SETTINGS:
      cmdEmailsettings_Click();
      return true;
    case IDC_TEST_EMAIL:
      cmdTestemail_Click();
      return true;
    default:
      return false;
  }
}

// A click unchecks a checked box and checks any other, greyed included.
void ActionPanel::toggleCheckBox(int id) {
  CheckDlgButton(window_, id, IsDlgButtonChecked(window_, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
}

HBRUSH ActionPanel::onCtlColorStatic(HDC dc, HWND control) {
  if (control != GetDlgItem(window_, IDC_VIEW_LOG)) return nullptr;
  SetTextColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
  SetBkMode(dc, TRANSPARENT);
  return GetSysColorBrush(COLOR_BTNFACE);
}

void ActionPanel::loadSettings() {
  const std::string file = formats::settingsFilePath(folder_);
  try {
    if (!win::fileExists(file)) {
      formats::createSettingsFile(file);
    } else {
      ui::WaitCursor hourglass;
      settingsSlots = formats::readSettings(file);
    }
  } catch (const std::exception& e) {
    // The panel keeps its designed values and the settings stay empty.
    ui::showArrow();
    ui::showError(window_, e);
    return;
  }
  // Each control by itself: a value it refuses leaves it as it is.
  for (const auto& control : kPanel) {
    const formats::Slot& slot = settingsSlots.*control.field;
    if (control.checkBox) {
      if (auto state = checkStateOf(slot)) CheckDlgButton(window_, control.id, *state);
    } else {
      SetDlgItemTextA(window_, control.id, slot.asText().c_str());
    }
  }
  ui::showArrow();
}

void ActionPanel::cmdExit_Click() {
  for (const auto& control : kPanel) {
    settingsSlots.*control.field =
        control.checkBox ? slotOfCheckState(IsDlgButtonChecked(window_, control.id))
                         : formats::Slot::text(ui::controlText(GetDlgItem(window_, control.id)));
  }
  try {
    formats::writeSettings(formats::settingsFilePath(folder_), settingsSlots);
  } catch (const std::exception& e) {
    ui::showError(window_, e);
    ExitProcess(1);  // at once, as after any failed save from here
  }
  ShowWindow(window_, SW_HIDE);  // to the tray, without being minimised
}

void ActionPanel::cmdbrowseWavFile_Click() {
  try {
    const std::string path = ui::chooseFile(window_, "Choose a .wav file", "WAV Audio Files (*.wav)|*.wav");
    if (path.size() > 1) SetDlgItemTextA(window_, IDC_SOUND_FILE, path.c_str());
  } catch (const std::exception& e) {
    ui::showError(window_, e);
  }
}

void ActionPanel::lblviewlog_Click() {
  // Notepad by its full path, so that a folder with blanks in the command
  // line cannot start anything else.
  char notepad[MAX_PATH] = {};
  DWORD error = 0;
  if (!SearchPathA(nullptr, "notepad.exe", nullptr, MAX_PATH, notepad, nullptr)) {
    error = GetLastError();
  } else {
    error =
        win::startProgram({notepad, "notepad.exe " + folder_ + "\\log.text", win::WindowMode::Normal, false});
  }
  if (error)
    MessageBoxA(window_, ("Unable to display log " + win::describeError(error)).c_str(), "Log",
                MB_OK | MB_ICONINFORMATION);
}

void ActionPanel::cmdEmailsettings_Click() { EmailSettingsDialog::show(window_, folder_, settingsSlots); }

// The test e-mail: the stored settings, the recipients as the field holds
// them now, and sample values in the message. Only the component's events
// report the outcome; a failure in here is passed over.
void ActionPanel::cmdTestemail_Click() {
  ui::DisabledWhileBusy button(GetDlgItem(window_, IDC_TEST_EMAIL));
  {
    ui::WaitCursor hourglass;
    try {
      if (mail::SendMail* m = poSendMail_) {
        m->smtpServer = settingsSlots.smtpServer.asText();
        m->from = settingsSlots.fromAddress.asText();
        m->subject = settingsSlots.subject.asText();
        m->message =
            formats::fillMessage(settingsSlots.message.asText(), win::localDateTimeText(), kTestProcess);
        m->recipients = ui::controlText(GetDlgItem(window_, IDC_EMAIL_ADDRESSES));
        m->useAuthentication = readsAsOne(settingsSlots.useAuthentication);
        m->userName = settingsSlots.userName.asText();
        m->password = settingsSlots.password.asText();
        m->send();
      }
    } catch (const std::exception&) {
    }
  }
  button.enable();
}

}  // namespace app
