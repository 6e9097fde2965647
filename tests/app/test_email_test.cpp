// The "Test" button against real SMTP servers on 127.0.0.1: what it sends,
// from which values, with and without a login, and how it reports failures.
#include <gtest/gtest.h>

#include "e2e/utility.h"
#include "support/mail_server.h"

namespace {

using namespace e2e;
using support::mailServer;

std::string settingsWith(const std::string& server, const std::string& subject, const std::string& auth) {
  // Lines 5 and 10 to 17; the port of line 12 plays no part in the test.
  const std::string lines[19] = {"",
                                 "",
                                 "",
                                 "",
                                 "saved@x.test",
                                 "",
                                 "",
                                 "",
                                 "",
                                 "monitor@brennix.test",
                                 server,
                                 "not a port",
                                 auth,
                                 support::kMailUser,
                                 "wrong",
                                 subject,
                                 "%process% at %time%%20%PROCESS% stays"};
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

// Presses "Test" and answers the outcome's box.
void test(const Utility& utility, const std::string& text, BoxIcon icon) {
  ASSERT_TRUE(click(utility.control(IDC_TEST_EMAIL)));
  answerBox(utility.id(), text, icon);
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(utility.control(IDC_TEST_EMAIL)) != 0; }));
}

// Sets fields of the e-mail dialog and leaves it by `button`.
void editEmailSettings(const Utility& utility, std::initializer_list<std::pair<int, std::string>> fields,
                       bool toggleAuthentication, int button) {
  click(utility.control(IDC_EMAIL_SETTINGS));
  HWND dialog = waitForTopWindow(utility.id(), "#32770", "Email Settings");
  ASSERT_NE(dialog, nullptr);
  for (const auto& [id, text] : fields)
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (toggleAuthentication) toggle(GetDlgItem(dialog, IDC_USE_AUTHENTICATION));
  pumpFor(100ms);
  click(GetDlgItem(dialog, button));
  ASSERT_TRUE(waitUntil([&] { return !IsWindow(dialog); }));
}

TEST(TestEmail, SendsTheStoredSettingsToTheFieldsRecipientsWithSampleValues) {
  AppFolder app;
  const std::string subject = "%process% stopped " + std::to_string(GetCurrentProcessId());
  app.write("settings.ob", settingsWith(mailServer("plain"), subject, ""));
  Utility utility(app);
  // Unsaved recipients count; cancelled settings do not.
  SendMessageA(utility.control(IDC_EMAIL_ADDRESSES), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(" a@x.test ; b@x.test;;"));
  editEmailSettings(utility, {{IDC_SMTP_SERVER, mailServer("closed")}}, true, IDC_EMAIL_CANCEL);
  test(utility, "Test successful.", BoxIcon::Information);

  const auto got = support::receivedMail(subject);
  ASSERT_EQ(got.size(), 1u);
  const std::string& mail = got[0];
  EXPECT_NE(mail.find("rcpt: a@x.test\nrcpt: b@x.test\nauth: -\n"), std::string::npos) << mail;
  EXPECT_NE(mail.find("Subject: " + subject), std::string::npos) << "the subject keeps its placeholder";
  EXPECT_NE(mail.find("example.exe at "), std::string::npos) << mail;
  EXPECT_EQ(mail.find("%time%"), std::string::npos);
  EXPECT_NE(mail.find("\r\n%PROCESS% stays"), std::string::npos)
      << "placeholders are matched with their case";
}

TEST(TestEmail, LogsInOnlyWhenAskedAndReportsWhatFailed) {
  AppFolder app;
  const std::string subject = "login " + std::to_string(GetCurrentProcessId());
  app.write("settings.ob", settingsWith(mailServer("auth"), subject, " 1 "));
  Utility utility(app);
  test(utility, "Test failed! *", BoxIcon::Warning);  // the stored password is wrong
  editEmailSettings(utility, {{IDC_PASSWORD, support::kMailPassword}}, false, IDC_EMAIL_SAVE);
  test(utility, "Test successful.", BoxIcon::Information);
  // Authentication off again: no login, even after one.
  editEmailSettings(utility, {{IDC_SMTP_SERVER, mailServer("plain")}}, true, IDC_EMAIL_SAVE);
  test(utility, "Test successful.", BoxIcon::Information);
  const auto got = support::receivedMail(subject);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].find("auth: -") == std::string::npos, got[1].find("auth: -") != std::string::npos)
      << "one with the login, one without";
  // A refused recipient among accepted ones (Postfix): the others get it, and the box says so.
  editEmailSettings(utility, {{IDC_SMTP_SERVER, mailServer("relay", "localhost")}}, false, IDC_EMAIL_SAVE);
  SendMessageA(utility.control(IDC_EMAIL_ADDRESSES), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>("stale@x.test; admin@x.test"));
  test(utility,
       "Test failed! The server refused the recipient stale@x.test (550 5.1.1 <stale@x.test>: "
       "Recipient address rejected: User unknown in virtual mailbox table); the e-mail was sent to "
       "the others: admin@x.test.",
       BoxIcon::Warning);
  EXPECT_EQ(support::receivedMail(subject, 3).size(), 3u);

  // A server that never answers: the window keeps answering meanwhile.
  editEmailSettings(utility, {{IDC_SMTP_SERVER, mailServer("silent")}}, false, IDC_EMAIL_SAVE);
  ASSERT_TRUE(click(utility.control(IDC_TEST_EMAIL)));
  pumpFor(1s);
  EXPECT_FALSE(IsWindowEnabled(utility.control(IDC_TEST_EMAIL)));
  DWORD_PTR result = 0;
  EXPECT_TRUE(SendMessageTimeoutA(utility.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result));
  auto box = waitForMessageBox(utility.id(), 60s);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text.rfind("Test failed! ", 0), 0u) << box->text;
  box->press("OK");
  EXPECT_TRUE(waitUntil([&] { return IsWindowEnabled(utility.control(IDC_TEST_EMAIL)) != 0; }));
}

}  // namespace
