#pragma once
// The SMTP servers that CTest starts on 127.0.0.1 (mail/smtp_server.py) and what they received.
#include <string>
#include <vector>

namespace support {

inline constexpr char kMailUser[] = "brennix";
inline constexpr char kMailPassword[] = "s3cret pass";

// The servers' folder (ca.der, ports.txt, msg-*.txt) as the test programs see it.
std::string mailServerFolder();
// "host:port" of the server with this behaviour ("plain", "auth", "tls", "silent", ...); nobody listens on
// "closed".
std::string mailServer(const std::string& mode, const std::string& host = "127.0.0.1");
// The messages received whose text holds `token`: envelope, auth and tls lines, a blank line, the message.
std::vector<std::string> receivedMail(const std::string& token);
std::string readWholeFile(const std::string& path);

}  // namespace support
