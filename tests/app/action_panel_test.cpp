// The action panel and the e-mail dialog, worked as a user works them, with
// settings.ob checked byte for byte.
#include <gtest/gtest.h>

#include "win/process_list.h"
#include "win/unique_resource.h"
#include "e2e/utility.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

bool checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string lines(std::initializer_list<const char*> first, int total = 19) {
  std::string out;
  int n = 0;
  for (const char* line : first) out.append(line).append("\r\n"), ++n;
  for (; n < total; ++n) out += "\r\n";
  return out;
}

void typeChars(HWND edit, const std::string& chars) {
  for (char c : chars) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

TEST(ActionPanel, ASecondStartKeepsTheDesignedRestartBoxAndSaveWritesNineteenLines) {
  AppFolder app;
  app.write("settings.ob", " \r\n");  // as the first start left it
  Utility utility(app);
  EXPECT_TRUE(checked(utility.control(IDC_RESTART))) << "a blank is no number: the box keeps its design";
  EXPECT_FALSE(checked(utility.control(IDC_LOG)));
  EXPECT_EQ(windowText(utility.control(IDC_RESTART_SECONDS)), "");

  SendMessageA(utility.control(IDC_RESTART_SECONDS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("100"));
  SendMessageA(utility.control(IDC_SEND_EMAIL), BM_SETCHECK, BST_CHECKED, 0);
  click(utility.control(IDC_SAVE_AND_CLOSE));
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(utility.main); }));
  EXPECT_FALSE(IsIconic(utility.main)) << "hidden without being minimised";
  EXPECT_EQ(app.read("settings.ob"), lines({" 1 ", "100", " 0 ", " 1 ", "", " 0 ", "", " 0 ", ""}));
}

TEST(ActionPanel, LoadsEachControlByItselfAndCarriesTheLastLinesThrough) {
  AppFolder app;
  app.write("settings.ob", lines({"1", "5", "x", " 1 ", "a@b.c;d@e.f", " 2 ", "7", " 0 ", "C:\\ding.wav", "", "", "",
                                  "", "", "", "", "", "line 18", "line 19"}) + "line 20\r\n");
  Utility utility(app);
  EXPECT_TRUE(checked(utility.control(IDC_RESTART)));
  EXPECT_FALSE(checked(utility.control(IDC_LOG))) << "\"x\" is refused: the box stays as designed";
  EXPECT_TRUE(checked(utility.control(IDC_SEND_EMAIL)));
  EXPECT_EQ(SendMessageA(utility.control(IDC_REPEAT_EMAIL), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  EXPECT_EQ(windowText(utility.control(IDC_EMAIL_ADDRESSES)), "a@b.c;d@e.f");
  EXPECT_EQ(windowText(utility.control(IDC_SOUND_FILE)), "C:\\ding.wav");

  click(utility.control(IDC_SAVE_AND_CLOSE));
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(utility.main); }));
  EXPECT_EQ(app.read("settings.ob"),
            lines({" 1 ", "5", " 0 ", " 1 ", "a@b.c;d@e.f", " 0 ", "7", " 0 ", "C:\\ding.wav", "", "", "", "", "",
                   "", "", "", "line 18", "line 19"}))
        << "line 20 is gone; 18 and 19 stay; a greyed box is saved as 0";
}

