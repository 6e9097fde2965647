// The action panel and the e-mail dialog, worked as a user works them, with settings.ob checked byte for
// byte.
#include <gtest/gtest.h>

#include "e2e/utility.h"

namespace {

using namespace e2e;

LRESULT checkState(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0); }

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

void saveAndClose(const Utility& utility) {
  click(utility.control(IDC_SAVE_AND_CLOSE));
  ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(utility.main); }));
  EXPECT_FALSE(IsIconic(utility.main)) << "hidden without being minimised";
}

TEST(ActionPanel, LoadsEachControlByItselfAndSavesNineteenLines) {
  {
    AppFolder app;
    app.write("settings.ob", " \r\n");  // as a first start left it
    Utility utility(app);
    setText(utility.control(IDC_RESTART_SECONDS), "100");
    SendMessageA(utility.control(IDC_SEND_EMAIL), BM_SETCHECK, BST_CHECKED, 0);
    saveAndClose(utility);
    EXPECT_EQ(app.read("settings.ob"), lines({" 1 ", "100", " 0 ", " 1 ", "", " 0 ", "", " 0 ", ""}))
        << "a blank is no number: the boxes stay as designed";
  }
  AppFolder app;
  app.write("settings.ob", lines({"1", "5", "x", " 1 ", "a@b.c;d@e.f", " 2 ", "7", " 0 ", "C:\\ding.wav", "",
                                  "", "", "", "", "", "", "", "line 18", "line 19"}) +
                               "line 20\r\n");
  Utility utility(app);
  EXPECT_EQ(checkState(utility.control(IDC_REPEAT_EMAIL)), BST_INDETERMINATE);
  saveAndClose(utility);
  EXPECT_EQ(app.read("settings.ob"),
            lines({" 1 ", "5", " 0 ", " 1 ", "a@b.c;d@e.f", " 0 ", "7", " 0 ", "C:\\ding.wav", "", "", "", "",
                   "", "", "", "", "line 18", "line 19"}))
      << "\"x\" is refused; a greyed box saves as 0; line 20 is gone; 18 and 19 stay";
}

TEST(ActionPanel, FieldsTakeWhatTheyShouldAndTheNotesShowOnEveryPress) {
  AppFolder app;
  Utility utility(app);
  // The default border goes with the focus, also when the mouse moves it into a field.
  pressKeys("Tab");  // from the grid to "&Add Exe File"
  ASSERT_TRUE(waitUntil([&] { return buttonsDrawnAsDefault(utility.main) == 1; }));
  clickOn(utility.control(IDC_EMAIL_ADDRESSES));
  EXPECT_TRUE(waitUntil([&] { return buttonsDrawnAsDefault(utility.main) == 0; }));
  for (int id : {IDC_RESTART_SECONDS, IDC_REPEAT_MINUTES}) {
    HWND field = utility.control(id);
    setText(field, "");
    typeChars(field,
              "1a 2.\x16"
              "3x\b");  // Ctrl+V typed is a character like any other
    pumpFor(300ms);
    EXPECT_EQ(windowText(field), "12.") << id;
  }
  for (int id : {IDC_RESTART_SECONDS, IDC_EMAIL_ADDRESSES, IDC_REPEAT_MINUTES, IDC_SOUND_FILE})
    EXPECT_GT(SendMessageA(utility.control(id), EM_GETLIMITTEXT, 0, 0), 1000000) << "no limit: " << id;

  // The sound note on a press of the unchecked box, then the focus on the box; the note also when the
  // press is the second of a double-click that first unchecked it.
  HWND sound = utility.control(IDC_PLAY_SOUND);
  clickOn(sound);
  answerBox(utility.id(), "Note: Sound will not play when monitoring services. ", BoxIcon::Information);
  EXPECT_TRUE(waitUntil([&] { return checkState(sound) == BST_CHECKED && focusedWindow() == sound; }));
  clickOn(sound, 2);
  answerBox(utility.id(), "Note: Sound will not play when monitoring services. ", BoxIcon::Information);
  pumpFor(300ms);
  EXPECT_EQ(checkState(sound), BST_CHECKED);
  EXPECT_FALSE(findMessageBox(utility.id()));

  // "View Log" is drawn underlined, and a double-click on it starts one Notepad with the log's full path.
  HWND viewLog = utility.control(IDC_VIEW_LOG);
  EXPECT_TRUE(drawnUnderlined(viewLog));
  ASSERT_EQ(processesNamed("notepad.exe"), 0);
  clickOn(viewLog, 2);
  std::vector<DWORD> started;
  ASSERT_TRUE(waitUntil([&] { return !(started = processIdsNamed("notepad.exe")).empty(); }));
  // Notepad asks about the missing file by the full path it was given.
  auto box = waitForMessageBox(started[0]);
  EXPECT_TRUE(box && box->text.find(app.file("log.text")) != std::string::npos)
      << (box ? box->text : "no box");
  pumpFor(1s);
  EXPECT_EQ(endProcessesNamed("notepad.exe"), 1);
}

