// The text side of SMTP: replies, capabilities, addresses, the DATA body,
// headers and their line-break check, base64, dates.
#include <gtest/gtest.h>

#include "mail/smtp_text.h"

namespace {

using mail::ReplyRead;

TEST(SmtpText, ReadsRepliesOfOneOrMoreLines) {
  struct Case {
    std::string input;
    ReplyRead::State state;
    int code;
    std::size_t lines, used;
  };
  const Case cases[] = {
      {"220 mail ready\r\n", ReplyRead::Complete, 220, 1, 16},
      {"250-mail\r\n250-SIZE 10\r\n250 HELP\r\nNEXT", ReplyRead::Complete, 250, 3, 33},
      {"250\r\n", ReplyRead::Complete, 250, 1, 5},
      {"354 go on\n", ReplyRead::Complete, 354, 1, 10},  // a lone LF ends a line too
      {"250-mail\r\n250 HE", ReplyRead::Incomplete, 0, 0, 0},
      {"", ReplyRead::Incomplete, 0, 0, 0},
      {"22", ReplyRead::Incomplete, 0, 0, 0},
      {"250-a\r\n251 b\r\n", ReplyRead::Malformed, 0, 0, 0},  // codes differ
      {"HELLO\r\n", ReplyRead::Malformed, 0, 0, 0},
      {"\xff\xfe garbage", ReplyRead::Malformed, 0, 0, 0},  // judged before any line end
      {"250x\r\n", ReplyRead::Malformed, 0, 0, 0},
      {"25\r\n", ReplyRead::Malformed, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const ReplyRead read = mail::readReply(c.input);
    EXPECT_EQ(read.state, c.state) << c.input;
    if (c.state != ReplyRead::Complete) continue;
    EXPECT_EQ(read.reply.code, c.code) << c.input;
    EXPECT_EQ(read.reply.lines.size(), c.lines) << c.input;
    EXPECT_EQ(read.used, c.used) << c.input;
  }
  EXPECT_EQ(mail::readReply("550-No such\r\n550 user here\r\n").reply.text(), "550 No such / user here");
}

TEST(SmtpText, FindsStartTlsAndLoginMechanismsInTheEhloReply) {
  struct Case {
    std::vector<std::string> lines;
    bool startTls, login, plain;
  };
  const Case cases[] = {
      {{"mail", "SIZE 100", "STARTTLS", "AUTH LOGIN PLAIN"}, true, true, true},
      {{"mail", "starttls", "auth=login"}, true, true, false},
      {{"mail", "AUTH CRAM-MD5 PLAIN"}, false, false, true},
      {{"STARTTLS"}, false, false, false},  // the greeting line names no extension
      {{"mail", "AUTHX LOGIN", "STARTTLSX"}, false, false, false},
  };
  for (const Case& c : cases) {
    const mail::Capabilities caps = mail::readCapabilities({250, c.lines});
    EXPECT_EQ(caps.startTls, c.startTls) << c.lines.back();
    EXPECT_EQ(caps.authLogin, c.login) << c.lines.back();
    EXPECT_EQ(caps.authPlain, c.plain) << c.lines.back();
  }
}

TEST(SmtpText, SplitsAddressesAndServers) {
  using V = std::vector<std::string>;
  EXPECT_EQ(mail::splitAddresses(" a@x.test ; ;b@y.test;\t"), (V{"a@x.test", "b@y.test"}));
  EXPECT_EQ(mail::splitAddresses(" ; "), V{});

  struct Case {
    const char* server;
    const char* host;  // nullptr: refused
    int port;
  };
  const Case cases[] = {{"mail.example.com", "mail.example.com", 25}, {" smtp:587 ", "smtp", 587},
                        {"[::1]:2525", "::1", 2525},                  {"::1", "::1", 25},
                        {"host:0", nullptr, 0},                        {"host:65536", nullptr, 0},
                        {"host:", nullptr, 0},                         {"host:2x", nullptr, 0},
                        {":25", nullptr, 0},                           {"", nullptr, 0}};
  for (const Case& c : cases) {
    const auto split = mail::splitHostPort(c.server);
    ASSERT_EQ(split.has_value(), c.host != nullptr) << c.server;
    if (!split) continue;
    EXPECT_EQ(split->host, c.host);
    EXPECT_EQ(split->port, c.port);
  }
}

TEST(SmtpText, MakesTheDataBodyWithCrLfAndDoubledDots) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
      {".\n.hidden\nmid.dle\n", "..\r\n..hidden\r\nmid.dle\r\n"},
      {"\r\n\r\n", "\r\n\r\n"},
      {"", "\r\n"},
      {"x\r", "x\r\n"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(mail::dataBody(in), out) << in;

  const std::pair<std::string, std::string> quoted[] = {
      {"a=b \xe9\t\nend ", "a=3Db =E9=09\r\nend=20"},
      {std::string(80, 'x'), std::string(73, 'x') + "=\r\n" + std::string(7, 'x')},
      {std::string(72, 'x') + "\xff", std::string(72, 'x') + "=\r\n=FF"},
  };
  for (const auto& [in, out] : quoted) EXPECT_EQ(mail::quotedPrintable(in), out) << in;
}

TEST(SmtpText, RefusesLineBreaksInHeadersAndMissingValuesBeforeSending) {
  struct Case {
    const char *server, *from, *to, *subject;
    const char* problem;  // a word of the explanation; nullptr when none
  };
  const Case cases[] = {
      {"mail", "a@x.test", "b@x.test", "Hello", nullptr},
      {"mail", "a@x.test", "b@x.test", "Hi\r\nBcc: evil@x.test", "subject"},
      {"mail", "a@x.test", "b@x.test", "Hi\nBcc: evil@x.test", "subject"},
      {"mail", "a@x.test\r\nBcc: evil@x.test", "b@x.test", "Hi", "sender"},
      {"mail", "a@x.test", "b@x.test;c@x.test\rBcc: evil@x.test", "Hi", "recipient"},
      {" ", "a@x.test", "b@x.test", "Hi", "server"},
      {"mail:99999", "a@x.test", "b@x.test", "Hi", "server"},
      {"mail", "", "b@x.test", "Hi", "sender"},
      {"mail", "a@x.test", " ; ", "Hi", "recipient"},
  };
  for (const Case& c : cases) {
    const std::string problem = mail::problemBeforeSending(c.server, c.from, c.to, c.subject);
    if (!c.problem) EXPECT_EQ(problem, "") << c.subject;
    else EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
  }
}

TEST(SmtpText, FoldsLongRecipientListsAndEncodesSubjectsOutsideAscii) {
  mail::Message m{"a@x.test", {}, "Stopped", "", "<1@x.test>", "windows-1252", "body\r\n"};
  m.to.assign(4, std::string(30, 'r'));
  EXPECT_NE(mail::buildMessage(m).find("To: " + m.to[0] + ", " + m.to[0] + ",\r\n " + m.to[0] + ", " + m.to[0] + "\r\n"),
            std::string::npos);
  m.subject = "Caf\xe9";
  EXPECT_NE(mail::buildMessage(m).find("Subject: =?windows-1252?B?Q2Fm6Q==?=\r\n"), std::string::npos);
  EXPECT_EQ(mail::messageId(0x1234, "Admin <a@mail.x.test>"), "<0000000000001234.brennix@mail.x.test>");
  EXPECT_EQ(mail::messageId(1, "nobody"), "<0000000000000001.brennix@brennix.invalid>");
}

TEST(SmtpText, EncodesBase64AndDates) {
  const std::pair<std::string, const char*> base64[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\0u\0p\xff", 5), "AHUAcP8="}};
  for (const auto& [in, out] : base64) EXPECT_EQ(mail::base64(in), out) << in;

  const std::pair<mail::LocalTime, const char*> dates[] = {
      {{2026, 12, 6, 7, 5, 9, 60}, "Sun, 06 Dec 2026 07:05:09 +0100"},
      {{2024, 2, 29, 23, 59, 59, -330}, "Thu, 29 Feb 2024 23:59:59 -0530"},
      {{2000, 1, 1, 0, 0, 0, 0}, "Sat, 01 Jan 2000 00:00:00 +0000"},
      {{1969, 12, 31, 12, 0, 0, 0}, "Wed, 31 Dec 1969 12:00:00 +0000"},
  };
  for (const auto& [time, text] : dates) EXPECT_EQ(mail::messageDate(time), text);
}

}  // namespace
