#include "common/temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/text.h"
#include "support/text_file.h"

namespace fs = std::filesystem;

namespace {

fs::path AsPath(const std::string& utf8) { return fs::path(Widen(utf8)); }

void MakeWritable(const fs::path& root) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored))
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

void RemoveTreeWithLinks(const std::string& folder);

}  // namespace

void RemoveTree(const std::string& folder) {
  std::error_code ignored;
  MakeWritable(AsPath(folder));
  fs::remove_all(AsPath(folder), ignored);
  RemoveTreeWithLinks(folder);
}

TempFolder::TempFolder(const std::string& prefix, const std::string& baseFolder) {
  static std::atomic<int> counter{0};
  fs::path base = baseFolder.empty() ? fs::temp_directory_path() : AsPath(baseFolder);
  std::string name = prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  path_ = Narrow((base / Widen(name)).wstring());
  RemoveTree(path_);
  fs::create_directories(AsPath(path_));
  path_ = Narrow(fs::canonical(AsPath(path_)).wstring());
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(AsPath(path).parent_path());
  std::ofstream out(AsPath(path), std::ios::binary);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(AsPath(path), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool FileExists(const std::string& path) { return fs::is_regular_file(AsPath(path)); }
bool FolderExists(const std::string& path) { return fs::is_directory(AsPath(path)); }
void MakeFolders(const std::string& path) { fs::create_directories(AsPath(path)); }
void MakeReadOnly(const std::string& path) { SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY); }

std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> files;
  fs::path root = AsPath(folder);
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = Narrow(fs::relative(entry.path(), root).wstring());
    files.push_back(entry.is_directory() ? relative + "\\" : relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> TreeContents(const std::string& folder) {
  std::vector<std::string> contents;
  for (const std::string& item : ListTree(folder))
    contents.push_back(item.ends_with("\\") ? item : item + "=" + ReadFile(folder + "\\" + item));
  return contents;
}

std::string ReadLogText(const std::string& logPath) {
  std::string bytes = ReadFile(logPath);
  if (!bytes.starts_with(kUtf8ByteOrderMark)) return FromAnsi(bytes);
  return bytes.substr(kUtf8ByteOrderMark.size());
}

std::vector<std::string> LogTexts(const std::string& logPath) {
  std::vector<std::string> texts;
  std::istringstream lines(ReadLogText(logPath));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "hh:mm:ss : 42% : text"; continuation lines of a two-line entry stand bare.
    size_t first = line.find(" : ");
    size_t second = first == std::string::npos ? first : line.find(" : ", first + 3);
    bool stamped = second != std::string::npos && line.substr(first + 3, second - first - 3).ends_with('%');
    texts.push_back(stamped ? line.substr(second + 3) : line);
  }
  return texts;
}

namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);

// Wine's own converter of a Windows path to a Linux one; nothing on Windows.
UnixFileName WineUnixFileName() {
  return reinterpret_cast<UnixFileName>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name"));
}

