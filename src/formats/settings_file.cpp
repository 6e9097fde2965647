#include "formats/settings_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "base/line_reader.h"
#include "base/text.h"
#include "base/text_file.h"

namespace formats {
namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos; start = at + from.size())
    out.append(text.substr(start, at - start)).append(to);
  out.append(text.substr(start));
  return out;
}

}  // namespace

std::string Slot::asText() const {
  if (auto* n = std::get_if<long>(&value_)) return std::to_string(*n);
  if (auto* t = std::get_if<std::string>(&value_)) return *t;
  return {};
}

std::optional<long> Slot::asNumber() const {
  if (auto* n = std::get_if<long>(&value_)) return *n;
  if (auto* t = std::get_if<std::string>(&value_)) {
    if (!base::isNumber(*t)) return std::nullopt;
    return std::lround(base::leadingNumber(*t));
  }
  return 0;
}

std::string Slot::fileLine() const {
  if (auto* n = std::get_if<long>(&value_)) {
    // A text printer writes a blank where a positive number's sign would
    // stand, and one blank after every number.
    return (*n < 0 ? "" : " ") + std::to_string(*n) + " ";
  }
  return asText();
}

std::string settingsFilePath(std::string_view folder) {
  std::string path(folder);
  return path.append("\\").append(kSettingsFileName);
}

// The fields in slot order.
constexpr Slot Settings::*kSlotFields[kSettingsSlots] = {
    &Settings::restart,           &Settings::restartSeconds, &Settings::log,           &Settings::sendEmail,
    &Settings::emailAddresses,    &Settings::repeatEmail,    &Settings::repeatMinutes, &Settings::playSound,
    &Settings::soundFile,         &Settings::fromAddress,    &Settings::smtpServer,    &Settings::smtpPort,
    &Settings::useAuthentication, &Settings::userName,       &Settings::password,      &Settings::subject,
    &Settings::message,           &Settings::unused1,        &Settings::unused2};

Settings Settings::fromSlots(const SettingsTable& slots) {
  Settings settings;
  for (std::size_t i = 0; i < kSettingsSlots; ++i) settings.*kSlotFields[i] = slots[i];
  return settings;
}

SettingsTable Settings::toSlots() const {
  SettingsTable slots;
  for (std::size_t i = 0; i < kSettingsSlots; ++i) slots[i] = this->*kSlotFields[i];
  return slots;
}

Settings readSettings(const std::string& file) {
  auto f = base::openFile(file, "rb");
  return readSettingsText(base::readAll(f.get()));
}

Settings readSettingsText(std::string_view bytes) {
  SettingsTable table;
  std::size_t count = 0;
  base::forEachLine(bytes, [&](std::string_view line) {
    if (count < kSettingsSlots) table[count++] = Slot::text(std::string(line));
  });
  return Settings::fromSlots(table);
}

void writeSettings(const std::string& file, const Settings& settings) {
  auto f = base::openFile(file, "wb");
  std::string bytes;
  for (const auto& slot : settings.toSlots()) bytes.append(slot.fileLine()).append("\r\n");
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() || std::fflush(f.get()) != 0)
    base::throwFileError(file);
}

void createSettingsFile(const std::string& file) {
  auto f = base::openFile(file, "wb");
  errno = 0;
  if (std::fwrite(" \r\n", 1, 3, f.get()) != 3 || std::fflush(f.get()) != 0) base::throwFileError(file);
}

std::string encodeBody(std::string_view body) { return replaceAll(body, "\r\n", "%20"); }
std::string decodeBody(std::string_view stored) { return replaceAll(stored, "%20", "\r\n"); }

std::string fillMessage(std::string_view stored, std::string_view time, std::string_view process) {
  return replaceAll(replaceAll(decodeBody(stored), "%time%", time), "%process%", process);
}

}  // namespace formats
