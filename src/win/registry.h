#pragma once
// Reads one registry value through the ANSI registry functions.
#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>

namespace win {

// A value as read: its text for a string value, its number for a 32-bit
// number value, and the empty text for everything else, failures included.
class RegistryValue {
 public:
  RegistryValue() = default;
  explicit RegistryValue(std::string text) : value_(std::move(text)) {}
  explicit RegistryValue(std::int32_t number) : value_(number) {}

  bool isNumber() const { return std::holds_alternative<std::int32_t>(value_); }
  std::int32_t number() const { return isNumber() ? std::get<std::int32_t>(value_) : 0; }
  // The text form: a string value as it is, a number in decimal.
  std::string text() const;
  // True for the empty text, which is also what every failure gives.
  bool empty() const { return !isNumber() && std::get<std::string>(value_).empty(); }

 private:
  std::variant<std::string, std::int32_t> value_;
};

// REG_SZ: the text up to its first NUL (texts of up to 32766 characters
// before it; a longer one gives the empty text). REG_DWORD: the number,
// signed. Any other type, a missing key or value, or a failed read: the
// empty text.
RegistryValue readRegistryValue(HKEY rootKey, const std::string& keyPath, const std::string& valueName);

}  // namespace win