std::string UnixName(const std::string& path) {
  char* name = WineUnixFileName()(Widen(path).c_str());
  std::string result = name ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Runs a Linux program from Wine, which cannot wait for it: the caller waits
// for what it does.
bool StartLinuxProgram(const std::string& commandLine, const std::function<bool()>& done) {
  std::wstring command = Widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  for (int waited = 0; waited < 200; ++waited) {
    if (done()) return true;
    Sleep(50);
  }
  return false;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// Under Wine a Linux symbolic link, such as the prefix's own profile folders
// are, made by Linux's own ln; on Windows a Windows one.
bool MakeLink(const std::string& link, const std::string& target) {
  if (!WineUnixFileName()) {
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (FolderExists(target)) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    return CreateSymbolicLinkW(Widen(link).c_str(), Widen(target).c_str(), flags);
  }
  return StartLinuxProgram("Z:\\bin\\ln -s \"" + UnixName(target) + "\" \"" + UnixName(link) + "\"",
                           [&] { return Exists(link); });
}

// Through its name Wine would delete the file a link names: Linux's rm takes the link.
bool RemoveLink(const std::string& link) {
  if (!WineUnixFileName())
    return RemoveDirectoryW(Widen(link).c_str()) || DeleteFileW(Widen(link).c_str());
  return StartLinuxProgram("Z:\\bin\\rm -f \"" + UnixName(link) + "\"", [&] { return !Exists(link); });
}

namespace {

bool DriveExists(char letter) {
  return GetDriveTypeW(Widen(std::string(1, letter) + ":\\").c_str()) != DRIVE_NO_ROOT_DIR;
}

// Wine names a folder by the drive it finds in a list of drives it reads
// again only once a second. A drive whose folder is deleted lingers in that
// list, and a folder made next can get the deleted one's inode: for that
// moment it would be named as the root of a drive that is gone.
bool NamedThroughDrive(const std::string& folder, char letter) {
  HANDLE item = CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (item == INVALID_HANDLE_VALUE) return false;
  wchar_t final[MAX_PATH + 8] = {};
  DWORD length = GetFinalPathNameByHandleW(item, final, MAX_PATH + 8, FILE_NAME_NORMALIZED);
  CloseHandle(item);
  std::wstring name(final, length < MAX_PATH + 8 ? length : 0);
  if (name.starts_with(L"\\\\?\\")) name.erase(0, 4);
  return name.size() >= 2 && towupper(name[0]) == static_cast<wchar_t>(letter) && name[1] == L':';
}

}  // namespace

DriveAlias::DriveAlias(const std::string& folder) {
  char letter = 'L';
  while (letter < 'Y' && DriveExists(letter)) ++letter;
  if (DriveExists(letter)) return;
  std::string drive = std::string(1, letter) + ":";
  letter_ = letter;
  folder_ = folder;
  bool made = WineUnixFileName()
                  ? StartLinuxProgram("Z:\\bin\\ln -s \"" + UnixName(folder) + "\" \"" + DeviceLink() + "\"",
                                      [&] { return DriveExists(letter); })
                  : DefineDosDeviceW(0, Widen(drive).c_str(), Widen(folder).c_str());
  if (!made) letter_ = 0;
}

DriveAlias::~DriveAlias() {
  if (!letter_) return;
  char letter = letter_;
  if (WineUnixFileName())
    StartLinuxProgram("Z:\\bin\\rm -f \"" + DeviceLink() + "\"",
                      [&] { return !DriveExists(letter) && !NamedThroughDrive(folder_, letter); });
  else
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, Widen(std::string(1, letter) + ":").c_str(), nullptr);
}

std::string LinuxRootAlias(const std::string& path) {
  if (!WineUnixFileName()) return {};
  std::string alias = "Z:" + UnixName(path);
  std::replace(alias.begin(), alias.end(), '/', '\\');
  return alias;
}

// The prefix's dosdevices folder holds one link per drive, named "l:".
std::string DriveAlias::DeviceLink() const {
  wchar_t prefix[MAX_PATH] = {};
  GetEnvironmentVariableW(L"WINECONFIGDIR", prefix, MAX_PATH);
  std::string config = Narrow(prefix);
  if (config.starts_with("\\??\\")) config = config.substr(4);
  return UnixName(config + "\\dosdevices") + "/" + static_cast<char>(letter_ - 'A' + 'a') + ":";
}

namespace {

// Wine cannot remove a Linux symbolic link by itself, and a link left inside
// stops the removal of its folder: Linux's rm takes what is left, and never
// follows a link.
void RemoveTreeWithLinks(const std::string& folder) {
  if (WineUnixFileName() && Exists(folder))
    StartLinuxProgram("Z:\\bin\\rm -rf \"" + UnixName(folder) + "\"", [&] { return !Exists(folder); });
}

}  // namespace

std::string ProgramFilesFolder() {
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", path, MAX_PATH);
  return Narrow(path);
}
