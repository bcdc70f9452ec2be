#include "fileops/held_tree.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace FileSystem {

// A file with several names in the tree (a hard link) is held through the
// first name met: no other name of it can then be opened for deletion, by
// anyone, this tree included. Its other names are items without a handle,
// each opened only once the file is no longer held through the name before.
struct HeldTree::Item {
  std::wstring path;
  UniqueFile handle;  // none for another name of a file held already
  DWORD attributes;
  bool onlyOnceEmpty = false;  // a folder that stays while it holds what is not held
};

namespace {

std::pair<uint32_t, uint64_t> IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// Without sharing: the open fails while any other program has the item open,
// for whatever purpose, a folder as a current folder included.
UniqueFile OpenForDeletion(const std::wstring& path, DWORD attributes) {
  if (IsLinkAttributes(attributes)) return OpenLinkItself(path, DELETE | FILE_WRITE_ATTRIBUTES);
  return UniqueFile(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Times of 0 are left as they are; so is an attribute of 0, which an item
// with no other attribute says as "normal".
bool SetAttributes(HANDLE item, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(item, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// A read-only item cannot be marked for deletion: its attribute goes first,
// through the same handle. The attribute is the file's, not the name's: a
// file that keeps other names (in the game's folder, say) gets it back.
bool DeleteThroughHandle(HANDLE item, DWORD attributes) {
  bool readOnly = attributes & FILE_ATTRIBUTE_READONLY;
  if (readOnly && !SetAttributes(item, attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!SetFileInformationByHandle(item, FileDispositionInfo, &dispose, sizeof dispose)) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (readOnly && GetFileInformationByHandle(item, &info) && info.nNumberOfLinks > 1) SetAttributes(item, attributes);
  return true;
}

UniqueFile OpenForAttributes(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

}  // namespace

HeldTree::HeldTree() = default;
HeldTree::~HeldTree() = default;

namespace {

// Calls visit(path, attributes) for each item below top, the top itself
// last, each folder after everything in it (a folder held without sharing
// cannot be listed); check may refuse a folder before it is entered. The
// first obstacle ends the walk.
using Visit = std::function<std::optional<Obstacle>(const std::wstring& path, DWORD attributes)>;
std::optional<Obstacle> WalkDepthFirst(const std::wstring& top, const HeldTree::FolderCheck& check, const Pulse& pulse,
                                       const std::vector<std::string>& leaveOut, const Visit& visit) {
  std::optional<Obstacle> obstacle;
  std::function<void(const std::wstring&, DWORD)> walk = [&](const std::wstring& path, DWORD attributes) {
    if (Message reason = check ? check(Narrow(path)) : std::string(); !reason.Empty())
      return void(obstacle = Obstacle{Narrow(path), 0, reason, {}});
    try {
      ForEachEntry(path, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
        if (obstacle) return;
        if (pulse) pulse();
        bool left = path == top && std::any_of(leaveOut.begin(), leaveOut.end(), [&](const std::string& out) {
                      return EqualsIgnoreCase(Narrow(name), out);
                    });
        if (left) return;
        std::wstring item = path + L"\\" + name;
        if (IsFolder(found.dwFileAttributes) && !IsLinkAttributes(found.dwFileAttributes))
          return walk(item, found.dwFileAttributes);
        obstacle = visit(item, found.dwFileAttributes);
      });
    } catch (const RuntimeError& error) {
      // Another program's handle without sharing keeps a folder from being listed too.
      obstacle = Obstacle{Narrow(path), static_cast<uint32_t>(error.Number()), std::string(), {}};
    }
    if (!obstacle) obstacle = visit(path, attributes);
  };
  walk(top, Attributes(top));
  return obstacle;
}

}  // namespace

// Without sharing, a name of a file held already cannot be opened; only its
// attributes can, and they tell which file it is.
bool HeldTree::IsNameOfHeldFile(const std::wstring& path) const {
  UniqueFile file = OpenForAttributes(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.Get(), &info) || info.nNumberOfLinks < 2) return false;
  return heldWithOtherNames_.contains(IdOf(info));
}

std::optional<Obstacle> HeldTree::HoldItem(const std::wstring& path, DWORD attributes, bool onlyOnceEmpty) {
  UniqueFile handle = OpenForDeletion(path, attributes);
  if (!handle) {
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || !IsNameOfHeldFile(path))
      return Obstacle{Narrow(path), error, std::string(), {}};
    items_.push_back({path, UniqueFile(), attributes});
    return std::nullopt;
  }
  // Judged through the handle it will be deleted or moved through: a name
  // swapped for a link before it was opened leads elsewhere now.
  if (!IsLinkAttributes(attributes)) {
    std::string relative = path.size() > top_.size() ? Narrow(path.substr(top_.size() + 1)) : std::string();
    if (std::string leads = bounds_->WhereItLeads(handle.Get(), relative); !leads.empty()) {
      if (refuseLeadingOutside_) return Obstacle{Narrow(path), 0, std::string(), leads};
      leadingOutside_.push_back({relative, leads});
      return std::nullopt;
    }
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!IsFolder(attributes) && GetFileInformationByHandle(handle.Get(), &info)) {
    bytes_ += (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (info.nNumberOfLinks > 1) heldWithOtherNames_.insert(IdOf(info));
  }
  items_.push_back({path, std::move(handle), attributes, onlyOnceEmpty});
  return std::nullopt;
}

std::variant<std::unique_ptr<HeldTree>, Obstacle> HeldTree::Hold(const std::string& folder, const FolderCheck& check,
                                                                 const Pulse& pulse,
                                                                 const std::vector<std::string>& leaveOut) {
  std::unique_ptr<HeldTree> tree(new HeldTree());
  tree->top_ = WithoutTrailingBackslash(Widen(folder));
  if (!IsFolder(Attributes(tree->top_))) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  tree->bounds_.emplace(folder);
  std::optional<Obstacle> obstacle =
      WalkDepthFirst(tree->top_, check, pulse, leaveOut,
                     [&](const std::wstring& path, DWORD attributes) { return tree->HoldItem(path, attributes); });
  if (obstacle) return *obstacle;
  return tree;
}

std::variant<std::unique_ptr<HeldTree>, Obstacle> HeldTree::HoldFiles(const std::string& folder,
                                                                      const std::vector<std::string>& files) {
  std::unique_ptr<HeldTree> tree(new HeldTree());
  tree->top_ = WithoutTrailingBackslash(Widen(folder));
  tree->bounds_.emplace(folder);
  tree->refuseLeadingOutside_ = false;
  for (const std::string& file : files) {
    std::wstring path = tree->top_ + L"\\" + Widen(file);
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes)) continue;
    if (std::optional<Obstacle> obstacle = tree->HoldItem(path, attributes)) return *obstacle;
  }
  std::optional<Obstacle> obstacle = WalkDepthFirst(
      tree->top_, {}, {}, {}, [&](const std::wstring& path, DWORD attributes) -> std::optional<Obstacle> {
        if (!IsFolder(attributes) || IsLinkAttributes(attributes)) return std::nullopt;
        return tree->HoldItem(path, attributes, true);
      });
  if (obstacle) return *obstacle;
  return tree;
}

FileFacts HeldTree::FactsOf(const Item& item) const {
  UniqueFile byAttributes = item.handle ? UniqueFile() : OpenForAttributes(item.path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(item.handle ? item.handle.Get() : byAttributes.Get(), &info)) ThrowLastError();
  return {Narrow(item.path.substr(top_.size() + 1)),
          (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
          (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime};
}

std::vector<FileFacts> HeldTree::Files() const {
  std::vector<FileFacts> files;
  for (const Item& item : items_)
    if (!IsFolder(item.attributes) && !IsLinkAttributes(item.attributes)) files.push_back(FactsOf(item));
  return files;
}

std::vector<FileFacts> HeldTree::Release(const std::function<bool(const FileFacts&)>& release) {
  std::vector<FileFacts> released;
  std::erase_if(items_, [&](Item& item) {
    if (IsFolder(item.attributes) || IsLinkAttributes(item.attributes)) return false;
    FileFacts facts = FactsOf(item);
    if (!release(facts)) return false;
    released.push_back(facts);
    return true;
  });
  return released;
}

void HeldTree::MoveOut(const std::string& holding, const KeepAs& keep) {
  std::erase_if(items_, [&](Item& item) {
    // Folders and links are the installation's frame; only files are anyone's.
    if (IsFolder(item.attributes) || IsLinkAttributes(item.attributes)) return false;
    std::optional<std::string> kept = keep(FactsOf(item));
    if (!kept) return false;
    std::string destination = holding + "\\" + *kept;
    std::string full = Narrow(top_) + "\\" + destination;
    // Another name of a file held cannot be opened to be renamed: the file
    // gets the kept name as one more, and this one goes with the rest.
    if (!item.handle) {
      CreateFolderPath(GetParentFolderName(full));
      if (CreateHardLinkW(Widen(full).c_str(), item.path.c_str(), nullptr)) return false;
      DWORD error = GetLastError();
      throw RuntimeError(static_cast<int32_t>(error),
                         Message(IDS_FAILED_KEEPING, {Message::SystemError(error), Narrow(item.path), full}));
    }
    if (!RenameIntoFolderInside(*bounds_, item.handle.Get(), destination, false, Narrow(item.path))) {
      DWORD error = GetLastError();
      throw RuntimeError(static_cast<int32_t>(error),
                         Message(IDS_FAILED_MOVING, {Message::SystemError(error), Narrow(item.path), full}));
    }
    return true;
  });
}

void HeldTree::DeleteAll(const Pulse& pulse) {
  for (Item& item : items_) {
    try {
      if (pulse) pulse();
    } catch (...) {
      // Ended here (a stop): what is left is let go, so that it can be listed and recorded.
      items_.clear();
      throw;
    }
    // The folder itself stays: it holds what was left out or moved out, and the record.
    if (item.path == top_) break;
    // The name before it, through which the file was held, is gone by now.
    if (!item.handle) item.handle = OpenForDeletion(item.path, item.attributes);
    if (!item.handle || !DeleteThroughHandle(item.handle.Get(), item.attributes)) {
      DWORD error = GetLastError();
      if (item.onlyOnceEmpty && error == ERROR_DIR_NOT_EMPTY) continue;
      std::string failed = Narrow(item.path);
      items_.clear();
      throw RuntimeError(static_cast<int32_t>(error),
                         Message::Pattern("%1 (\"%2\")", {Message::SystemError(error), failed}));
    }
    // The item goes as its handle closes; its folder can go only after.
    item.handle.Reset();
  }
  items_.clear();
}

}  // namespace FileSystem
