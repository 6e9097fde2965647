#pragma once
// Reads a text file line by line the way the data files are read: a line ends
// at CR LF or at a lone CR; a lone LF stays part of the line. A last line
// without an ending still counts; an empty file has no lines.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace base {

class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file_(file), buffer_(1 << 16) {}

  // Reads the next line into `line`; false at the end of the file. A read
  // error counts as the end of the file.
  bool next(std::string& line);

 private:
  bool fill();

  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool afterCR_ = false;  // the last line ended in CR: an LF next belongs to it
};

// Calls `visit` for each line of an in-memory text, by the same rules.
template <class Visit>
void forEachLine(std::string_view text, Visit visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t cr = text.find('\r', start);
    if (cr == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, cr - start));
    start = cr + 1;
    if (start < text.size() && text[start] == '\n') ++start;
  }
}

}  // namespace base
