// settings.ob on real files: the slots, the text-printer style of numbers,
// the line-break encoding of the message body, and what a save carries over.
#include <gtest/gtest.h>

#include "base/error.h"

#include "support/temp_folder.h"
#include "formats/settings_file.h"

namespace {

using formats::Slot;
using formats::SettingsTable;

SettingsTable read(const support::TempFolder& folder, const std::string& bytes) {
  folder.write("settings.ob", bytes);
  SettingsTable table;
  table[5] = Slot::text("stale");
  table = formats::readSettings(folder.file("settings.ob")).toSlots();
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
  support::TempFolder folder;
  SettingsTable table = read(folder, " \r\n");
  EXPECT_EQ(table[0], Slot::text(" "));
  for (std::size_t i = 1; i < formats::kSettingsSlots; ++i) EXPECT_TRUE(table[i].empty()) << i;

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
  support::TempFolder folder;
  SettingsTable table;
  table[0] = Slot::number(1);
  table[1] = Slot::text("100");
  table[2] = Slot::number(0);
  table[16] = Slot::text(formats::encodeBody("a\r\nb"));
  formats::writeSettings(folder.file("settings.ob"), formats::Settings::fromSlots(table));
  EXPECT_EQ(folder.read("settings.ob"),
            " 1 \r\n100\r\n 0 \r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\na%20b\r\n\r\n\r\n");

  formats::createSettingsFile(folder.file("first.ob"));
  EXPECT_EQ(folder.read("first.ob"), " \r\n");
}

TEST(SettingsFile, TheUnusedLastTwoLinesSurviveEverySave) {
  support::TempFolder folder;
  std::string bytes;
  for (int i = 1; i <= 17; ++i) bytes += "\r\n";
  bytes += "eighteen\r\n nineteen \r\n";
  SettingsTable table = read(folder, bytes);
  for (int save = 0; save < 3; ++save) {
    table[0] = Slot::number(save % 2);
    formats::writeSettings(folder.file("settings.ob"), formats::Settings::fromSlots(table));
    table = formats::readSettings(folder.file("settings.ob")).toSlots();
  }
  EXPECT_EQ(table[17], Slot::text("eighteen"));
  EXPECT_EQ(table[18], Slot::text(" nineteen "));
}

TEST(SettingsFile, TheBodyKeepsItsLineBreaksAsPercentTwenty) {
  EXPECT_EQ(formats::encodeBody("a\r\nb\r\n"), "a%20b%20");
  EXPECT_EQ(formats::encodeBody("lone\nLF and lone\rCR"), "lone\nLF and lone\rCR");
  EXPECT_EQ(formats::decodeBody("a%20b"), "a\r\nb");
  // A body that held "%20" itself comes back with a line break there.
  EXPECT_EQ(formats::decodeBody(formats::encodeBody("50%20 off")), "50\r\n off");
  EXPECT_EQ(formats::decodeBody("%2%20"), "%2\r\n");
}

TEST(SettingsFile, AFileThatCannotBeWrittenThrows) {
  support::TempFolder folder;
  SettingsTable table;
  EXPECT_THROW(formats::writeSettings(folder.file("missing folder\\settings.ob"), formats::Settings::fromSlots(table)), base::Error);
  EXPECT_THROW(formats::createSettingsFile(folder.file("missing folder\\settings.ob")), base::Error);
}

}  // namespace
