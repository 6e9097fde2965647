#pragma once
// A folder of a test's own on Wine's C: drive, removed with everything in it at the end.
#include <string>
#include <utility>

namespace support {

class TempFolder {  // a new empty folder whose name holds blanks
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

// A file or folder that no program can change for the life of a scope: Wine run as root
// ignores permissions, so this sets the immutable mark with chattr (`set`: it worked).
bool setImmutable(const std::string& path, bool on);
struct Unchangeable {
  explicit Unchangeable(std::string p) : path(std::move(p)), set(setImmutable(path, true)) {}
  ~Unchangeable() { setImmutable(path, false); }
  Unchangeable(const Unchangeable&) = delete;
  Unchangeable& operator=(const Unchangeable&) = delete;
  std::string path;
  bool set;
};

void removeTree(const std::string& folder);

}  // namespace support
