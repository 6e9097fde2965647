#pragma once
// A folder of a test's own on Wine's C: drive, removed with everything in
// it at the end.
#include <string>
#include <utility>

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

// Makes a file or folder unchangeable, or changeable again, for every
// program. Wine run as root ignores permissions: this sets the Linux file
// system's immutable mark with chattr. False when chattr could not run.
bool setImmutable(const std::string& path, bool on);

// A file or folder unchangeable for the life of a scope.
struct Unchangeable {
  explicit Unchangeable(std::string p) : path(std::move(p)), set(setImmutable(path, true)) {}
  ~Unchangeable() { setImmutable(path, false); }
  Unchangeable(const Unchangeable&) = delete;
  Unchangeable& operator=(const Unchangeable&) = delete;
  std::string path;
  bool set;
};

// Removes a folder and everything in it.
void removeTree(const std::string& folder);

}  // namespace support
