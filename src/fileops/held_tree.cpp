#include "fileops/held_tree.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace FileSystem {

struct HeldTree::Item {
  std::wstring path;
  UniqueFile handle;
  DWORD attributes;
};

namespace {

// Without sharing: the open fails while any other program has the item open,
// for whatever purpose, a folder as a current folder included.
UniqueFile OpenForDeletion(const std::wstring& path, DWORD attributes) {
  if (IsLinkAttributes(attributes)) return OpenLinkItself(path, DELETE | FILE_WRITE_ATTRIBUTES);
  return UniqueFile(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// A read-only item cannot be marked for deletion: its attribute goes first,
// through the same handle. Times of 0 are left as they are.
bool DeleteThroughHandle(HANDLE item, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic{};
    // 0 would mean "unchanged"; an item with no other attribute is a normal one.
    basic.FileAttributes = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(item, FileBasicInfo, &basic, sizeof basic)) return false;
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  return SetFileInformationByHandle(item, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

// The name a rename through a handle takes is the system's own form of the
// full path.
bool RenameThroughHandle(HANDLE item, const std::wstring& destination) {
  std::wstring name = L"\\??\\" + destination;
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), rename->FileName);
  return SetFileInformationByHandle(item, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace

HeldTree::HeldTree() = default;
HeldTree::~HeldTree() = default;

std::variant<std::unique_ptr<HeldTree>, Obstacle> HeldTree::Hold(const std::string& folder, const FolderCheck& check,
                                                                 const Pulse& pulse) {
  std::unique_ptr<HeldTree> tree(new HeldTree());
  std::optional<Obstacle> obstacle;
  // Depth first: a folder is held once everything in it is, as listing a
  // folder held without sharing is refused.
  auto hold = [&](const std::wstring& path, DWORD attributes) {
    UniqueFile handle = OpenForDeletion(path, attributes);
    if (!handle)
      obstacle = Obstacle{Narrow(path), GetLastError(), {}};
    else
      tree->items_.push_back({path, std::move(handle), attributes});
    return !obstacle;
  };
  std::function<bool(const std::wstring&, DWORD)> walk = [&](const std::wstring& path, DWORD attributes) {
    if (std::string reason = check ? check(Narrow(path)) : std::string(); !reason.empty()) {
      obstacle = Obstacle{Narrow(path), 0, reason};
      return false;
    }
    ForEachEntry(path, [&](const std::wstring& name, const WIN32_FIND_DATAW& found) {
      if (obstacle) return;
      if (pulse) pulse();
      std::wstring item = path + L"\\" + name;
      bool isFolder = IsFolder(found.dwFileAttributes) && !IsLinkAttributes(found.dwFileAttributes);
      if (isFolder) return void(walk(item, found.dwFileAttributes));
      if (hold(item, found.dwFileAttributes))
        tree->bytes_ += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    });
    return !obstacle && hold(path, attributes);
  };
  std::wstring top = WithoutTrailingBackslash(Widen(folder));
  tree->top_ = top;
  DWORD attributes = Attributes(top);
  if (!IsFolder(attributes)) ThrowWin32Error(ERROR_PATH_NOT_FOUND);
  if (!walk(top, attributes)) return *obstacle;
  return tree;
}

std::variant<std::unique_ptr<HeldTree>, Obstacle> HeldTree::HoldFiles(const std::string& folder,
                                                                      const std::vector<std::string>& files) {
  std::unique_ptr<HeldTree> tree(new HeldTree());
  tree->top_ = WithoutTrailingBackslash(Widen(folder));
  for (const std::string& file : files) {
    std::wstring path = tree->top_ + L"\\" + Widen(file);
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes)) continue;
    UniqueFile handle = OpenForDeletion(path, attributes);
    if (!handle) return Obstacle{Narrow(path), GetLastError(), {}};
    tree->items_.push_back({path, std::move(handle), attributes});
  }
  return tree;
}

FileFacts HeldTree::FactsOf(const Item& item) const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(item.handle.Get(), &info)) ThrowLastError();
  return {Narrow(item.path.substr(top_.size() + 1)),
          (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
          (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime};
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

std::vector<std::string> HeldTree::MoveOut(const std::string& holding,
                                           const std::function<bool(const FileFacts&)>& keep) {
  std::vector<std::string> moved;
  std::erase_if(items_, [&](Item& item) {
    // Folders and links are the installation's frame; only files are anyone's.
    if (IsFolder(item.attributes) || IsLinkAttributes(item.attributes)) return false;
    FileFacts facts = FactsOf(item);
    if (!keep(facts)) return false;
    const std::string& relative = facts.path;
    std::string destination = holding + "\\" + relative;
    CreateFolderPath(GetParentFolderName(destination));
    if (!RenameThroughHandle(item.handle.Get(), Widen(destination))) {
      DWORD error = GetLastError();
      throw RuntimeError(static_cast<int32_t>(error),
                         SystemMessage(error) + " (moving \"" + Narrow(item.path) + "\" to \"" + destination + "\")");
    }
    moved.push_back(relative);
    movedOut_ = true;
    return true;
  });
  return moved;
}

void HeldTree::DeleteAll(const Pulse& pulse) {
  // The top folder now holds the files moved out: it stays.
  if (movedOut_ && !items_.empty()) items_.pop_back();
  for (Item& item : items_) {
    if (pulse) pulse();
    if (!DeleteThroughHandle(item.handle.Get(), item.attributes)) {
      DWORD error = GetLastError();
      std::string failed = Narrow(item.path);
      items_.clear();
      throw RuntimeError(static_cast<int32_t>(error), SystemMessage(error) + " (\"" + failed + "\")");
    }
    // The item goes as its handle closes; its folder can go only after.
    item.handle.Reset();
  }
  items_.clear();
}

}  // namespace FileSystem
