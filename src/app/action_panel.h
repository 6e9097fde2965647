#pragma once
// The "Action to take when a process stops running" frame of the main
// window: what the engine does when a monitored item stops, kept in
// settings.ob together with the e-mail settings.
#include <windows.h>

#include <optional>
#include <string>

#include "formats/settings_file.h"
#include "mail/send_mail.h"
#include "ui/gdi.h"

namespace app {

inline constexpr char kSoundNote[] = "Note: Sound will not play when monitoring services. ";

// The state a check box takes from a line of settings.ob: BST_UNCHECKED,
// BST_CHECKED or BST_INDETERMINATE (greyed) for 0, 1 and 2; nothing for any
// other value, which the box refuses.
std::optional<UINT> checkStateOf(const formats::Slot& slot);
// What a save stores for a check box: 1 when checked, 0 in any other state.
formats::Slot slotOfCheckState(UINT state);

// The process name that stands in the test e-mail for a stopped item.
inline constexpr char kTestProcess[] = "example.exe";

// True when a line of settings.ob reads as the number 1 (blanks around it
// ignored): only then is authentication used.
bool readsAsOne(const formats::Slot& slot);

class ActionPanel {
 public:
  explicit ActionPanel(std::string folder) : folder_(std::move(folder)) {}

  // Takes the controls of the main window and sets them up as designed:
  // restart checked, the numeric fields filtered, the sound note, and "View
  // Log" drawn as a link.
  void attach(HWND window);
  // Fills the settings and the panel from settings.ob.
  void loadSettings();
  // The mail component the test e-mail goes through.
  void useMail(mail::SendMail* poSendMail) { poSendMail_ = poSendMail; }

  bool onCommand(int id, int code);
  // The colours and font of "View Log"; nullptr for other controls.
  HBRUSH onCtlColorStatic(HDC dc, HWND control);

  const formats::Settings& settings() const { return settingsSlots; }

 private:
  void cmdExit_Click();
  void cmdbrowseWavFile_Click();
  void lblviewlog_Click();
  void cmdEmailsettings_Click();
  void cmdTestemail_Click();
  void toggleCheckBox(int id);

  std::string folder_;
  HWND window_ = nullptr;
  formats::Settings settingsSlots;
  mail::SendMail* poSendMail_ = nullptr;
  ui::unique_gdi linkFont_;
};

}  // namespace app
