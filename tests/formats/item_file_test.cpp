// processes.ob on real files: line endings, the 36-slot table, the blank first
// line, deletion renumbering, the duplicate test, and files no one should
// write but someone will.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include "base/error.h"

#include "win/files.h"
#include "support/temp_folder.h"
#include "formats/item_file.h"
#include "app/item_store.h"
#include "base/line_reader.h"

namespace {

using formats::ItemTable;

const std::string kExample =
    " \r\nexample.exe|C:\\Tools\\example.exe\r\nPrint Spooler|[Windows Service]\r\n";

std::vector<std::string> linesOf(const support::TempFolder& folder, const std::string& bytes) {
  folder.write("lines.txt", bytes);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(folder.file("lines.txt").c_str(), "rb"),
                                                     std::fclose);
  base::LineReader reader(f.get());
  std::vector<std::string> lines;
  for (std::string line; reader.next(line);) lines.push_back(line);
  return lines;
}

TEST(LineReader, EndsLinesAtCrLfAndLoneCrButNotAtLoneLf) {
  support::TempFolder folder;
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {" ", {" "}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb\r\nc", {"a\nb", "c"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"\n", {"\n"}},
  };
  for (const auto& c : cases) EXPECT_EQ(linesOf(folder, c.bytes), c.lines) << c.bytes;
}

TEST(LineReader, CrLfSplitAcrossTheReadBufferIsOneEnding) {
  support::TempFolder folder;
  // The CR is the last byte of the first 64 KiB block, its LF the first of the next.
  std::string first(65535, 'x');
  EXPECT_EQ(linesOf(folder, first + "\r\ny"), (std::vector<std::string>{first, "y"}));
  EXPECT_EQ(linesOf(folder, first + "\r\n"), (std::vector<std::string>{first}));
  EXPECT_EQ(linesOf(folder, first + "\r\r\n"), (std::vector<std::string>{first, ""}));
}

TEST(ItemFields, SplitsAtTheFirstBarAndRecognisesTheServiceMarker) {
  auto program = formats::splitItem("example.exe|C:\\Tools\\example.exe|extra");
  EXPECT_EQ(program.name, "example.exe");
  EXPECT_EQ(program.path, "C:\\Tools\\example.exe");
  EXPECT_FALSE(formats::isServicePath(program.path));
  EXPECT_TRUE(formats::isServicePath("[windows SERVICE]"));
  EXPECT_FALSE(formats::isServicePath("[Windows Service] "));
  auto bare = formats::splitItem("no bar here");
  EXPECT_EQ(bare.name, "no bar here");
  EXPECT_EQ(bare.path, "");
}

