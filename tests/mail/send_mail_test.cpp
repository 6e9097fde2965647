// The mail component against the SMTP servers that CTest starts on 127.0.0.1: what arrives, logins,
// STARTTLS with the certificate check, faulty servers, and the events on the calling thread.
#include "mail/send_mail.h"

#include <windows.h>
#include <wincrypt.h>

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

TEST(SendMail, DeliversWithOneRecipientCommandPerAddressAndTheBodyIntact) {
  for (const char* mode : {"plain", "noehlo"}) {
    const Outcome o = send(mailServer(mode));
    EXPECT_EQ(std::tuple(o.successes, o.failures, o.statuses > 0), std::tuple(1, 0, true))
        << mode << " " << o.failure;
    const auto got = receivedMail(o.token);
    ASSERT_EQ(got.size(), 1u) << mode;
    const std::string parts[] = {
        "from: monitor@brennix.test\nrcpt: admin@x.test\nrcpt: ops@y.test\nauth: -\ntls: no\n",
        "From: Monitor <monitor@brennix.test>\r\nTo: admin@x.test, ops@y.test\r\n",
        "Content-Type: text/plain; charset=windows-1252\r\n",
        "\r\n\r\n.dot line\r\n" + o.token + "\r\nCaf\xe9\r\nlast\r\n"};
    for (const std::string& part : parts)
      EXPECT_NE(got[0].find(part), std::string::npos) << mode << ": " << part << "\n" << got[0];
  }
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
  const char* const right = support::kMailPassword;
  const std::array<const char*, 3> cases[] = {
      // server, password, its record of the delivery or a word of the failure
      {"auth", right, "auth: brennix\ntls: no\n"},  // no STARTTLS offered: sent as asked
      {"authlogin", right, "auth: brennix\ntls: no\n"},
      {"tls", right, "auth: brennix\ntls: yes\n"},
      {"auth", "wrong", "535"},
      {"authlogin", "wrong", "535"},
      {"plain", right, "offers no login"},
      {"untrusted", right, "not trusted"},
      {"othername", right, "another name"}};
  for (const auto& [mode, password, outcome] : cases) {
    const std::string pass = password;  // clang 14 cannot capture a structured binding
    const Outcome o = send(mailServer(mode, "localhost"), [&](mail::SendMail& m) {
      m.useAuthentication = true;
      m.userName = support::kMailUser;
      m.password = pass;
    });
    const auto got = receivedMail(o.token);
    const bool delivered = std::string_view(outcome).starts_with("auth:");
    ASSERT_EQ(got.size(), delivered ? 1u : 0u) << mode << " " << o.failure;
    EXPECT_NE((delivered ? got[0] : o.failure).find(outcome), std::string::npos) << mode << " " << o.failure;
    EXPECT_EQ(o.failures, delivered ? 0 : 1) << mode;
    EXPECT_EQ(o.failure.find(password), std::string::npos) << "the password is not shown";
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
