// The mail component against real SMTP servers on 127.0.0.1 (aiosmtpd, started
// by CTest through smtp_server.py): what arrives, logins, STARTTLS with the
// certificate check, faulty servers, and the events on the calling thread.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "mail/send_mail.h"
#include "support/mail_server.h"

namespace {

using namespace std::chrono_literals;

using support::receivedMail;
const std::string kDir = support::mailServerFolder();
std::string server(const std::string& mode, const std::string& host = "127.0.0.1") {
  return support::mailServer(mode, host);
}
std::vector<std::string> received(const std::string& token) { return receivedMail(token); }
std::string readFile(const std::string& path) { return support::readWholeFile(path); }

struct Outcome {
  std::vector<std::string> failures;
  int successes = 0, statuses = 0;
  double seconds = 0;
  bool failedWith(const std::string& word) const {
    return failures.size() == 1 && failures[0].find(word) != std::string::npos;
  }
  std::string why() const { return failures.empty() ? "" : failures[0]; }
};

// Sends, and checks that every event came on this thread.
Outcome send(mail::SendMail& m) {
  Outcome o;
  const DWORD thread = GetCurrentThreadId();
  m.SendFailed = [&](const std::string& why) { o.failures.push_back(why); EXPECT_EQ(GetCurrentThreadId(), thread); };
  m.SendSuccesful = [&] { ++o.successes; EXPECT_EQ(GetCurrentThreadId(), thread); };
  m.Status = [&](const std::string&) { ++o.statuses; EXPECT_EQ(GetCurrentThreadId(), thread); };
  const auto start = std::chrono::steady_clock::now();
  m.send();
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return o;
}

// A component set up as the utility sets it, with a subject no other test uses.
mail::SendMail message(const std::string& server, std::string& token) {
  static int counter = 0;
  token = "Stopped-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  mail::SendMail m;
  m.smtpServer = server;
  m.from = "Monitor <monitor@brennix.test>";
  m.subject = token;
  m.message = "example.exe stopped.\n.dot line\r\nCaf\xe9\rlast";
  m.recipients = " admin@x.test ; ;ops@y.test ";
  m.timeouts = {3s, 3s, 8s};
  return m;
}

// The test CA in the current user's trusted root store for the life of a test.
struct TrustedTestCa {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "ROOT");
  PCCERT_CONTEXT added = nullptr;
  TrustedTestCa() {
    const std::string der = readFile(kDir + "/ca.der");
    CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                     static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added);
  }
  ~TrustedTestCa() {
    if (added) CertDeleteCertificateFromStore(added);
    CertCloseStore(store, 0);
  }
};

TEST(SendMail, DeliversToEveryRecipientWithHeadersAndDoubledDots) {
  for (const char* mode : {"plain", "noehlo"}) {
    std::string token;
    mail::SendMail m = message(server(mode), token);
    const Outcome o = send(m);
    EXPECT_EQ(o.successes, 1) << mode << o.why();
    EXPECT_TRUE(o.failures.empty());
    EXPECT_GT(o.statuses, 0);
    const auto got = received(token);
    ASSERT_EQ(got.size(), 1u) << mode;
    for (const char* part : {"from: monitor@brennix.test\nrcpt: admin@x.test\nrcpt: ops@y.test\nauth: -\ntls: no\n",
                             "From: Monitor <monitor@brennix.test>\r\n", "To: admin@x.test, ops@y.test\r\n",
                             "Message-ID: <", "Date: ", "Content-Type: text/plain; charset=windows-1252\r\n",
                             "\r\n\r\nexample.exe stopped.\r\n.dot line\r\nCaf\xe9\r\nlast\r\n"})
      EXPECT_NE(got[0].find(part), std::string::npos) << mode << ": " << part << "\n" << got[0];
  }
  std::string token;  // a line longer than SMTP allows goes in quoted-printable
  mail::SendMail m = message(server("plain"), token);
  m.message = std::string(3000, 'x');
  EXPECT_EQ(send(m).successes, 1);
  EXPECT_EQ(received(token).size(), 1u);
}

TEST(SendMail, LogsInAndStartsTlsTrustingOnlyCertificatesForThisHostFromTrustedAuthorities) {
  TrustedTestCa ca;
  ASSERT_TRUE(ca.added);
  struct Case {
    const char *mode, *password;
    const char* outcome;  // the server's record of a delivery, or a word of the failure
  };
  const Case cases[] = {{"auth", "s3cret pass", "auth: brennix\ntls: no\n"},  // no STARTTLS offered: sent as asked
                        {"authlogin", "s3cret pass", "auth: brennix\ntls: no\n"},
                        {"tls", "s3cret pass", "auth: brennix\ntls: yes\n"},
                        {"auth", "wrong", "535"},
                        {"authlogin", "wrong", "535"},
                        {"plain", "s3cret pass", "offers no login"},
                        {"untrusted", "s3cret pass", "not trusted"},
                        {"othername", "s3cret pass", "another name"}};
  for (const Case& c : cases) {
    std::string token;
    mail::SendMail m = message(server(c.mode, "localhost"), token);
    m.useAuthentication = true;
    m.userName = "brennix";
    m.password = c.password;
    const Outcome o = send(m);
    const auto got = received(token);
    const bool delivered = std::string(c.outcome).rfind("auth:", 0) == 0;
    ASSERT_EQ(got.size(), delivered ? 1u : 0u) << c.mode << " " << o.why();
    EXPECT_TRUE(delivered ? got[0].find(c.outcome) != std::string::npos : o.failedWith(c.outcome))
        << c.mode << " " << o.why() << (delivered ? got[0] : "");
    EXPECT_EQ(o.why().find(c.password), std::string::npos) << "the password is not shown";
  }
}

TEST(SendMail, FaultyServersFailWithinTheTimeOut) {
  const std::pair<std::string, const char*> cases[] = {{server("closed"), "connect"},
                                                        {server("silent"), "in time"},
                                                        {server("garbage"), "not SMTP"},
                                                        {server("longline"), "64 KB"}};
  for (const auto& [address, failure] : cases) {
    std::string token;
    mail::SendMail m = message(address, token);
    m.timeouts = {1500ms, 1500ms, 4s};
    const Outcome o = send(m);
    EXPECT_TRUE(o.failedWith(failure)) << address << " " << o.why();
    EXPECT_EQ(o.successes, 0);
    EXPECT_LT(o.seconds, 4.5) << address;
  }
  const mail::Timeouts product;
  EXPECT_LE(product.total + 10s, 60s) << "a send ends within a minute, the name lookup's margin included";
}

TEST(SendMail, RefusesALineBreakInTheSubjectBeforeConnecting) {
  std::string token;
  mail::SendMail m = message(server("plain"), token);
  m.subject = "Hello\r\nBcc: evil@z.test";
  m.message += token;
  const Outcome o = send(m);
  EXPECT_TRUE(o.failedWith("line break"));
  EXPECT_EQ(o.statuses, 0) << "no connection was made";
  EXPECT_EQ(received(token).size(), 0u);
}

int ticks = 0;
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  if (++ticks == 3) PostQuitMessage(7);
}

TEST(SendMail, KeepsWindowEventsFlowingAndTheQuitRequestForTheMainLoop) {
  std::string token;
  mail::SendMail m = message(server("silent"), token);
  m.timeouts = {1s, 1s, 2s};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, tick);
  const Outcome o = send(m);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(o.failedWith("in time"));
  EXPECT_EQ(ticks, 3) << "timer ticks ran during the send, none after the quit request";
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
