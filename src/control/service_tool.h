#pragma once
// What the service installer nssm.exe is asked to do. It understands the two
// command lines of the install and uninstall batch files and nothing else:
//   nssm.exe install NAME PROGRAM
//   nssm.exe remove NAME confirm
#include <string>
#include <string_view>
#include <vector>

namespace control {

struct ServiceToolCommand {
  enum class Kind { Usage, Install, Remove };
  Kind kind = Kind::Usage;
  std::string name;     // key name, also the display name
  std::string program;  // the service's program (Install only)
};

// Reads the arguments after the program's own name, as the C runtime has
// split them. The words "install", "remove" and "confirm" may be in any
// letter case; a missing, empty or extra argument gives Kind::Usage.
ServiceToolCommand parseServiceToolArguments(const std::vector<std::string>& arguments);

// The binary path the service is created with: the program, in double quotes
// when it holds a blank or a tab, so that the system cannot start
// "C:\Program.exe" for "C:\Program Files\...".
std::string serviceBinaryPath(std::string_view program);

// The help text printed for any other command line.
extern const char kServiceToolUsage[];

}  // namespace control
