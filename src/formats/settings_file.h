#pragma once
// settings.ob: the stop actions and the e-mail settings, one value a line,
// 19 lines. In memory each line is a slot that is empty, a text, or a whole
// number. Numbers are written as a text printer writes them: " 1 ".
//
// Creating and writing failures throw base::Error; read errors after
// the file has been opened are passed over.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace formats {

inline constexpr std::size_t kSettingsSlots = 19;
inline constexpr std::string_view kSettingsFileName = "settings.ob";

// The folder followed by "\settings.ob".
std::string settingsFilePath(std::string_view folder);

class Slot {
 public:
  Slot() = default;
  static Slot text(std::string value) { return Slot(Value(std::move(value))); }
  static Slot number(long value) { return Slot(Value(value)); }

  bool empty() const { return std::holds_alternative<std::monostate>(value_); }
  bool isNumber() const { return std::holds_alternative<long>(value_); }

  // The slot as text: an empty slot is the empty text, a number its digits.
  std::string asText() const;
  // The slot as a whole number: an empty slot is 0, a text counts when it
  // reads as a number (blanks around it ignored, rounded to a whole number);
  // any other text has no numeric value.
  std::optional<long> asNumber() const;
  // The line the slot is written as.
  std::string fileLine() const;

  bool operator==(const Slot&) const = default;

 private:
  using Value = std::variant<std::monostate, std::string, long>;
  explicit Slot(Value v) : value_(std::move(v)) {}
  Value value_;
};

using SettingsTable = std::array<Slot, kSettingsSlots>;

// The settings by meaning. Each field keeps its slot as it stands: a line
// read from the file is written back exactly as read; a value set from a
// check box is a number.
struct Settings {
  // The stop actions of the main window's panel: lines 1 to 9.
  Slot restart;
  Slot restartSeconds;
  Slot log;
  Slot sendEmail;
  Slot emailAddresses;  // separated by ";"
  Slot repeatEmail;
  Slot repeatMinutes;
  Slot playSound;
  Slot soundFile;
  // The e-mail settings: lines 10 to 17.
  Slot fromAddress;
  Slot smtpServer;
  Slot smtpPort;
  Slot useAuthentication;
  Slot userName;
  Slot password;
  Slot subject;
  Slot message;  // its line breaks stored as "%20" (encodeBody)
  // Lines 18 and 19: used by nothing, carried through every save.
  Slot unused1;
  Slot unused2;

  static Settings fromSlots(const SettingsTable& slots);
  SettingsTable toSlots() const;
  bool operator==(const Settings&) const = default;
};

// The settings from the file: line k into slot k, lines after the 19th
// dropped, missing lines left empty.
Settings readSettings(const std::string& file);
// The same from the file's bytes, as read once by whoever parses them.
Settings readSettingsText(std::string_view bytes);
// The file anew: all 19 slots, one line each, CR LF after each.
void writeSettings(const std::string& file, const Settings& settings);
// The file a first start creates: one line holding a blank.
void createSettingsFile(const std::string& file);

// The message body is kept on one line: each CR LF becomes "%20", and back.
std::string encodeBody(std::string_view body);
std::string decodeBody(std::string_view stored);

// The text of a stop e-mail from the stored message: its line breaks back,
// then every "%time%" replaced by `time` and every "%process%" by `process`
// (letter case significant; a replacement is not searched again).
std::string fillMessage(std::string_view stored, std::string_view time, std::string_view process);

}  // namespace formats
