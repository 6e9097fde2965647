#include "control/service_tool.h"

#include "base/text.h"

namespace control {

const char kServiceToolUsage[] =
    "nssm.exe - Brennix Monitor service installer\n"
    "\n"
    "Usage:\n"
    "  nssm.exe install NAME PROGRAM   create the service NAME, started with the\n"
    "                                  system, that runs PROGRAM\n"
    "  nssm.exe remove NAME confirm    delete the service NAME\n";

ServiceToolCommand parseServiceToolArguments(const std::vector<std::string>& arguments) {
  ServiceToolCommand command;
  if (arguments.size() != 3 || arguments[1].empty()) return command;
  const auto& verb = arguments[0];
  if (base::equalsIgnoringCase(verb, "install") && !arguments[2].empty()) {
    command = {ServiceToolCommand::Kind::Install, arguments[1], arguments[2]};
  } else if (base::equalsIgnoringCase(verb, "remove") && base::equalsIgnoringCase(arguments[2], "confirm")) {
    command = {ServiceToolCommand::Kind::Remove, arguments[1], {}};
  }
  return command;
}

std::string serviceBinaryPath(std::string_view program) {
  if (program.find_first_of(" \t") == std::string_view::npos) return std::string(program);
  return "\"" + std::string(program) + "\"";
}

}  // namespace control
