// The data files on real files: line endings, the 36-slot item table and what a deletion
// rewrites, the duplicate test, the file-exists rule, and the encoded message of settings.ob.
#include "formats/item_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "app/item_store.h"
#include "base/error.h"
#include "base/line_reader.h"
#include "base/text_file.h"
#include "formats/settings_file.h"
#include "support/temp_folder.h"
#include "win/files.h"

namespace {

std::vector<std::string> linesOf(const support::TempFolder& folder, const std::string& bytes) {
  folder.write("lines.txt", bytes);
  base::unique_file f(std::fopen(folder.file("lines.txt").c_str(), "rb"));
  base::LineReader reader(f.get());
  std::vector<std::string> lines;
  for (std::string line; reader.next(line);) lines.push_back(line);
  return lines;
}

std::string numberedItems(int from, int to) {
  std::string bytes;
  for (int i = from; i <= to; ++i)
    bytes += "p" + std::to_string(i) + ".exe|C:\\p" + std::to_string(i) + ".exe\r\n";
  return bytes;
}

TEST(LineReader, EndsLinesAtCrLfAndLoneCrButNotAtLoneLfAcrossItsBuffer) {
  support::TempFolder folder;
  const std::string block(65535, 'x');  // a CR at the end of the first 64 KiB, its LF in the next
  const std::pair<std::string, std::vector<std::string>> cases[] = {{"", {}},
                                                                    {" ", {" "}},
                                                                    {"a\r\nb\r\n", {"a", "b"}},
                                                                    {"a\rb", {"a", "b"}},
                                                                    {"a\nb\r\nc", {"a\nb", "c"}},
                                                                    {"a\r\r\n", {"a", ""}},
                                                                    {"\n", {"\n"}},
                                                                    {block + "\r\ny", {block, "y"}},
                                                                    {block + "\r\r\n", {block, ""}}};
  for (const auto& [bytes, lines] : cases) EXPECT_EQ(linesOf(folder, bytes), lines) << bytes.substr(0, 20);
}

TEST(FileExists, CountsOrdinaryFilesOnly) {
  support::TempFolder folder;
  for (const char* name : {"plain", "readonly", "hidden", "system"}) folder.write(name, "x");
  SetFileAttributesA(folder.file("readonly").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesA(folder.file("hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(folder.file("system").c_str(), FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryA(folder.file("folder").c_str(), nullptr);
  for (const char* name : {"plain", "readonly"}) EXPECT_TRUE(win::fileExists(folder.file(name))) << name;
  for (const char* name : {"hidden", "system", "folder", "missing"})
    EXPECT_FALSE(win::fileExists(folder.file(name))) << name;
  EXPECT_FALSE(win::fileExists(""));
}

TEST(ItemFile, CountsEveryLineAndARewriteDropsShortLinesButKeepsWhatLiesBeyond) {
  support::TempFolder folder;
  formats::ItemTable table;
  folder.write("processes.ob", "");
  app::loadItemSlots(folder.path(), table);
  EXPECT_EQ(folder.read("processes.ob"), "") << "a zero-byte file exists and is left alone";

  // A one-character line is no item, but the items after it keep their index.
  folder.write("processes.ob", " \r\nx\r\na.exe|C:\\a.exe\r\nb.exe|C:\\b.exe\r\n");
  app::loadItemSlots(folder.path(), table);
  EXPECT_FALSE(formats::isItemLine(table.slots[1]));
  EXPECT_EQ(table.slots[2], "a.exe|C:\\a.exe");
  EXPECT_THROW(formats::rewriteWithout(folder.file("processes.ob"), table, 36), base::Error);
  formats::rewriteWithout(folder.file("processes.ob"), table, 3);
  EXPECT_EQ(folder.read("processes.ob"), " \r\na.exe|C:\\a.exe\r\n");

  // Lines 36 and on are neither shown nor searched, but carried through.
  folder.write("processes.ob",
               " \r\n" + numberedItems(1, 35) + "p36.exe|C:\\p36.exe\rz\r\n" + numberedItems(38, 39));
  app::loadItemSlots(folder.path(), table);
  EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), "p36.exe")) << "beyond the table";
  EXPECT_TRUE(formats::itemFileIsFull(folder.file("processes.ob")));
  formats::rewriteWithout(folder.file("processes.ob"), table, 10);
  EXPECT_EQ(folder.read("processes.ob"),
            " \r\n" + numberedItems(1, 9) + numberedItems(11, 36) + numberedItems(38, 39));

  folder.write("processes.ob", " \r\n" + numberedItems(1, 34));
  EXPECT_FALSE(formats::itemFileIsFull(folder.file("processes.ob"))) << "35 lines: one more fits";
  folder.write("processes.ob", " \r\n" + numberedItems(1, 34) + "x");
  EXPECT_TRUE(formats::itemFileIsFull(folder.file("processes.ob"))) << "a last line without its ending";
  EXPECT_THROW(formats::appendItem(folder.file("no such folder\\processes.ob"), "a.exe", "C:\\a.exe"),
               base::Error);
}

TEST(ItemFile, DuplicatesAreWholeNameFieldsEqualIgnoringLetterCase) {
  support::TempFolder folder;
  folder.write("processes.ob", " \r\nexample.exe|C:\\Tools\\example.exe|extra\r\nx\r\n");
  EXPECT_TRUE(app::checkforduplicateProcess(folder.path(), "EXAMPLE.EXE"));
  for (const char* name : {"example.exe ", "C:\\Tools\\example.exe", "x"})
    EXPECT_FALSE(app::checkforduplicateProcess(folder.path(), name)) << name;
}

TEST(SettingsFile, TheMessageKeepsItsLineBreaksAsPercentTwentyAndFillsItsPlaceholders) {
  EXPECT_EQ(formats::encodeBody("a\r\nb\r\n"), "a%20b%20");
  EXPECT_EQ(formats::encodeBody("lone\nLF and lone\rCR"), "lone\nLF and lone\rCR");
  EXPECT_EQ(formats::decodeBody(formats::encodeBody("50%20 off")), "50\r\n off")
      << "a %20 of its own comes back as a break";
  EXPECT_EQ(formats::fillMessage("%process%%20%time% %TIME% %process%", "12:00", "%time%.exe"),
            "%time%.exe\r\n12:00 %TIME% %time%.exe")
      << "case significant; a replacement is not searched again";
}

}  // namespace
