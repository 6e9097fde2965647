#include "support/mail_server.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace support {

std::string mailServerFolder() { return MAIL_SERVER_DIR; }

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string mailServer(const std::string& mode, const std::string& host) {
  static const std::map<std::string, std::string> ports = [] {
    std::map<std::string, std::string> out;
    std::istringstream lines(readWholeFile(mailServerFolder() + "/ports.txt"));
    for (std::string name, port; lines >> name >> port;) out[name] = port;
    return out;
  }();
  return host + ":" + ports.at(mode);
}

std::vector<std::string> receivedMail(const std::string& token) {
  std::vector<std::string> out;
  for (const auto& file : std::filesystem::directory_iterator(mailServerFolder())) {
    if (file.path().filename().string().rfind("msg-", 0) != 0) continue;
    if (std::string text = readWholeFile(file.path().string()); text.find(token) != std::string::npos)
      out.push_back(text);
  }
  return out;
}

}  // namespace support
