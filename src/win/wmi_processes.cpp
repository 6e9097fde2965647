#include "win/wmi_processes.h"

#include "base/error.h"
#include "base/text.h"
#include "win/com.h"

using Microsoft::WRL::ComPtr;

namespace win {

namespace {

ComPtr<ISWbemServices> connect() {
  ComPtr<ISWbemServices> services;
  win::check(CoGetObject(L"winmgmts://", nullptr, IID_ISWbemServices,
                          reinterpret_cast<void**>(services.GetAddressOf())),
              "winmgmts://");
  return services;
}

bool findProcess(ISWbemServices* services, const std::string& wanted) {
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
    const BSTR text = value.get().bstrVal;
    if (base::upperCase(win::narrow(text, static_cast<int>(SysStringLen(text)))) == wanted) return true;
  }
}

}  // namespace

bool IsProcessRunning(const std::string& processName) {
  win::ComApartment apartment;
  return ProcessFinder().IsProcessRunning(processName);
}

bool ProcessFinder::IsProcessRunning(const std::string& processName) {
  const std::string wanted = base::upperCase(processName);
  if (services_) {
    try {
      return findProcess(services_.Get(), wanted);
    } catch (const base::Error&) {
      services_.Reset();  // a connection gone stale: connect once more
    }
  }
  services_ = connect();
  return findProcess(services_.Get(), wanted);
}

}  // namespace win
