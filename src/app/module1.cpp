#include "app/module1.h"

#include "app/form1.h"
#include "app/sendmessgapi.h"
#include "app/titles.h"
#include "base/com.h"
#include "base/message_box.h"

namespace app {

SingleInstance acquireSingleInstance() {
  // A name of this program's own, in the session's namespace: only a running
  // copy of the utility creates it, whatever folder it was started from.
  static constexpr char kName[] = "Local\\BrennixConfig.SingleInstance.{5b0d7c2e-3f51-4a8e-9d6a-8f2e1c4b7a90}";
  SingleInstance result;
  HANDLE mark = CreateMutexA(nullptr, FALSE, kName);
  const DWORD error = GetLastError();
  result.mark.reset(mark);
  // When the mark cannot be made at all, the copy runs rather than refusing
  // to start.
  result.anotherRunning = mark && error == ERROR_ALREADY_EXISTS;
  return result;
}

int startProcedure(HINSTANCE instance, const std::string& arguments) {
  SingleInstance instanceMark = acquireSingleInstance();
  if (instanceMark.anotherRunning) {
    base::showNotice(nullptr, kAlreadyRunningMessage);
    restorePrevInstance(kMainTitle);
    return 0;
  }
  base::ComApartment com;  // WMI and the file dialogs run in it
  Form1 form(instance, arguments);
  if (!form.show()) return 1;
  return form.run();
}

}  // namespace app
