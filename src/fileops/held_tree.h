#pragma once
// A folder proven deletable as a whole before anything of it goes: every file
// and folder in it is opened for deletion without sharing, and held so until
// it is deleted through those very handles (a file with several names there
// through its first, which holds them all). A program that holds any of them
// (a game started from there, a command prompt whose current folder lies
// inside) is found before the first delete, and none can open one meanwhile.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <string>
#include <variant>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/folder_bounds.h"
#include "support/texts.h"

namespace FileSystem {

// What keeps a folder from being emptied: the item, and either the Windows
// error met in opening it for deletion or the caller's reason to refuse it.
struct Obstacle {
  std::string path;
  uint32_t error = 0;
  Message reason = std::string();  // empty unless the caller refused it
  std::string leadsTo;             // where a name that leads outside the folder leads
};

// A name below the folder that leads outside it, and where to.
struct NameLeadingOutside {
  std::string path;  // relative to the folder
  std::string leadsTo;
};

class HeldTree {
 public:
  // The reason to refuse a folder met in the tree, or nothing. It sees each
  // folder before anything in it, so that a refused one is never entered.
  using FolderCheck = std::function<Message(const std::string& folder)>;
  // Holds folder and everything in it but the entries of its top level that
  // leaveOut names, which stay as they are; links are held as themselves and
  // never followed. A folder that cannot be listed is an obstacle too, and
  // so is a name that leads outside the folder (a link the system does not
  // show as one): what would be written there would go through it.
  static std::variant<std::unique_ptr<HeldTree>, Obstacle> Hold(const std::string& folder, const FolderCheck& check,
                                                                const Pulse& pulse = {},
                                                                const std::vector<std::string>& leaveOut = {});
  // Holds the listed files below folder (paths relative to it) that exist
  // and are no folder, and every folder below it, the same way: a folder
  // that goes once it is empty must not be held by anyone either. A listed
  // name that leads outside the folder is not held: it stays, and so do the
  // folders above it.
  static std::variant<std::unique_ptr<HeldTree>, Obstacle> HoldFiles(const std::string& folder,
                                                                     const std::vector<std::string>& files);
  ~HeldTree();
  HeldTree(const HeldTree&) = delete;
  HeldTree& operator=(const HeldTree&) = delete;

  // The names that were left where they are because they lead outside.
  const std::vector<NameLeadingOutside>& LeadingOutside() const { return leadingOutside_; }
  // The bytes of the files held.
  uint64_t Bytes() const { return bytes_; }
  // The facts of the files held, as they are now, the paths relative to the folder.
  std::vector<FileFacts> Files() const;
  // Moves the files that keep names (by their facts as they are now, the
  // paths relative to the folder) into holding, a folder inside it (its path
  // relative to the folder), under the path it gives (relative to holding):
  // a rename through the handle held into a handle to the folder that
  // receives it, never a copy. They are held no longer. Throws RuntimeError,
  // naming the file.
  using KeepAs = std::function<std::optional<std::string>(const FileFacts&)>;
  void MoveOut(const std::string& holding, const KeepAs& keep);
  // Lets go of the files that release picks (by their facts as they are
  // now), which will not be deleted; returns their facts.
  std::vector<FileFacts> Release(const std::function<bool(const FileFacts&)>& release);
  // Deletes everything held below the folder, each item before the folder
  // that holds it; the folder itself stays, and so does a folder held by
  // HoldFiles that still holds something not held. A failure stops it there and throws a
  // RuntimeError that names the item; what was not deleted stays, and is let go.
  void DeleteAll(const Pulse& pulse = {});

 private:
  struct Item;
  HeldTree();
  bool IsNameOfHeldFile(const std::wstring& path) const;
  FileFacts FactsOf(const Item& item) const;
  // Opens one item for deletion without sharing and keeps it; the obstacle when another program has it.
  std::optional<Obstacle> HoldItem(const std::wstring& path, unsigned long attributes, bool onlyOnceEmpty = false);
  std::optional<FolderBounds> bounds_;
  bool refuseLeadingOutside_ = true;
  std::vector<NameLeadingOutside> leadingOutside_;
  std::vector<Item> items_;
  // The files held that have other names too, by volume and file index.
  std::set<std::pair<uint32_t, uint64_t>> heldWithOtherNames_;
  std::wstring top_;
  uint64_t bytes_ = 0;
};

}  // namespace FileSystem