TEST(ActionPanel, ClicksCheckAndUncheckTheBoxes) {
  AppFolder app;
  app.write("settings.ob", lines({" 1 ", "", " 2 "}));
  Utility utility(app);
  HWND restart = utility.control(IDC_RESTART), log = utility.control(IDC_LOG);
  ASSERT_EQ(SendMessageA(log, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  toggle(restart);
  toggle(log);
  EXPECT_TRUE(waitUntil([&] { return !checked(restart) && checked(log); }));
  toggle(log);
  EXPECT_TRUE(waitUntil([&] { return SendMessageA(log, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
}

TEST(ActionPanel, NumericFieldsTakeDigitsFullStopsAndBackspaceOnly) {
  AppFolder app;
  Utility utility(app);
  for (int id : {IDC_RESTART_SECONDS, IDC_REPEAT_MINUTES}) {
    HWND field = utility.control(id);
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    typeChars(field, "1a 2.\x16" "3x\b");
    pumpFor(300ms);
    EXPECT_EQ(windowText(field), "12.") << id;
    // The context menu's Paste is not filtered.
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("ab"));
    EXPECT_EQ(windowText(field), "ab");
  }
}

TEST(ActionPanel, TheSoundNoteShowsOnceAndLeavesTheBoxChecked) {
  AppFolder app;
  Utility utility(app);
  HWND box = utility.control(IDC_PLAY_SOUND);
  ASSERT_FALSE(checked(box));
  PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  auto note = waitForMessageBox(utility.id());
  ASSERT_TRUE(note);
  EXPECT_EQ(note->text, "Note: Sound will not play when monitoring services. ");
  EXPECT_EQ(note->icon, BoxIcon::Information);
  note->press("OK");
  ASSERT_TRUE(waitUntil([&] { return checked(box); }));
  pumpFor(300ms);
  EXPECT_TRUE(checked(box)) << "the press that opened the note does not toggle it again";

  PostMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(waitUntil([&] { return !checked(box); }));
  EXPECT_FALSE(findMessageBox(utility.id()));
}

TEST(ActionPanel, ASaveThatCannotWriteSaysWhyAndEndsTheProgram) {
  AppFolder app;
  Utility utility(app);
  // Held open without sharing: the utility cannot rewrite it.
  win::unique_file_handle held(CreateFileA(app.file("settings.ob").c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  click(utility.control(IDC_SAVE_AND_CLOSE));
  auto box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text.rfind("Error: ", 0), 0u) << box->text;
  EXPECT_GT(box->text.size(), 7u);
  EXPECT_EQ(box->icon, BoxIcon::None);
  box->press("OK");
  EXPECT_TRUE(utility.process.waitForExit());
}

TEST(ActionPanel, TheSoundBrowseFillsTheFieldAndCancelKeepsIt) {
  AppFolder app;
  app.write("ding.wav", "RIFF");
  Utility utility(app);
  HWND field = utility.control(IDC_SOUND_FILE);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\kept.wav"));
  for (bool cancel : {true, false}) {
    click(utility.control(IDC_BROWSE_SOUND));
    HWND dialog = waitForTopWindow(utility.id(), "#32770", "Choose a .wav file");
    ASSERT_NE(dialog, nullptr);
    if (cancel) {
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
      pumpFor(200ms);
      EXPECT_EQ(windowText(field), "C:\\kept.wav");
      EXPECT_FALSE(findMessageBox(utility.id()));
    } else {
      chooseFile(dialog, app.file("ding.wav"));
      EXPECT_TRUE(waitUntil([&] { return windowText(field) == app.file("ding.wav"); }));
    }
  }
}

TEST(ActionPanel, ViewLogOpensTheLogInNotepadEvenWhenItIsMissing) {
  AppFolder app;
  Utility utility(app);
  auto notepads = [] {
    std::vector<DWORD> ids;
    win::forEachProcess([&](const PROCESSENTRY32& p) {
      if (_stricmp(p.szExeFile, "notepad.exe") == 0) ids.push_back(p.th32ProcessID);
      return true;
    });
    return ids;
  };
  ASSERT_TRUE(notepads().empty());
  click(utility.control(IDC_VIEW_LOG));
  std::vector<DWORD> started;
  ASSERT_TRUE(waitUntil([&] { return !(started = notepads()).empty(); }));
  // Notepad asks about the missing file by its full path: the one it was given.
  auto box = waitForMessageBox(started[0]);
  EXPECT_TRUE(box && box->text.find(app.file("log.text")) != std::string::npos) << (box ? box->text : "no box");
  for (DWORD id : started) {
    win::unique_handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (process) TerminateProcess(process.get(), 0);
  }
}

HWND openEmailSettings(const Utility& utility) {
  click(utility.control(IDC_EMAIL_SETTINGS));
  return waitForTopWindow(utility.id(), "#32770", "Email Settings");
}

TEST(EmailSettings, ShowsTheStoredValuesAndCancelLeavesTheFileAsItWas) {
  AppFolder app;
  const std::string stored = lines({" 1 ", "100", " 0 ", " 0 ", "x@y.z", " 0 ", "30", " 0 ", "", "me@here", "smtp.here",
                                    "25", " 1 ", "user", "secret", "Stopped: %process%", "a%20b"});
  app.write("settings.ob", stored);
  Utility utility(app);
  HWND dialog = openEmailSettings(utility);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_FROM_ADDRESS)), "me@here");
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_MESSAGE)), "a\r\nb");
  EXPECT_TRUE(checked(GetDlgItem(dialog, IDC_USE_AUTHENTICATION)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_USER_NAME)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_PASSWORD)));

  for (int id : {IDC_FROM_ADDRESS, IDC_SMTP_SERVER, IDC_SMTP_PORT, IDC_USER_NAME, IDC_PASSWORD,
                 IDC_SUBJECT, IDC_MESSAGE})
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("9"));
  toggle(GetDlgItem(dialog, IDC_USE_AUTHENTICATION));
  ASSERT_TRUE(waitUntil([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDC_USER_NAME)); }));
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_USER_NAME)), "9") << "disabled fields keep their text";
  click(GetDlgItem(dialog, IDC_EMAIL_CANCEL));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(app.read("settings.ob"), stored);
}

