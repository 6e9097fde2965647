// The mail component against the SMTP servers that CTest starts on 127.0.0.1: logins, STARTTLS with the
// certificate check, faulty servers, the events on the calling thread, and what strict servers take.
#include "mail/send_mail.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>

#include "support/mail_server.h"

namespace {

using namespace std::chrono_literals;
using support::mailServer;
using support::receivedMail;

struct Outcome {
  std::string token, failure;  // the subject that no other send uses; the last explanation of a failure
  int failures = 0, successes = 0, statuses = 0;
  double seconds = 0;
};

// Sends as the utility does, after `adjust`, and checks that every event comes on this thread.
Outcome send(const std::string& server, const std::function<void(mail::SendMail&)>& adjust = {}) {
  static int counter = 0;
  Outcome o{"Stopped-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter), ""};
  mail::SendMail m;
  m.smtpServer = server;
  m.from = "Monitor <monitor@brennix.test>";
  m.subject = o.token;
  m.message = ".dot line\n" + o.token + "\r\nCaf\xe9\rlast";
  m.recipients = " admin@x.test ; ;ops@y.test ";
  m.timeouts = {3s, 3s, 8s};
  if (adjust) adjust(m);
  const auto onThisThread = [thread = GetCurrentThreadId()] { EXPECT_EQ(GetCurrentThreadId(), thread); };
  m.SendFailed = [&](const std::string& why) { ++o.failures, o.failure = why, onThisThread(); };
  m.SendSuccesful = [&] { ++o.successes, onThisThread(); };
  m.Status = [&](const std::string&) { ++o.statuses, onThisThread(); };
  const auto start = std::chrono::steady_clock::now();
  m.send();
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return o;
}

// The test CA in the current user's trusted root store for the life of a test.
struct TrustedTestCa {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "ROOT");
  std::string der = support::readWholeFile(support::mailServerFolder() + "/ca.der");
  PCCERT_CONTEXT added = nullptr;
  bool ok = CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
      CERT_STORE_ADD_REPLACE_EXISTING, &added);
  ~TrustedTestCa() {
    if (added) CertDeleteCertificateFromStore(added);
    CertCloseStore(store, 0);
  }
};

TEST(SendMail, LogsInAndStartsTlsOnlyWithATrustedCertificateForTheHost) {
  TrustedTestCa ca;
  ASSERT_TRUE(ca.ok);
  const std::pair<const char*, const char*> cases[] = {
      // server, its record of the delivery or a word of the failure
      {"auth", "auth: brennix\ntls: no\n"},  // no STARTTLS offered: sent as asked
      {"noehlo", "offers no login"},         // HELO after a refused EHLO
      {"untrusted", "not trusted"},
      {"othername", "another name"}};
  for (const auto& [mode, outcome] : cases) {
    const Outcome o = send(mailServer(mode, "localhost"), [&](mail::SendMail& m) {
      m.useAuthentication = true;
      m.userName = support::kMailUser;
      m.password = support::kMailPassword;
    });
    const auto got = receivedMail(o.token);
    const bool delivered = std::string_view(outcome).starts_with("auth:");
    ASSERT_EQ(got.size(), delivered ? 1u : 0u) << mode << " " << o.failure;
    EXPECT_NE((delivered ? got[0] : o.failure).find(outcome), std::string::npos) << mode << " " << o.failure;
    EXPECT_EQ(o.failures, delivered ? 0 : 1) << mode;
    EXPECT_EQ(o.failure.find(support::kMailPassword), std::string::npos) << "the password is not shown";
  }
}

TEST(SendMail, FailsWithinTheTimeOutOnFaultyServersAndBeforeConnectingOnALineBreakInTheSubject) {
  const std::array<const char*, 3> cases[] = {// server, subject (nullptr: a clean one), a word of the failure
                                              {"closed", nullptr, "connect"},
                                              {"silent", nullptr, "in time"},
                                              {"garbage", nullptr, "not SMTP"},
                                              {"longline", nullptr, "64 KB"},
                                              {"plain", "Hello\r\nBcc: evil@z.test", "line break"}};
  for (const auto& [mode, subject, failure] : cases) {
    const char* header = subject;  // clang 14 cannot capture a structured binding
    const Outcome o = send(mailServer(mode), [&](mail::SendMail& m) {
      m.timeouts = {1500ms, 1500ms, 4s};
      if (header) m.subject = header;
    });
    EXPECT_EQ(std::tuple(o.failures, o.successes), std::tuple(1, 0)) << mode;
    EXPECT_NE(o.failure.find(failure), std::string::npos) << mode << " " << o.failure;
    EXPECT_LT(o.seconds, 4.5) << mode;
    EXPECT_TRUE(receivedMail(o.token).empty()) << mode;
    EXPECT_TRUE(!subject || o.statuses == 0) << "no connection was made";
  }
}

