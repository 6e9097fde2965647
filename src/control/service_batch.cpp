#include "control/service_batch.h"

#include <initializer_list>

#include "control/engine_programs.h"

namespace control {
namespace {

std::string batchLines(std::initializer_list<std::string> lines) {
  std::string bytes;
  for (const auto& line : lines) bytes += line + "\r\n";
  return bytes;
}

// "cd\" first: the second cd then works from any folder of the drive.
std::string changeToFolder(std::string_view folder) { return "cd \"" + batchLiteral(folder) + "\""; }

}  // namespace

std::string batchLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

std::string installServiceBatch(std::string_view folder) {
  return batchLines({"cls", "cd\\", changeToFolder(folder), control::serviceInstallLine(batchLiteral(folder)),
                     control::netStartCommand()});
}

std::string uninstallServiceBatch(std::string_view folder) {
  return batchLines(
      {"cls", "cd\\", changeToFolder(folder), control::netStopCommand(), control::serviceRemoveLine()});
}

}  // namespace control
