#include "support/mail_server.h"

#include <windows.h>
#include <wincrypt.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace support {
namespace {

std::string base64Decoded(const std::string& text) {
  std::string out(text.size(), '\0');
  DWORD size = static_cast<DWORD>(out.size());
  CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64, reinterpret_cast<BYTE*>(out.data()), &size,
                       nullptr, nullptr);
  return out.substr(0, size);
}

// Postfix writes its mailboxes and its log a moment after the session.
template <typename Read, typename Done>
auto waitFor(Read read, Done done) {
  auto got = read();
  for (const ULONGLONG end = GetTickCount64() + 10000; !done(got) && GetTickCount64() < end; got = read())
    Sleep(50);
  return got;
}

}  // namespace

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

std::vector<std::string> receivedMail(const std::string& token, std::size_t count) {
  const auto read = [&] {
    std::vector<std::string> out;
    std::error_code missing;  // Postfix's mailbox comes with its first message
    for (const std::string folder : {"", "/postfix/mail/all/new"})
      for (const auto& file : std::filesystem::directory_iterator(mailServerFolder() + folder, missing))
        if (!folder.empty() || file.path().filename().string().starts_with("msg-"))
          if (std::string text = readWholeFile(file.path().string()); text.find(token) != std::string::npos)
            out.push_back(text);
    return out;
  };
  return waitFor(read, [&](const std::vector<std::string>& got) { return got.size() >= count; });
}

std::string postfixLog(std::size_t from, const std::string& awaited) {
  return waitFor([&] { return readWholeFile(MAIL_SERVER_DIR "/postfix/maillog").substr(from); },
                 [&](const std::string& log) { return log.find(awaited) != std::string::npos; });
}

Header readHeader(const std::string& message, const std::string& name, unsigned codePage) {
  // Its first line and those after it that start with a blank.
  std::smatch found;
  const std::string text = "\n" + message;
  if (!std::regex_search(text, found, std::regex("\n" + name + ": ((.*\r?\n[ \t])*.*)")))
    return {"", "", false};
  Header h{"", "", !std::regex_search(found.str(), std::regex(".{79}"))};
  // Blanks between encoded words are no part of the text.
  const std::string value = std::regex_replace(std::regex_replace(found.str(1), std::regex("\r?\n"), ""),
                                               std::regex(R"((\?=)[ \t]+(?==\?))"), "$1");
  static const std::regex word(R"(=\?([^?]+)\?B\?([^?]*)\?=)");
  std::size_t last = 0;
  for (std::sregex_iterator i(value.begin(), value.end(), word), e; i != e; ++i) {
    const std::string bytes = base64Decoded((*i)[2]);
    h.wellFormed &= i->length() <= 75 && MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                                             static_cast<int>(bytes.size()), nullptr, 0) > 0;
    h.charset = (*i)[1];
    h.text += value.substr(last, i->position() - last) + bytes;
    last = i->position() + i->length();
  }
  h.text += value.substr(last);
  return h;
}

}  // namespace support
