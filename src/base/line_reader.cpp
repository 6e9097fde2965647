#include "base/line_reader.h"

#include <cstring>

namespace base {

bool LineReader::fill() {
  pos_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  return end_ > 0;
}

bool LineReader::next(std::string& line) {
  line.clear();
  if (pos_ == end_ && !fill()) return false;
  if (afterCR_) {
    afterCR_ = false;
    if (buffer_[pos_] == '\n') {
      ++pos_;
      if (pos_ == end_ && !fill()) return false;
    }
  }
  for (;;) {
    const char* start = buffer_.data() + pos_;
    auto* cr = static_cast<const char*>(std::memchr(start, '\r', end_ - pos_));
    if (cr) {
      line.append(start, cr);
      pos_ = static_cast<std::size_t>(cr - buffer_.data()) + 1;
      if (pos_ < end_) {
        if (buffer_[pos_] == '\n') ++pos_;
      } else {
        afterCR_ = true;
      }
      return true;
    }
    line.append(start, end_ - pos_);
    pos_ = end_;
    if (!fill()) return true;  // last line without an ending
  }
}

}  // namespace base
