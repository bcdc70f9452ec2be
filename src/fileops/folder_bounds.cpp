#include "fileops/folder_bounds.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "fileops/win32_file.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

using namespace Win32File;

namespace {

// Upper case, without the backslash a drive's root ends in, so that the
// root and the names below it compare as any folder and its names do.
std::wstring Comparable(std::wstring path) {
  CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The system's reason (%1 of doing), and what it was doing with which items.
[[noreturn]] void ThrowDoing(DWORD error, TextId doing, std::vector<Message> items) {
  items.insert(items.begin(), Message::SystemError(error));
  throw RuntimeError(static_cast<int32_t>(error), Message(doing, std::move(items)));
}

// Shares only reading: nobody renames, replaces or deletes the item while it
// is judged and then moved or deleted. A link is opened as itself where the
// system shows one.
UniqueFile OpenItem(const std::wstring& path) {
  UniqueFile item;
  Retried([&] {
    item = UniqueFile(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return static_cast<bool>(item);
  });
  return item;
}

// The folder that receives a file, held so that it cannot be renamed or
// replaced while the file goes into it.
UniqueFile OpenFolderToReceive(const std::wstring& path) {
  return UniqueFile(CreateFileW(path.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The rename goes relative to the folder's handle, never by its path. The
// system's own call, for the Win32 one takes the new name for a path to
// make full against the current folder (so under Wine), which a rename
// relative to a folder cannot use. Found at run time: the installer
// imports nothing from ntdll.
bool RenameInto(HANDLE item, HANDLE folder, const std::wstring& name, bool replace) {
  using SetInformation = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
  using ToError = ULONG(NTAPI*)(NTSTATUS);
  static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  static const auto setInformation = reinterpret_cast<SetInformation>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
  static const auto toError =
      reinterpret_cast<ToError>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  std::vector<char> buffer(sizeof(FILE_RENAME_INFORMATION) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  rename->ReplaceIfExists = replace;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), rename->FileName);
  return Retried([&] {
    IO_STATUS_BLOCK done{};
    NTSTATUS status = setInformation(item, &done, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
    if (status >= 0) return true;
    SetLastError(toError(status));
    return false;
  });
}

bool SetAttributes(HANDLE item, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(item, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

std::string Joined(const std::string& folder, const std::string& relative) {
  return relative.empty() ? folder : folder + "\\" + relative;
}

}  // namespace

namespace FileSystem {

FolderBounds::FolderBounds(const std::string& folder)
    : folder_(Narrow(WithoutTrailingBackslash(Widen(folder)))) {
  // Reading its attributes conflicts with no other program's sharing, not
  // even with the folder held for its deletion.
  UniqueFile top(CreateFileW(Widen(folder_).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!top) ThrowDoing(GetLastError(), IDS_FAILED_OPENING, {folder_});
  final_ = Comparable(Widen(FinalPathOf(top.Get())));
}

std::string FolderBounds::WhereItLeads(void* handle, const std::string& relative) const {
  // A drive that cannot say where an item lies is judged by names alone.
  if (final_.empty()) return {};
  std::wstring actual = Widen(FinalPathOf(handle));
  std::wstring expected = relative.empty() ? final_ : final_ + L"\\" + Widen(relative);
  if (!actual.empty() && Comparable(actual) == Comparable(expected)) return {};
  return actual.empty() ? Joined(folder_, relative) : Narrow(actual);
}

bool RenameIntoFolderInside(const FolderBounds& bounds, void* item, const std::string& to, bool replace,
                            const std::string& what) {
  std::string destination = Joined(bounds.Folder(), to);
  std::string parent = GetParentFolderName(destination);
  CreateFolderPath(parent);
  UniqueFile folder = OpenFolderToReceive(Widen(parent));
  if (!folder) return false;
  std::string parentBelow = GetParentFolderName(to);
  if (std::string leads = bounds.WhereItLeads(folder.Get(), parentBelow); !leads.empty())
    throw RuntimeError(ERROR_CANT_ACCESS_FILE,
                       Message(IDS_FOLDER_LEADS_OUTSIDE, {parent, bounds.Folder(), leads, what}));
  return RenameInto(item, folder.Get(), Widen(to.substr(parentBelow.empty() ? 0 : parentBelow.size() + 1)), replace);
}

std::string MoveFileInside(const FolderBounds& fromBounds, const std::string& from, const FolderBounds& toBounds,
                           const std::string& to, bool replace) {
  std::string source = Joined(fromBounds.Folder(), from), destination = Joined(toBounds.Folder(), to);
  UniqueFile item = OpenItem(Widen(source));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!item || !GetFileInformationByHandle(item.Get(), &info)) ThrowDoing(GetLastError(), IDS_FAILED_OPENING, {source});
  if (!IsLinkAttributes(info.dwFileAttributes))
    if (std::string leads = fromBounds.WhereItLeads(item.Get(), from); !leads.empty()) return leads;
  if (RenameIntoFolderInside(toBounds, item.Get(), to, replace, source)) return {};
  DWORD error = GetLastError();
  if (error != ERROR_NOT_SAME_DEVICE) ThrowDoing(error, IDS_FAILED_MOVING, {source, destination});
  item.Reset();
  MoveFileByCopy(source, destination, replace);
  return {};
}

std::string DeleteFileInside(const FolderBounds& bounds, const std::string& relative) {
  std::string path = Joined(bounds.Folder(), relative);
  UniqueFile item = OpenItem(Widen(path));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!item) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    ThrowDoing(error, IDS_FAILED_DELETING, {path});
  }
  if (!GetFileInformationByHandle(item.Get(), &info)) ThrowDoing(GetLastError(), IDS_FAILED_DELETING, {path});
  if (!IsLinkAttributes(info.dwFileAttributes))
    if (std::string leads = bounds.WhereItLeads(item.Get(), relative); !leads.empty()) return leads;
  bool readOnly = info.dwFileAttributes & FILE_ATTRIBUTE_READONLY;
  if (readOnly) SetAttributes(item.Get(), info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
  FILE_DISPOSITION_INFO dispose{TRUE};
  if (!SetFileInformationByHandle(item.Get(), FileDispositionInfo, &dispose, sizeof dispose)) {
    DWORD error = GetLastError();
    if (readOnly) SetAttributes(item.Get(), info.dwFileAttributes);
    ThrowDoing(error, IDS_FAILED_DELETING, {path});
  }
  return {};
}

void ClearNameInside(const FolderBounds& bounds, const std::string& relative) {
  std::string leads = DeleteFileInside(bounds, relative);
  if (!leads.empty())
    throw RuntimeError(ERROR_CANT_ACCESS_FILE,
                       Message(IDS_NAME_LEADS_OUTSIDE, {Joined(bounds.Folder(), relative), leads}));
}

}  // namespace FileSystem
