#pragma once
// A folder proven deletable as a whole before anything of it goes: every file
// and folder in it is opened for deletion without sharing, and held so until
// it is deleted through those very handles. A program that holds any of them
// (a game started from there, a command prompt whose current folder lies
// inside) is found before the first delete, and none can open one meanwhile.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "fileops/file_system.h"

namespace FileSystem {

// What keeps a folder from being emptied: the item, and either the Windows
// error met in opening it for deletion or the caller's reason to refuse it.
struct Obstacle {
  std::string path;
  uint32_t error = 0;
  std::string reason;
};

class HeldTree {
 public:
  // The reason to refuse a folder met in the tree, or "". It sees each folder
  // before anything in it, so that a refused one is never entered.
  using FolderCheck = std::function<std::string(const std::string& folder)>;
  // Holds folder and everything in it; links are held as themselves and never followed.
  static std::variant<std::unique_ptr<HeldTree>, Obstacle> Hold(const std::string& folder, const FolderCheck& check,
                                                                const Pulse& pulse = {});
  ~HeldTree();
  HeldTree(const HeldTree&) = delete;
  HeldTree& operator=(const HeldTree&) = delete;

  // The bytes of the files held.
  uint64_t Bytes() const { return bytes_; }
  // Deletes everything held, each item before the folder that holds it, the
  // folder itself last. A failure stops it there and throws a RuntimeError
  // that names the item; what was not deleted stays, and is let go.
  void DeleteAll(const Pulse& pulse = {});

 private:
  struct Item;
  HeldTree();
  std::vector<Item> items_;
  uint64_t bytes_ = 0;
};

}  // namespace FileSystem