TEST(EmailSettings, SavingWritesThePanelsLastSavedValuesNotItsEdits) {
  AppFolder app;
  app.write("settings.ob", lines({" 0 ", "100"}));
  Utility utility(app);
  // Edited on the panel, not saved.
  SendMessageA(utility.control(IDC_RESTART), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(utility.control(IDC_RESTART_SECONDS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("555"));

  HWND dialog = openEmailSettings(utility);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_USER_NAME))) << "slot 12 empty: unchecked, disabled";
  SendMessageA(GetDlgItem(dialog, IDC_SMTP_SERVER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("mail.example"));
  SendMessageA(GetDlgItem(dialog, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("line 1\r\nline 2"));
  typeChars(GetDlgItem(dialog, IDC_SMTP_PORT), "2a5");
  pumpFor(200ms);
  click(GetDlgItem(dialog, IDC_EMAIL_SAVE));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(app.read("settings.ob"),
            lines({" 0 ", "100", "", "", "", "", "", "", "", "", "mail.example", "25", " 0 ", "", "", "",
                   "line 1%20line 2"}));
}

}  // namespace

namespace {

TEST(EmailSettings, ASaveThatCannotWriteSaysWhyAndKeepsTheDialogOpen) {
  AppFolder app;
  Utility utility(app);
  HWND dialog = openEmailSettings(utility);
  ASSERT_NE(dialog, nullptr);
  SendMessageA(GetDlgItem(dialog, IDC_SUBJECT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("kept"));
  win::unique_file_handle held(CreateFileA(app.file("settings.ob").c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  click(GetDlgItem(dialog, IDC_EMAIL_SAVE));
  auto box = waitForMessageBox(utility.id());
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text.rfind("Error: ", 0), 0u) << box->text;
  box->press("OK");
  pumpFor(300ms);
  ASSERT_TRUE(IsWindow(dialog));
  EXPECT_EQ(windowText(GetDlgItem(dialog, IDC_SUBJECT)), "kept");

  // Once the file can be written again, the next save stores it.
  held.reset();
  click(GetDlgItem(dialog, IDC_EMAIL_SAVE));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_NE(app.read("settings.ob").find("\r\nkept\r\n"), std::string::npos);
}

}  // namespace
