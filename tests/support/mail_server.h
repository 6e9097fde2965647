#pragma once
// The SMTP servers that CTest starts on 127.0.0.1 for the mail tests
// (mail/smtp_server.py): one port per behaviour, and what they received.
#include <string>
#include <vector>

namespace support {

inline constexpr char kMailUser[] = "brennix";
inline constexpr char kMailPassword[] = "s3cret pass";

// The servers' folder, as the test programs see it.
std::string mailServerFolder();
// "host:port" of the server with this behaviour ("plain", "auth", "tls",
// "silent", ...); "closed" is a port that nobody listens on.
std::string mailServer(const std::string& mode, const std::string& host = "127.0.0.1");
// The messages received whose text holds `token`: the envelope, the login
// and TLS lines, a blank line, the message as it came.
std::vector<std::string> receivedMail(const std::string& token);

std::string readWholeFile(const std::string& path);

}  // namespace support
