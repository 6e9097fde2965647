#include "win/registry.h"

#include "win/unique_resource.h"

namespace win {

std::string RegistryValue::text() const {
  return isNumber() ? std::to_string(std::get<std::int32_t>(value_)) : std::get<std::string>(value_);
}

RegistryValue readRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName) {
  win::unique_hkey key;
  if (RegOpenKeyA(rootKey, keyPath.c_str(), key.put()) != ERROR_SUCCESS || !key) return {};

  DWORD type = 0;
  DWORD size = 0;
  RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);

  if (type == REG_SZ) {
    std::string buffer(size, ' ');
    DWORD read = size;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &read) != ERROR_SUCCESS)
      return {};
    auto nul = buffer.find('\0');
    if (nul == std::string::npos) return RegistryValue(std::move(buffer));
    // The position of the NUL is kept in 16 bits: longer texts are not read.
    if (nul + 1 > 32767) return {};
    buffer.resize(nul);
    return RegistryValue(std::move(buffer));
  }
  if (type == REG_DWORD) {
    DWORD number = 0;
    DWORD read = sizeof number;
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                         &read) != ERROR_SUCCESS)
      return {};
    return RegistryValue(static_cast<std::int32_t>(number));
  }
  return {};
}

}  // namespace win
