// processes.ob on real files: line endings, the 36-slot table, the blank first
// line, deletion renumbering, the duplicate test, and files no one should
// write but someone will.
#include <windows.h>

#include <gtest/gtest.h>

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

TEST(LineReader, EndsLinesAtCrLfAndLoneCrButNotAtLoneLfAcrossItsBuffer) {
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
  // A CR that ends the first 64 KiB block, with its LF first in the next.
  std::string first(65535, 'x');
  EXPECT_EQ(linesOf(folder, first + "\r\ny"), (std::vector<std::string>{first, "y"}));
  EXPECT_EQ(linesOf(folder, first + "\r\n"), (std::vector<std::string>{first}));
  EXPECT_EQ(linesOf(folder, first + "\r\r\n"), (std::vector<std::string>{first, ""}));
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

TEST(LoadItemSlots, CreatesAMissingFileKeepsAnEmptyOneAndCountsEveryLine) {
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

  // Short lines vanish: an item that stood after a one-character line moves up.
  folder.write("processes.ob", " \r\nx\r\na.exe|C:\\a.exe\r\nb.exe|C:\\b.exe\r\n");
  app::loadItemSlots(folder.path(), table);
  formats::rewriteWithout(file, table, 3);
  EXPECT_EQ(folder.read("processes.ob"), " \r\na.exe|C:\\a.exe\r\n");

  // An index outside the table is refused before the file is touched.
  folder.write("processes.ob", kExample);
  app::loadItemSlots(folder.path(), table);
  EXPECT_THROW(formats::rewriteWithout(folder.file("processes.ob"), table, -1), base::Error);
  EXPECT_THROW(formats::rewriteWithout(folder.file("processes.ob"), table, 36), base::Error);
  EXPECT_EQ(folder.read("processes.ob"), kExample);
}

TEST(RewriteWithout, CarriesLinesBeyondTheTableThroughAndAFullFileTakesNoMore) {
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

  EXPECT_TRUE(formats::itemFileIsFull(folder.file("processes.ob")));
  folder.write("processes.ob", " \r\n" + numberedItems(1, 34));
  EXPECT_FALSE(formats::itemFileIsFull(folder.file("processes.ob"))) << "35 lines: one more fits";
  folder.write("processes.ob", " \r\n" + numberedItems(1, 34) + "x");
  EXPECT_TRUE(formats::itemFileIsFull(folder.file("processes.ob"))) << "a last line without its ending";
  EXPECT_FALSE(formats::itemFileIsFull(folder.file("missing.ob")));
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

TEST(ItemFields, SplitAtTheFirstBarAndDuplicatesCompareWholeNamesIgnoringCase) {
  auto program = formats::splitItem("example.exe|C:\\Tools\\example.exe|extra");
  EXPECT_EQ(program.path, "C:\\Tools\\example.exe");
  EXPECT_TRUE(formats::isServicePath("[windows SERVICE]"));
  EXPECT_FALSE(formats::isServicePath("[Windows Service] "));
  EXPECT_EQ(formats::splitItem("no bar here").path, "");

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

}  // namespace