TEST(FileExists, CountsOrdinaryFilesOnly) {
  support::TempFolder folder;
  folder.write("plain", "x");
  folder.write("readonly", "x");
  folder.write("hidden", "x");
  folder.write("system", "x");
  SetFileAttributesA(folder.file("readonly").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesA(folder.file("hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(folder.file("system").c_str(), FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryA(folder.file("folder").c_str(), nullptr);

  EXPECT_TRUE(win::fileExists(folder.file("plain")));
  EXPECT_TRUE(win::fileExists(folder.file("readonly")));
  EXPECT_FALSE(win::fileExists(folder.file("hidden")));
  EXPECT_FALSE(win::fileExists(folder.file("system")));
  EXPECT_FALSE(win::fileExists(folder.file("folder")));
  EXPECT_FALSE(win::fileExists(folder.file("missing")));
  EXPECT_FALSE(win::fileExists(""));
  SetFileAttributesA(folder.file("readonly").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(LoadItemSlots, CreatesAMissingFileWithItsBlankLineButKeepsAnEmptyOne) {
  support::TempFolder folder;
  ItemTable table;
  table.slots[3] = "stale|entry";
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(folder.read("processes.ob"), " \r\n");
  for (const auto& slot : table.slots) EXPECT_EQ(slot, "");

  folder.write("processes.ob", "");
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(folder.read("processes.ob"), "") << "a zero-byte file exists and is left alone";
  for (const auto& slot : table.slots) EXPECT_EQ(slot, "");
}

TEST(LoadItemSlots, HoldsEveryLineAtItsIndexAndSkipsNothingForTheNumbering) {
  support::TempFolder folder;
  folder.write("processes.ob", kExample);
  ItemTable table;
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(table.slots[0], " ");
  EXPECT_EQ(table.slots[1], "example.exe|C:\\Tools\\example.exe");
  EXPECT_EQ(table.slots[2], "Print Spooler|[Windows Service]");
  EXPECT_EQ(table.slots[3], "");

  // A one-character line is no item but moves the items after it down.
  folder.write("processes.ob", " \r\nx\r\na.exe|C:\\a.exe\r\n");
  app::loadItemSlots(folder.path(), table);
  EXPECT_FALSE(formats::isItemLine(table.slots[1]));
  EXPECT_EQ(table.slots[2], "a.exe|C:\\a.exe");
}

std::string numberedItems(int from, int to) {
  std::string bytes;
  for (int i = from; i <= to; ++i) {
    const std::string n = std::to_string(i);
    bytes.append("p").append(n).append(".exe|C:\\p").append(n).append(".exe\r\n");
  }
  return bytes;
}

TEST(RewriteWithout, DropsTheItemAndRenumbersTheRest) {
  support::TempFolder folder;
  const std::string file = folder.file("processes.ob");
  ItemTable table;

  folder.write("processes.ob", kExample);
  app::loadItemSlots(folder.path(), table);
  formats::rewriteWithout(file, table, 2);
  EXPECT_EQ(folder.read("processes.ob"), " \r\nexample.exe|C:\\Tools\\example.exe\r\n");

  // The first of three items goes; the others take indexes 1 and 2.
  folder.write("processes.ob", " \r\n" + numberedItems(1, 3));
  app::loadItemSlots(folder.path(), table);
  formats::rewriteWithout(file, table, 1);
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(table.slots[1], "p2.exe|C:\\p2.exe");
  EXPECT_EQ(table.slots[2], "p3.exe|C:\\p3.exe");
  EXPECT_EQ(table.slots[3], "");

  // Short lines vanish: an item that stood after a one-character line moves up.
  folder.write("processes.ob", " \r\nx\r\na.exe|C:\\a.exe\r\nb.exe|C:\\b.exe\r\n");
  app::loadItemSlots(folder.path(), table);
  formats::rewriteWithout(file, table, 3);
  EXPECT_EQ(folder.read("processes.ob"), " \r\na.exe|C:\\a.exe\r\n");
}

TEST(RewriteWithout, RefusesAnIndexOutsideTheTableAndLeavesTheFile) {
  support::TempFolder folder;
  folder.write("processes.ob", kExample);
  ItemTable table;
  app::loadItemSlots(folder.path(), table);
  EXPECT_THROW(formats::rewriteWithout(folder.file("processes.ob"), table, -1), base::Error);
  EXPECT_THROW(formats::rewriteWithout(folder.file("processes.ob"), table, 36), base::Error);
  EXPECT_EQ(folder.read("processes.ob"), kExample);
}

TEST(RewriteWithout, CarriesLinesBeyondTheTableThrough) {
  support::TempFolder folder;
  // Lines 0..39: the blank line and 39 items; lines 36..39 lie beyond the table.
  folder.write("processes.ob", " \r\n" + numberedItems(1, 35) + "p36.exe|C:\\p36.exe\rz\r\n" +
                                   numberedItems(38, 39));
  ItemTable table;
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(table.slots[35], "p35.exe|C:\\p35.exe");
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "p36.exe")) << "beyond the table";

  formats::rewriteWithout(folder.file("processes.ob"), table, 10);
  std::string expected = " \r\n" + numberedItems(1, 9) + numberedItems(11, 36) + numberedItems(38, 39);
  EXPECT_EQ(folder.read("processes.ob"), expected);
}

TEST(AppendItem, AddsOneLineAndCreatesAMissingFileWithoutTheBlankLine) {
  support::TempFolder folder;
  const std::string file = folder.file("processes.ob");
  formats::appendItem(file, "Print Spooler", formats::kServiceMarker);
  EXPECT_EQ(folder.read("processes.ob"), "Print Spooler|[Windows Service]\r\n");
  formats::appendItem(file, "a.exe", "C:\\a.exe");
  EXPECT_EQ(folder.read("processes.ob"), "Print Spooler|[Windows Service]\r\na.exe|C:\\a.exe\r\n");

  try {
    formats::appendItem(folder.file("no such folder\\processes.ob"), "a.exe", "C:\\a.exe");
    FAIL() << "appending in a missing folder must fail";
  } catch (const base::Error& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
}

TEST(DuplicateTest, ComparesWholeNameFieldsIgnoringLetterCaseOnly) {
  support::TempFolder folder;
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "example.exe"));
  EXPECT_FALSE(folder.exists("processes.ob")) << "the test reads, it never creates";

  folder.write("processes.ob", kExample + "x\r\n");
  EXPECT_TRUE(app::checkforduplicateProcess(folder.path(), "EXAMPLE.EXE"));
  EXPECT_TRUE(app::checkforduplicateProcess(folder.path(), "print spooler"));
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "example.exe "));
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "C:\\Tools\\example.exe"));
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "x")) << "one-character lines are no items";
}

// ---- Input no one should write, but someone will ---------------------------

TEST(BadInput, BinaryJunkLoadsAndRewritesIntoItemLinesOnly) {
  support::TempFolder folder;
  std::mt19937 random(1234);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = static_cast<char>(random() & 0xff);
  folder.write("processes.ob", junk);

  ItemTable table;
  app::loadItemSlots(folder.path(), table);
  app::checkforduplicateProcess(folder.path(), "anything");
  formats::rewriteWithout(folder.file("processes.ob"), table, 0);

  std::string rewritten = folder.read("processes.ob");
  ASSERT_EQ(rewritten.substr(0, 3), " \r\n");
  base::forEachLine(rewritten.substr(3), [](std::string_view line) { EXPECT_GT(line.size(), 1u); });
}

TEST(BadInput, HugeFilesAndLongLinesLoadWhole) {
  support::TempFolder folder;
  const std::string longLine = "long.exe|C:\\" + std::string(100000, 'a');
  std::string bytes = " \r\n";
  while (bytes.size() < (50u << 20)) bytes += longLine + "\r\n";
  folder.write("processes.ob", bytes);

  ItemTable table;
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(table.slots[1], longLine);
  EXPECT_EQ(table.slots[35], longLine);
  EXPECT_TRUE(app::checkforduplicateProcess(folder.path(), "LONG.EXE"));

  formats::rewriteWithout(folder.file("processes.ob"), table, 1);
  EXPECT_EQ(folder.read("processes.ob").size(), bytes.size() - longLine.size() - 2);

  // One 50 MB line without any ending.
  folder.write("processes.ob", std::string(50u << 20, 'b'));
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(table.slots[0].size(), 50u << 20);
  EXPECT_EQ(table.slots[1], "");
}

}  // namespace
