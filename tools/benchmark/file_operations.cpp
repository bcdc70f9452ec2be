#include "file_operations.h"

#include <windows.h>

#include <exception>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

struct EntryPattern {
  const char* prefix;
  OperationKind kind;
  bool hasDestination;
};

// The lines SafeCreateFolder, SafeCopyFolder, SafeDeleteFolder and SafeMoveFolder log.
constexpr EntryPattern kPatterns[] = {{"Creating folder: ", OperationKind::CreateFolder, false},
                                      {"Copying Folder: ", OperationKind::CopyFolder, true},
                                      {"Deleting folder: ", OperationKind::DeleteFolder, false},
                                      {"Moving Folder: ", OperationKind::MoveFolder, true}};

bool Below(const std::string& path, const std::string& target) {
  return path.size() > target.size() && EqualsIgnoreCase(path.substr(0, target.size()), target);
}

bool IsDots(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

bool RunBare(const FileOperation& operation, const std::string& root) {
  std::wstring from = Widen(root + operation.from);
  std::wstring to = Widen(root + ResolvedDestination(operation));
  switch (operation.kind) {
    case OperationKind::CreateFolder: return CreateDirectoryW(from.c_str(), nullptr);
    case OperationKind::CopyFolder: return BareCopyTree(from, to);
    case OperationKind::DeleteFolder: return BareDeleteTree(from);
    case OperationKind::MoveFolder: return MoveFileW(from.c_str(), to.c_str());
  }
  return false;
}

// --- The command interpreter: one "cmd /c" per operation, as a batch file would.

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string CommandFor(const FileOperation& operation, const std::string& root) {
  std::string from = Quoted(root + operation.from);
  std::string to = Quoted(root + ResolvedDestination(operation));
  switch (operation.kind) {
    case OperationKind::CreateFolder: return "md " + from;
    case OperationKind::CopyFolder: return "xcopy /E /I /Q /Y " + from + " " + to;
    case OperationKind::DeleteFolder: return "rd /s /q " + from;
    case OperationKind::MoveFolder: return "move " + from + " " + to;
  }
  return {};
}

// --- Ours: the installer's safe operations, logging included. They report
// their failures through the user interface rather than returning them.

bool RunSafe(const FileOperation& operation, const std::string& root, RunContext& run) {
  std::string from = root + operation.from, to = root + operation.to;
  switch (operation.kind) {
    case OperationKind::CreateFolder: SafeCreateFolder(run, from); break;
    case OperationKind::CopyFolder: SafeCopyFolder(run, from, to, true); break;
    case OperationKind::DeleteFolder: SafeDeleteFolder(run, from); break;
    case OperationKind::MoveFolder: SafeMoveFolder(run, from, to); break;
  }
  return true;
}

}  // namespace

// --- The bare Win32 loop: what any program would write, with no checks or logging.

bool BareCopyTree(const std::wstring& from, const std::wstring& to) {
  CreateDirectoryW(to.c_str(), nullptr);  // copies merge into an existing folder
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW((from + L"\\*").c_str(), &found));
  if (!search) return false;
  bool ok = true;
  do {
    if (IsDots(found.cFileName)) continue;
    std::wstring source = from + L"\\" + found.cFileName, destination = to + L"\\" + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ok = BareCopyTree(source, destination) && ok;
    else
      ok = CopyFileW(source.c_str(), destination.c_str(), FALSE) && ok;
  } while (FindNextFileW(search.Get(), &found));
  return ok;
}

bool BareDeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  {
    UniqueFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return false;
    do {
      if (IsDots(found.cFileName)) continue;
      std::wstring path = folder + L"\\" + found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!BareDeleteTree(path)) return false;
        continue;
      }
      // The game ships read-only files; DeleteFileW refuses those.
      if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(path.c_str())) return false;
    } while (FindNextFileW(search.Get(), &found));
  }
  return RemoveDirectoryW(folder.c_str());
}

// Run in this program's console, as from a batch file: a console of its own
// would cost every command a new console host. Their chatter goes to NUL.
bool RunQuietly(std::wstring commandLine, const std::string& folder) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  UniqueFile nul(
      CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = nul.Get();
  startup.hStdError = nul.Get();
  PROCESS_INFORMATION started{};
  std::wstring currentFolder = Widen(folder);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : currentFolder.c_str(), &startup, &started))
    return false;
  UniqueHandle process(started.hProcess), thread(started.hThread);
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.Get(), &exitCode);
  return exitCode == 0;
}

std::vector<FileOperation> OperationsFromEntries(const std::vector<std::string>& entries, const std::string& target) {
  std::vector<FileOperation> operations;
  for (const std::string& entry : entries) {
    for (const EntryPattern& pattern : kPatterns) {
      if (!entry.starts_with(pattern.prefix)) continue;
      std::string rest = entry.substr(strlen(pattern.prefix));
      size_t arrow = pattern.hasDestination ? rest.find(" >> ") : std::string::npos;
      std::string from = arrow == std::string::npos ? rest : rest.substr(0, arrow);
      std::string to = arrow == std::string::npos ? "" : rest.substr(arrow + 4);
      if (!Below(from, target) || (pattern.hasDestination && !Below(to, target))) break;
      operations.push_back({pattern.kind, from.substr(target.size()), to.empty() ? to : to.substr(target.size())});
      break;
    }
  }
  return operations;
}

int Count(const std::vector<FileOperation>& operations, OperationKind kind) {
  int count = 0;
  for (const FileOperation& operation : operations) count += operation.kind == kind;
  return count;
}

std::string ResolvedDestination(const FileOperation& operation) {
  if (operation.to.empty() || operation.to.back() != '\\') return operation.to;
  return operation.to + operation.from.substr(operation.from.find_last_of('\\') + 1);
}

const char* NameOf(ReplayWay way) {
  switch (way) {
    case ReplayWay::SafeOperations: return "ours";
    case ReplayWay::BareWin32: return "bare Win32";
    case ReplayWay::CommandInterpreter: return "cmd";
  }
  return "";
}

int Replay(const std::vector<FileOperation>& operations, const std::string& root, ReplayWay way, RunContext& run) {
  int failures = 0;
  for (const FileOperation& operation : operations) {
    bool ok = way == ReplayWay::SafeOperations ? RunSafe(operation, root, run)
              : way == ReplayWay::BareWin32    ? RunBare(operation, root)
                                               : RunQuietly(L"cmd.exe /c " + Widen(CommandFor(operation, root)));
    failures += !ok;
  }
  return failures;
}

TreeCount CountTree(const std::string& folder) {
  TreeCount count;
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW(Widen(folder + "\\*").c_str(), &found));
  if (!search) return count;
  do {
    if (IsDots(found.cFileName)) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      TreeCount below = CountTree(folder + "\\" + Narrow(found.cFileName));
      count.folders += 1 + below.folders;
      count.files += below.files;
      count.bytes += below.bytes;
    } else {
      ++count.files;
      count.bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileW(search.Get(), &found));
  return count;
}

void DeleteQuietly(const std::string& folder) {
  try {
    FileSystem::DeleteFolder(folder, true);
  } catch (const std::exception&) {
  }
}

uint64_t FileBytes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
