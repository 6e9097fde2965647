#pragma once
// The SMTP servers that CTest starts on 127.0.0.1 (mail/smtp_server.py) and what they received.
#include <string>
#include <vector>

namespace support {

inline constexpr char kMailUser[] = "brennix";
inline constexpr char kMailPassword[] = "s3cret pass";

// The servers' folder (ca.der, ports.txt, msg-*.txt) as the test programs see it.
std::string mailServerFolder();
// "host:port" of the server with this behaviour: scripted ("plain", "auth", "silent", ...; nobody listens on
// "closed") or Postfix ("relay", "submission", "smtps").
std::string mailServer(const std::string& mode, const std::string& host = "127.0.0.1");
std::string readWholeFile(const std::string& path);
// The messages holding `token`, once there are `count` or 10 s have passed: as the scripted servers got them
// (envelope, auth and tls lines, a blank line, the message) or Postfix delivered them.
std::vector<std::string> receivedMail(const std::string& token, std::size_t count = 0);
// Postfix's log from byte `from` on, once it holds `awaited` or 10 s have passed.
std::string postfixLog(std::size_t from = 0, const std::string& awaited = {});

// A header as a reader sees it, encoded words decoded; well formed when no line passes 78 characters, no
// encoded word 75, and each word holds whole characters of `codePage`.
struct Header {
  std::string text, charset;
  bool wellFormed = true;
};
Header readHeader(const std::string& message, const std::string& name, unsigned codePage);

}  // namespace support
