#pragma once
// A folder of a test's own on Wine's C: drive, removed with everything in
// it at the end.
#include <string>

namespace support {

// A new empty folder whose name holds blanks.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "Brennix Test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// Removes a folder and everything in it.
void removeTree(const std::string& folder);

}  // namespace support
