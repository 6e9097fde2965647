// settings.ob on real files: the slots, the text-printer style of numbers,
// the line-break encoding of the message body, and what a save carries over.
#include <gtest/gtest.h>

#include <system_error>

#include "e2e/driver.h"
#include "settings/settings_file.h"

namespace {

using settings::Slot;
using settings::SettingsTable;

SettingsTable read(const e2e::TempFolder& folder, const std::string& bytes) {
  folder.write("settings.ob", bytes);
  SettingsTable table;
  table[5] = Slot::text("stale");
  settings::readSettings(folder.file("settings.ob"), table);
  return table;
}

TEST(SettingsSlot, ConvertsAsTheControlsNeed) {
  EXPECT_EQ(Slot().asText(), "");
  EXPECT_EQ(Slot().asNumber(), 0);
  EXPECT_EQ(Slot::text(" 1 ").asNumber(), 1) << "blanks around a number are ignored";
  EXPECT_EQ(Slot::text("1").asNumber(), 1);
  EXPECT_EQ(Slot::text(" ").asNumber(), std::nullopt) << "a blank is no number";
  EXPECT_EQ(Slot::text("abc").asNumber(), std::nullopt);
  EXPECT_EQ(Slot::text("1x").asNumber(), std::nullopt);
  EXPECT_EQ(Slot::number(2).asText(), "2");

  EXPECT_EQ(Slot::number(1).fileLine(), " 1 ");
  EXPECT_EQ(Slot::number(0).fileLine(), " 0 ");
  EXPECT_EQ(Slot::number(-3).fileLine(), "-3 ");
  EXPECT_EQ(Slot::text(" 1 ").fileLine(), " 1 ") << "text read from the file goes back as it was";
  EXPECT_EQ(Slot().fileLine(), "");
}

TEST(SettingsFile, ReadsNineteenLinesAtMostAndLeavesMissingOnesEmpty) {
  e2e::TempFolder folder;
  SettingsTable table = read(folder, " \r\n");
  EXPECT_EQ(table[0], Slot::text(" "));
  for (std::size_t i = 1; i < settings::kSlotCount; ++i) EXPECT_TRUE(table[i].empty()) << i;

  table = read(folder, "");
  for (const auto& slot : table) EXPECT_TRUE(slot.empty());

  std::string many;
  for (int i = 1; i <= 25; ++i) many += "line " + std::to_string(i) + "\r\n";
  table = read(folder, many);
  EXPECT_EQ(table[0], Slot::text("line 1"));
  EXPECT_EQ(table[18], Slot::text("line 19"));

  table = read(folder, " 1 \r\n100\r\n 0");  // the last line needs no ending
  EXPECT_EQ(table[2], Slot::text(" 0"));
  EXPECT_TRUE(table[3].empty());
}

TEST(SettingsFile, WritesAllNineteenLinesInTheTextPrinterStyle) {
  e2e::TempFolder folder;
  SettingsTable table;
  table[0] = Slot::number(1);
  table[1] = Slot::text("100");
  table[2] = Slot::number(0);
  table[16] = Slot::text(settings::encodeBody("a\r\nb"));
  settings::writeSettings(folder.file("settings.ob"), table);
  EXPECT_EQ(folder.read("settings.ob"),
            " 1 \r\n100\r\n 0 \r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\na%20b\r\n\r\n\r\n");

  settings::createSettingsFile(folder.file("first.ob"));
  EXPECT_EQ(folder.read("first.ob"), " \r\n");
}

TEST(SettingsFile, TheUnusedLastTwoLinesSurviveEverySave) {
  e2e::TempFolder folder;
  std::string bytes;
  for (int i = 1; i <= 17; ++i) bytes += "\r\n";
  bytes += "eighteen\r\n nineteen \r\n";
  SettingsTable table = read(folder, bytes);
  for (int save = 0; save < 3; ++save) {
    table[0] = Slot::number(save % 2);
    settings::writeSettings(folder.file("settings.ob"), table);
    settings::readSettings(folder.file("settings.ob"), table);
  }
  EXPECT_EQ(table[17], Slot::text("eighteen"));
  EXPECT_EQ(table[18], Slot::text(" nineteen "));
}

TEST(SettingsFile, TheBodyKeepsItsLineBreaksAsPercentTwenty) {
  EXPECT_EQ(settings::encodeBody("a\r\nb\r\n"), "a%20b%20");
  EXPECT_EQ(settings::encodeBody("lone\nLF and lone\rCR"), "lone\nLF and lone\rCR");
  EXPECT_EQ(settings::decodeBody("a%20b"), "a\r\nb");
  // A body that held "%20" itself comes back with a line break there.
  EXPECT_EQ(settings::decodeBody(settings::encodeBody("50%20 off")), "50\r\n off");
  EXPECT_EQ(settings::decodeBody("%2%20"), "%2\r\n");
}

TEST(SettingsFile, AFileThatCannotBeWrittenThrows) {
  e2e::TempFolder folder;
  SettingsTable table;
  EXPECT_THROW(settings::writeSettings(folder.file("missing folder\\settings.ob"), table), std::system_error);
  EXPECT_THROW(settings::createSettingsFile(folder.file("missing folder\\settings.ob")), std::system_error);
}

}  // namespace
