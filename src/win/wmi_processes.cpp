#include "win/wmi_processes.h"

#include "base/error.h"
#include "base/text.h"
#include "win/com.h"

using Microsoft::WRL::ComPtr;

namespace win {

namespace {

// Calls `visit(name)` with the upper-cased image name of each running
// process, in WMI's order, until it returns true; returns whether one did.
template <class Visit>
bool walkProcessNames(ISWbemServices* services, Visit visit) {
  ComPtr<ISWbemObjectSet> processes;
  win::check(services->InstancesOf(win::Bstr(L"win32_process").get(), wbemFlagReturnImmediately, nullptr,
                                   processes.GetAddressOf()),
             "InstancesOf win32_process");
  ComPtr<IUnknown> enumerator;
  win::check(processes->get__NewEnum(enumerator.GetAddressOf()), "process enumeration");
  ComPtr<IEnumVARIANT> walk;
  win::check(enumerator.As(&walk), "process enumeration");

  const win::Bstr nameProperty(L"Name");
  for (;;) {
    win::Variant item;
    ULONG fetched = 0;
    HRESULT hr = walk->Next(1, item.put(), &fetched);
    win::check(hr, "process enumeration");
    if (hr != S_OK || fetched == 0) return false;
    if (item.get().vt != VT_DISPATCH || !item.get().pdispVal) continue;

    ComPtr<ISWbemObject> process;
    win::check(item.get().pdispVal->QueryInterface(IID_ISWbemObject,
                                                   reinterpret_cast<void**>(process.GetAddressOf())),
               "process object");
    ComPtr<ISWbemPropertySet> properties;
    win::check(process->get_Properties_(properties.GetAddressOf()), "process properties");
    ComPtr<ISWbemProperty> name;
    win::check(properties->Item(nameProperty.get(), 0, name.GetAddressOf()), "process Name");
    win::Variant value;
    win::check(name->get_Value(value.put()), "process Name");
    if (value.get().vt != VT_BSTR) continue;
    BSTR text = value.get().bstrVal;
    if (visit(base::upperCase(win::narrow(text, static_cast<int>(SysStringLen(text)))))) return true;
  }
}

bool findProcess(ISWbemServices* services, const std::string& wanted) {
  return walkProcessNames(services, [&](const std::string& name) { return name == wanted; });
}

RunningNames allNames(ISWbemServices* services) {
  RunningNames names;
  walkProcessNames(services, [&](std::string name) {
    names.insert(std::move(name));
    return false;
  });
  return names;
}

}  // namespace

ComPtr<ISWbemServices> ProcessFinder::connect() {
  ComPtr<ISWbemServices> services;
  win::check(CoGetObject(L"winmgmts://", nullptr, IID_ISWbemServices,
                         reinterpret_cast<void**>(services.GetAddressOf())),
             "winmgmts://");
  return services;
}

bool IsProcessRunning(const std::string& processName) {
  win::ComApartment apartment;
  return ProcessFinder().IsProcessRunning(processName);
}

bool ProcessFinder::IsProcessRunning(const std::string& processName) {
  const std::string wanted = base::upperCase(processName);
  return withServices([&](ISWbemServices* services) { return findProcess(services, wanted); });
}

void ProcessFinder::connectAhead() {
  if (services_) return;
  try {
    services_ = connect();
  } catch (const base::Error&) {
  }
}

RunningNames ProcessFinder::runningNames() {
  return withServices([](ISWbemServices* services) { return allNames(services); });
}

}  // namespace win
