// nssm.exe: the Brennix Monitor service installer. Creates and deletes the
// engine service for the install and uninstall batch files; see
// control/service_tool.h for the command lines it takes. With the service
// BrennixMonitor goes the engines' event source in the Application log, whose
// message file is the service's program.
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "base/text.h"
#include "control/engine_programs.h"
#include "control/service_tool.h"
#include "win/error.h"
#include "win/event_log.h"
#include "win/unique_resource.h"

namespace {

constexpr int kUsageExit = 1;
constexpr int kFailureExit = 2;

// Prints what failed with the system's description of `error`.
int fail(const std::string& what, DWORD error) {
  std::fprintf(stderr, "nssm.exe: %s: %s (error %lu)\n", what.c_str(), win::describeError(error).c_str(),
               error);
  return kFailureExit;
}

// After a failure the Service Control Manager starts the service again:
// after 5 s, 10 s, then 60 s; a day without failure starts the count afresh.
// A failure is a crash and also an end reported with an error code. (Wine
// accepts both settings and keeps neither: reading them back fails there
// with ERROR_INVALID_LEVEL.)
bool setRecoveryActions(SC_HANDLE service) {
  SC_ACTION actions[] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 60000}};
  SERVICE_FAILURE_ACTIONSA failure{};
  failure.dwResetPeriod = 24 * 3600;
  failure.cActions = static_cast<DWORD>(std::size(actions));
  failure.lpsaActions = actions;
  if (!ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) return false;
  SERVICE_FAILURE_ACTIONS_FLAG onErrorCode{TRUE};
  ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onErrorCode);
  return true;
}

// Prints a failure after which the installation or removal stands.
void warn(const std::string& what, DWORD error) {
  std::fprintf(stderr, "nssm.exe: %s: %s (error %lu)\n", what.c_str(), win::describeError(error).c_str(),
               error);
}

bool isEngineService(const std::string& name) {
  return base::equalsIgnoringCase(name, control::kServiceName);
}

// The event source, with the full path of `program` as its message file.
void registerEvents(const std::string& program) {
  std::string full(MAX_PATH, '\0');
  const DWORD n = GetFullPathNameA(program.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(n > 0 && n < MAX_PATH ? n : 0);
  const std::string source(control::kEventSource);
  const DWORD error = full.empty() ? GetLastError() : win::registerEventSource(source, full);
  if (error != NO_ERROR) return warn("the event source \"" + source + "\" is not registered", error);
  std::printf("Event source \"%s\" registered: %s\n", source.c_str(), full.c_str());
}

// An own-process service, started with the system, whose key name and
// display name are both `name`, restarted after a failure (recovery actions
// that restart need SERVICE_START on the handle that sets them).
int installService(const std::string& name, const std::string& program) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return fail("cannot open the Service Control Manager", GetLastError());
  const std::string binaryPath = control::serviceBinaryPath(program);
  win::unique_schandle created(CreateServiceA(
      manager.get(), name.c_str(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_CHANGE_CONFIG | SERVICE_START,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr,
      nullptr, nullptr, nullptr, nullptr));
  if (!created) return fail("cannot install the service \"" + name + "\"", GetLastError());
  std::printf("Service \"%s\" installed: %s\n", name.c_str(), binaryPath.c_str());
  // The service works without them: the installation stands.
  if (!setRecoveryActions(created.get()))
    warn("the service will not be restarted after a failure", GetLastError());
  if (isEngineService(name)) registerEvents(program);
  return 0;
}

// Deletes the service; a running one goes when it stops.
int removeService(const std::string& name) {
  win::unique_schandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return fail("cannot open the Service Control Manager", GetLastError());
  win::unique_schandle existing(OpenServiceA(manager.get(), name.c_str(), DELETE));
  if (!existing || !DeleteService(existing.get()))
    return fail("cannot remove the service \"" + name + "\"", GetLastError());
  std::printf("Service \"%s\" removed.\n", name.c_str());
  if (isEngineService(name)) {
    const DWORD error = win::unregisterEventSource(std::string(control::kEventSource));
    if (error != NO_ERROR) warn("the event source stays registered", error);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto command = control::parseServiceToolArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.kind) {
    case control::ServiceToolCommand::Kind::Install:
      return installService(command.name, command.program);
    case control::ServiceToolCommand::Kind::Remove:
      return removeService(command.name);
    case control::ServiceToolCommand::Kind::Usage:
      break;
  }
  std::fputs(control::kServiceToolUsage, stderr);
  return kUsageExit;
}
