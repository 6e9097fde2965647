#include "engine/wmi_find_process.h"

#include "base/com.h"
#include "base/text.h"

using Microsoft::WRL::ComPtr;

namespace engine {

namespace {

ComPtr<ISWbemServices> connect() {
  ComPtr<ISWbemServices> services;
  base::check(CoGetObject(L"winmgmts://", nullptr, IID_ISWbemServices,
                          reinterpret_cast<void**>(services.GetAddressOf())),
              "winmgmts://");
  return services;
}

bool findProcess(ISWbemServices* services, const std::string& wanted) {
  ComPtr<ISWbemObjectSet> processes;
  base::check(services->InstancesOf(base::Bstr(L"win32_process").get(), wbemFlagReturnImmediately, nullptr,
                                    processes.GetAddressOf()),
              "InstancesOf win32_process");
  ComPtr<IUnknown> enumerator;
  base::check(processes->get__NewEnum(enumerator.GetAddressOf()), "process enumeration");
  ComPtr<IEnumVARIANT> walk;
  base::check(enumerator.As(&walk), "process enumeration");

  const base::Bstr nameProperty(L"Name");
  for (;;) {
    base::Variant item;
    ULONG fetched = 0;
    HRESULT hr = walk->Next(1, item.put(), &fetched);
    base::check(hr, "process enumeration");
    if (hr != S_OK || fetched == 0) return false;
    if (item.get().vt != VT_DISPATCH || !item.get().pdispVal) continue;

    ComPtr<ISWbemObject> process;
    base::check(item.get().pdispVal->QueryInterface(IID_ISWbemObject,
                                                    reinterpret_cast<void**>(process.GetAddressOf())),
                "process object");
    ComPtr<ISWbemPropertySet> properties;
    base::check(process->get_Properties_(properties.GetAddressOf()), "process properties");
    ComPtr<ISWbemProperty> name;
    base::check(properties->Item(nameProperty.get(), 0, name.GetAddressOf()), "process Name");
    base::Variant value;
    base::check(name->get_Value(value.put()), "process Name");
    if (value.get().vt != VT_BSTR) continue;
    const BSTR text = value.get().bstrVal;
    if (base::upperCase(base::narrow(text, static_cast<int>(SysStringLen(text)))) == wanted) return true;
  }
}

}  // namespace

bool IsProcessRunning(const std::string& processName) {
  base::ComApartment apartment;
  return ProcessFinder().IsProcessRunning(processName);
}

bool ProcessFinder::IsProcessRunning(const std::string& processName) {
  const std::string wanted = base::upperCase(processName);
  if (services_) {
    try {
      return findProcess(services_.Get(), wanted);
    } catch (const base::ComError&) {
      services_.Reset();  // a connection gone stale: connect once more
    }
  }
  services_ = connect();
  return findProcess(services_.Get(), wanted);
}

}  // namespace engine