TEST(ActionPanel, TheSoundBrowseFillsTheFieldAndAFailedSaveEndsTheProgram) {
  AppFolder app;
  app.write("ding.wav", "RIFF");
  Utility utility(app);
  HWND field = utility.control(IDC_SOUND_FILE);
  HWND dialog = utility.openDialog(IDC_BROWSE_SOUND, "Choose a .wav file");
  ASSERT_NE(dialog, nullptr);
  chooseFile(dialog, app.file("ding.wav"));
  EXPECT_TRUE(waitUntil([&] { return windowText(field) == app.file("ding.wav"); }));
  support::Unchangeable locked(app.file("settings.ob"));
  ASSERT_TRUE(locked.set);
  click(utility.control(IDC_SAVE_AND_CLOSE));
  answerBox(utility.id(), "Error: *", BoxIcon::None);
  EXPECT_TRUE(utility.process.waitForExit());
}

TEST(EmailSettings, ShowsTheStoredValuesCancelsAndSavesWithThePanelsLastSavedValues) {
  AppFolder app;
  const std::string stored = lines({" 0 ", "100", "", "", "", "", "", "", "", "me@here", "smtp.here", "25",
                                    " 2 ", "user", "secret", "Stopped: %process%", "a%20b"});
  app.write("settings.ob", stored);
  Utility utility(app);
  // Edited on the panel, not saved.
  SendMessageA(utility.control(IDC_RESTART), BM_SETCHECK, BST_CHECKED, 0);
  setText(utility.control(IDC_RESTART_SECONDS), "555");
  for (bool save : {false, true}) {
    HWND dialog = utility.openDialog(IDC_EMAIL_SETTINGS, "Email Settings");  // filled before it shows
    ASSERT_NE(dialog, nullptr);
    auto item = [&](int id) { return GetDlgItem(dialog, id); };
    EXPECT_EQ(windowText(item(IDC_FROM_ADDRESS)), "me@here") << "cancelled edits are gone";
    EXPECT_EQ(windowText(item(IDC_MESSAGE)), "a\r\nb");
    EXPECT_EQ(checkState(item(IDC_USE_AUTHENTICATION)), BST_UNCHECKED) << "a stored 2 is refused";
    EXPECT_FALSE(IsWindowEnabled(item(IDC_PASSWORD)));
    if (!save) {
      EXPECT_GT(SendMessageA(item(IDC_MESSAGE), EM_GETLIMITTEXT, 0, 0), 1000000);
      toggle(item(IDC_USE_AUTHENTICATION));
      ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(item(IDC_USER_NAME)) != 0; }));
      EXPECT_EQ(windowText(item(IDC_USER_NAME)), "user") << "enabled fields keep their text";
      // Enter and Esc in any field close nothing; Alt+F4, as the title-bar button, cancels.
      for (int id : {IDC_FROM_ADDRESS, IDC_SMTP_SERVER, IDC_SMTP_PORT, IDC_USER_NAME, IDC_PASSWORD,
                     IDC_SUBJECT, IDC_MESSAGE}) {
        clickOn(item(id));
        ASSERT_TRUE(waitUntil([&] { return focusedWindow() == item(id); })) << id;
        pressKeys("Return Escape 8");  // the 8 shows once the keys before it are handled
        waitUntil([&] { return !IsWindow(dialog) || windowText(item(id)).find('8') != std::string::npos; });
        ASSERT_TRUE(IsWindow(dialog)) << id;
      }
      pressKeys("alt+F4");
      ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
      EXPECT_EQ(app.read("settings.ob"), stored);
      continue;
    }
    setText(item(IDC_SMTP_SERVER), "mail.example");
    setText(item(IDC_MESSAGE), "line 1\r\nline 2");
    setText(item(IDC_SMTP_PORT), "");
    typeChars(item(IDC_SMTP_PORT), "2a5");
    pumpFor(200ms);
    {
      support::Unchangeable locked(app.file("settings.ob"));
      ASSERT_TRUE(locked.set);
      click(item(IDC_EMAIL_SAVE));
      answerBox(utility.id(), "Error: *", BoxIcon::None);
      pumpFor(300ms);
      ASSERT_TRUE(IsWindow(dialog)) << "the dialog stays open";
    }
    click(item(IDC_EMAIL_SAVE));
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
  }
  EXPECT_EQ(app.read("settings.ob"),
            lines({" 0 ", "100", "", "", "", "", "", "", "", "me@here", "mail.example", "25", " 0 ", "user",
                   "secret", "Stopped: %process%", "line 1%20line 2"}))
      << "the disabled fields are saved as they stand";
}

}  // namespace