// Postfix, strict as company servers are (see mail/smtp_server.py).
TEST(SendMail, StrictServersTakeEncodedHeadersAndTheBodyAsTheyCanAndHearWhoWasRefused) {
  TrustedTestCa ca;
  ASSERT_TRUE(ca.ok);
  const std::string sjis = "\x83\x82\x83\x6a\x83\x5e\x81\x5b",
                    euros = "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac",
                    right = support::kMailPassword;
  const struct {
    std::string service;
    unsigned codePage;
    std::string from, to, subject, password, failure;  // a piece of the failure
    std::size_t delivered;                             // messages
  } cases[] = {
      {"relay", 1252, "Brennix M\xf6nitor <monitor@brennix.test>", "Ren\xe9 <admin@x.test>; ops@y.test",
       "Arr\xeat\xe9 " + std::string(50, '\xe9') + " ", "", "", 2},
      // A cut after every 45 bytes would fall inside a character.
      {"submission", 932, sjis + " <monitor@brennix.test>", sjis + " <admin@x.test>",
       sjis + sjis + sjis + sjis + sjis + sjis + " ", right, "", 1},
      {"smtps", 65001, "Br\xc3\xa9nnix <monitor@brennix.test>", "Ren\xc3\xa9 <admin@x.test>",
       euros + euros + euros + "x ", right, "", 1},
      {"submission", 1252, "monitor@brennix.test", "admin@x.test", "", "wrong", " (AUTH LOGIN): 535 ", 0},
      // The bare address in the envelope, else the relay refuses it.
      {"relay", 1252, "monitor@brennix.test (Brennix)", "stale@x.test", "", "",
       "recipient stale@x.test (550 5.1.1 <stale@x.test>: Recipient address rejected", 0},
      {"relay", 1252, "monitor@brennix.test", "admin@x.test; stale@x.test ;ops@y.test", "", "",
       "); the e-mail was sent to the others: admin@x.test, ops@y.test.", 2}};
  for (const auto& c : cases) {
    const std::string server = mailServer(c.service, "localhost");
    const std::size_t logStart = support::postfixLog().size();
    const Outcome o = send(server, [&](mail::SendMail& m) {
      m.codePage = c.codePage;
      m.from = c.from;
      m.recipients = c.to;
      m.subject = c.subject + m.subject;
      m.useAuthentication = !c.password.empty();
      m.userName = support::kMailUser;
      m.password = c.password;
      if (c.service == "smtps") m.implicitTlsPort = static_cast<std::uint16_t>(std::stoi(server.substr(10)));
    });
    EXPECT_TRUE(c.failure.empty() ? o.successes == 1 : o.failure.find(c.failure) != std::string::npos)
        << c.service << ": " << o.failure;
    const auto got = receivedMail(o.token, c.delivered);
    ASSERT_EQ(got.size(), c.delivered) << c.service;
    // QUIT ends every session; the submission service logs the 8-bit body's declaration.
    const std::string log = support::postfixLog(logStart, " quit=");
    EXPECT_NE(log.find(" quit=1 "), std::string::npos) << c.service << " " << c.failure;
    if (!c.failure.empty()) continue;
    EXPECT_EQ(c.service == "submission",
              log.find("MAIL FROM:<monitor@brennix.test> BODY=8BITMIME") != std::string::npos);
    std::string shownTo = c.to;
    std::replace(shownTo.begin(), shownTo.end(), ';', ',');
    const char* charset = c.codePage == 932 ? "shift_jis" : c.codePage == 65001 ? "utf-8" : "windows-1252";
    for (const auto& [name, text] :
         {std::pair{"From", c.from}, {"To", shownTo}, {"Subject", c.subject + o.token}}) {
      const support::Header h = support::readHeader(got[0], name, c.codePage);
      EXPECT_EQ(std::tuple(h.text, h.charset, h.wellFormed), std::tuple(text, charset, true))
          << c.service << " " << name;
    }
    // The body intact, in quoted-printable where the server takes no 8-bit body.
    const std::string body = c.service == "relay" ? "\nCaf=E9\nlast" : "\nCaf\xe9\nlast";
    EXPECT_NE(got[0].find("\n.dot line\n" + o.token + body), std::string::npos) << got[0];
  }
}

int ticks = 0;
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (++ticks == 3) PostQuitMessage(7);
}

TEST(SendMail, KeepsWindowEventsFlowingAndTheQuitRequestForTheMainLoop) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, tick);
  const Outcome o = send(mailServer("silent"), [](mail::SendMail& m) { m.timeouts = {1s, 1s, 2s}; });
  KillTimer(nullptr, timer);
  EXPECT_NE(o.failure.find("in time"), std::string::npos) << o.failure;
  EXPECT_EQ(ticks, 3) << "timer ticks ran during the send, none after the quit request";
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
