#include "support/mail_server.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace support {

std::string mailServerFolder() { return MAIL_SERVER_DIR; }

std::string readWholeFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::string mailServer(const std::string& mode, const std::string& host) {
  std::istringstream lines(readWholeFile(mailServerFolder() + "/ports.txt"));
  for (std::string name, port; lines >> name >> port;)
    if (name == mode) return host + ":" += port;
  throw std::out_of_range("no mail server " + mode);
}

std::vector<std::string> receivedMail(const std::string& token) {
  std::vector<std::string> out;
  for (const auto& file : std::filesystem::directory_iterator(mailServerFolder()))
    if (file.path().filename().string().starts_with("msg-"))
      if (std::string text = readWholeFile(file.path().string()); text.find(token) != std::string::npos)
        out.push_back(text);
  return out;
}

}  // namespace support
