// The text side of SMTP: replies, capabilities, addresses, the EHLO name, the body, headers, dates.
#include "mail/smtp_text.h"

#include <gtest/gtest.h>

#include "mail/message.h"
#include "support/mail_server.h"

namespace {

using mail::ReplyRead;

TEST(SmtpText, ReadsRepliesAndRejectsGarbage) {
  const std::tuple<std::string, ReplyRead::State, int, std::size_t, std::size_t> cases[] = {
      // input, state, and for a complete reply: its code, its number of lines, the bytes it took
      {"250-mail\r\n250-SIZE 10\r\n250 HELP\r\nNEXT", ReplyRead::Complete, 250, 3, 33},
      {"354 go on\n", ReplyRead::Complete, 354, 1, 10},
      {"250\r\n", ReplyRead::Complete, 250, 1, 5},
      {"250-mail\r\n250 HE", ReplyRead::Incomplete, 0, 0, 0},
      {"250-a\r\n251 b\r\n", ReplyRead::Malformed, 0, 0, 0},  // the codes differ
      {"\xff\xfe garbage", ReplyRead::Malformed, 0, 0, 0},    // judged before any line end
      {"250x\r\n", ReplyRead::Malformed, 0, 0, 0},
      {"25\r\n", ReplyRead::Malformed, 0, 0, 0},
  };
  for (const auto& [input, state, code, lines, used] : cases) {
    const ReplyRead read = mail::readReply(input);
    EXPECT_EQ(read.state, state) << input.substr(0, 40);
    if (state == ReplyRead::Complete) {
      EXPECT_EQ(std::tuple(read.reply.code, read.reply.lines.size(), read.used),
                std::tuple(code, lines, used));
    }
  }
  EXPECT_EQ(mail::readReply("550-No such\r\n550 user here\r\n").reply.text(), "550 No such / user here");
}

TEST(SmtpText, FindsStartTlsAndLoginMechanismsInTheEhloReply) {
  const std::pair<std::vector<std::string>, std::tuple<bool, bool, bool>> cases[] = {
      // STARTTLS, LOGIN, PLAIN
      {{"mail", "SIZE 100", "STARTTLS", "AUTH LOGIN PLAIN"}, {true, true, true}},
      {{"mail", "starttls", "auth=login"}, {true, true, false}},
      {{"mail", "AUTH CRAM-MD5 PLAIN"}, {false, false, true}},
      {{"STARTTLS"}, {false, false, false}},  // the greeting line names no extension
      {{"mail", "AUTHX LOGIN", "STARTTLSX"}, {false, false, false}},
  };
  for (const auto& [lines, want] : cases) {
    const mail::Capabilities caps = mail::readCapabilities({250, lines});
    EXPECT_EQ(std::tuple(caps.startTls, caps.authLogin, caps.authPlain), want) << lines.back();
  }
}

TEST(SmtpText, SplitsAddressListsAndServersAndNamesThisComputer) {
  // The EHLO name: the fully qualified DNS name, else the local address.
  EXPECT_EQ(mail::ehloName("pc.corp.example.", "192.0.2.10"), "pc.corp.example");
  EXPECT_EQ(mail::ehloName("VM", "fe80::1%4"), "[IPv6:fe80::1]");
  EXPECT_EQ(mail::splitAddresses(" a@x.test ; ;b@y.test;\t"),
            (std::vector<std::string>{"a@x.test", "b@y.test"}));
  EXPECT_TRUE(mail::splitAddresses(" ; ").empty());
  const std::tuple<const char*, const char*, int> cases[] = {// server, host (empty: refused), port
                                                             {"mail.example.com", "mail.example.com", 25},
                                                             {" smtp:587 ", "smtp", 587},
                                                             {"[::1]:2525", "::1", 2525},
                                                             {"::1", "::1", 25},
                                                             {"host:0", "", 0},
                                                             {"host:65536", "", 0},
                                                             {"host:2x", "", 0},
                                                             {":25", "", 0},
                                                             {"", "", 0}};
  for (const auto& [server, host, port] : cases) {
    const auto got = mail::splitHostPort(server).value_or(mail::HostPort{"", 0});
    EXPECT_EQ(std::tuple(got.host, int{got.port}), std::tuple(host, port)) << server;
  }
}

TEST(SmtpText, WritesTheBodyWithCrLfAndDoubledDotsAndTheDate) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
      {".\n.hidden\nmid.dle\n", "..\r\n..hidden\r\nmid.dle\r\n"},
      {"\r\n\r\n", "\r\n\r\n"},
      {"", "\r\n"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(mail::dataBody(in), out) << in;
  EXPECT_EQ(mail::bodyEncoding("plain\r\n" + std::string(998, 'x'), false), mail::BodyEncoding::SevenBit);
  EXPECT_EQ(mail::bodyEncoding(std::string(999, 'x'), true), mail::BodyEncoding::QuotedPrintable);
  EXPECT_EQ(mail::quotedPrintable("a=b \xe9\t\n" + std::string(80, 'x')),
            "a=3Db =E9=09\r\n" + std::string(73, 'x') + "=\r\n" + std::string(7, 'x'));
  EXPECT_EQ(mail::base64(std::string("\0u\xff", 3)), "AHX/");
  const std::pair<mail::LocalTime, const char*> dates[] = {
      {{2026, 12, 6, 7, 5, 9, 60}, "Sun, 06 Dec 2026 07:05:09 +0100"},
      {{2024, 2, 29, 23, 59, 59, -330}, "Thu, 29 Feb 2024 23:59:59 -0530"},
      {{1969, 12, 31, 12, 0, 0, 0}, "Wed, 31 Dec 1969 12:00:00 +0000"}};
  for (const auto& [time, text] : dates) EXPECT_EQ(mail::messageDate(time), text);
}

TEST(SmtpText, RefusesLineBreaksBadAddressesAndMissingValuesBeforeSending) {
  const std::array<const char*, 5> cases[] = {
      // server, from, to, subject, a word of the explanation
      {"mail", "(Brennix) a@x.test", "b@x.test (B);C <c@x.test>", "Hello", ""},
      {"mail", "a@x.test> NOTIFY=SUCCESS", "b@x.test", "Hi",
       "sender address \"a@x.test> NOTIFY=SUCCESS\" holds"},
      {"mail", "a@x.test", "b@x.test;C <c d@x.test>", "Hi", "recipient address \"c d@x.test\" holds"},
      {"mail", "a@x.test", " ; ", "Hi", "recipient"},
      {"mail", "a@x.test", "b@x.test", "Hi\r\nBcc: evil@x.test", "subject"},
      {"mail", "a@x.test", "b@x.test", "Hi\nBcc: evil@x.test", "subject"},
      {"mail", "a@x.test\r\nBcc: evil@x.test", "b@x.test", "Hi", "sender"},
      {"mail", "a@x.test", "b@x.test;c@x.test\rBcc: evil@x.test", "Hi", "recipient"},
      {"mail:99999", "a@x.test", "b@x.test", "Hi", "server"},
      {"mail", "", "b@x.test", "Hi", "sender"}};
  for (const auto& [server, from, to, subject, word] : cases) {
    const std::string problem = mail::problemBeforeSending(server, from, to, subject);
    EXPECT_TRUE(*word ? problem.find(word) != std::string::npos : problem.empty())
        << subject << ": " << problem;
  }
}

TEST(SmtpText, WritesHeadersInSevenBitsWithEncodedWordsOfWholeCharacters) {
  // Characters of two and four bytes, each off the even byte after an "a".
  const std::tuple<unsigned, std::string, const char*> cases[] = {{936, "\xd6\xd0", "gbk"},
                                                                  {65001, "\xf0\x9f\x98\x80", "utf-8"}};
  for (const auto& [codePage, character, charset] : cases) {
    std::string text = "a";
    for (int i = 0; i < 40; ++i) text += character;
    const std::string header = mail::textHeader("Subject", text, mail::charsetOfCodePage(codePage), codePage);
    const auto got = support::readHeader(header, "Subject", codePage);
    EXPECT_EQ(std::tuple(got.text, got.charset, got.wellFormed), std::tuple(text, charset, true)) << header;
  }
  const std::vector<std::string> many(6, "someone.with.a.long.name@x.test");
  const std::string two = many[0] + ", " + many[0], x69(69, 'x');
  const std::pair<std::string, std::string> exact[] = {
      // Names with specials quoted, and encoded when readers would decode them; long lists folded;
      // blanks at the end on the last word's line, as a folded line may not hold blanks alone.
      {mail::addressHeader("From", {R"("Brennix, \"M\"" <m@x.test>)"}, "", 0),
       "From: \"Brennix, \\\"M\\\"\" <m@x.test>\r\n"},
      {mail::addressHeader("From", {"=?utf-8?B?SGk=?= <m@x.test>"}, "utf-8", 65001),
       "From: =?utf-8?B?PT91dGYtOD9CP1NHaz0/PQ==?= <m@x.test>\r\n"},
      {mail::addressHeader("To", many, "", 0), "To: " + two + ",\r\n " + two + ",\r\n " + two + "\r\n"},
      {mail::textHeader("Subject", x69 + "  ", "", 0), "Subject: " + x69 + "  \r\n"}};
  for (const auto& [got, want] : exact) EXPECT_EQ(got, want);
}

}  // namespace
