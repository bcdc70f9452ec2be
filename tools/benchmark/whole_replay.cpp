#include "whole_replay.h"

#include <windows.h>

#include "figures.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

constexpr DWORD kMarkerWaitMs = 30000;

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What an operation touches, counted before it runs.
TreeCount Measure(const std::string& path) {
  if (IsFolder(path)) return CountTree(path);
  if (GetFileAttributesW(Widen(path).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return {0, 1, FileBytes(path)};
}

bool BareDeleteFile(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return true;
  // The game ships read-only files; DeleteFileW refuses those.
  return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(path.c_str());
}

bool BareWriteFile(const std::wstring& path, uint64_t size) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string bytes(static_cast<size_t>(size), 'r');
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// The packer reads the folder to pack from "in.txt": its short path, lower
// case, every backslash doubled.
bool WritePackerInput(const std::string& root, const std::string& folder) {
  std::wstring longPath = Widen(root + folder);
  std::wstring shortPath(GetShortPathNameW(longPath.c_str(), nullptr, 0), L'\0');
  shortPath.resize(GetShortPathNameW(longPath.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size())));
  std::string doubled;
  for (char c : ToLower(ToAnsi(Narrow(shortPath.empty() ? longPath : shortPath)))) {
    doubled += c;
    if (c == '\\') doubled += '\\';
  }
  UniqueFile file(CreateFileW(Widen(root + "in.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), doubled.data(), static_cast<DWORD>(doubled.size()), &written, nullptr);
}

bool WaitForFile(const std::string& path) {
  for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < kMarkerWaitMs; Sleep(20))
    if (GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

bool IsTool(WholeOperationKind kind) {
  return kind == WholeOperationKind::Extract || kind == WholeOperationKind::UnpackBfs ||
         kind == WholeOperationKind::Pack;
}

// The tools as the installer starts them, from the target's copies, in the target.
bool RunTool(const WholeOperation& operation, const std::string& root) {
  std::wstring folder = Widen(root);
  switch (operation.kind) {
    case WholeOperationKind::Extract:
      return RunQuietly(L"\"" + folder + L"unrar.exe\" x -o+ " + Widen(operation.from), root);
    case WholeOperationKind::UnpackBfs:
      return RunQuietly(L"\"" + folder + L"Bfsunpack.exe\" " + Widen(operation.from), root);
    case WholeOperationKind::Pack:
      return WritePackerInput(root, operation.from) && RunQuietly(L"\"" + folder + L"makebfs.exe\"", root) &&
             WaitForFile(root + "finished.txt");
    default: return false;
  }
}

bool RunBare(const WholeOperation& operation, const std::string& root) {
  std::wstring from = Widen(operation.fromTarget ? WithoutTrailingBackslash(root + operation.from) : operation.from);
  std::wstring to = Widen(root + operation.to);
  switch (operation.kind) {
    case WholeOperationKind::CreateFolder: return CreateDirectoryW(from.c_str(), nullptr);
    case WholeOperationKind::CopyFile: return CopyFileW(from.c_str(), to.c_str(), FALSE);
    case WholeOperationKind::CopyFolder: return BareCopyTree(from, to);
    case WholeOperationKind::DeleteFile: return BareDeleteFile(from);
    case WholeOperationKind::DeleteFolder: return BareDeleteTree(from);
    case WholeOperationKind::MoveFile:
    case WholeOperationKind::MoveFolder: return MoveFileW(from.c_str(), to.c_str());
    // A record lists what is installed, then writes its lines.
    case WholeOperationKind::WriteRecord:
      CountTree(WithoutTrailingBackslash(root));
      return BareWriteFile(to, operation.size);
    default: return false;
  }
}

std::string Describe(const WholeOperation& operation) {
  return std::string(DescriptionOf(operation.kind)) + " " + operation.from +
         (operation.to.empty() ? "" : " -> " + operation.to);
}

}  // namespace

const char* DescriptionOf(WholeOperationKind kind) {
  constexpr const char* kDescriptions[] = {"folder creations", "file copies", "folder copies", "file deletes",
                                           "folder deletes",   "file moves",  "folder moves",  "extractions",
                                           "BFS unpackings",   "packings",    "records"};
  return kDescriptions[static_cast<int>(kind)];
}

WholeReplay ReplayWholeRun(const WholeRun& run, const std::string& root) {
  WholeReplay replay;
  for (const WholeOperation& operation : run.operations) {
    KindTally& tally = replay.kinds[static_cast<int>(operation.kind)];
    ++tally.count;
    bool ok;
    if (IsTool(operation.kind)) {
      double start = Now();
      ok = RunTool(operation, root);
      replay.toolSeconds += Now() - start;
    } else {
      std::string subject = operation.kind == WholeOperationKind::WriteRecord ? root
                            : operation.fromTarget                            ? root + operation.from
                                                                              : operation.from;
      TreeCount touched = operation.kind == WholeOperationKind::CreateFolder ? TreeCount{} : Measure(subject);
      tally.moved.folders += touched.folders;
      tally.moved.files += touched.files;
      tally.moved.bytes += touched.bytes;
      double start = Now();
      ok = RunBare(operation, root);
      replay.seconds[operation.segment] += Now() - start;
    }
    if (!ok) replay.failed.push_back(Describe(operation));
  }
  replay.left = CountTree(WithoutTrailingBackslash(root));
  return replay;
}

double BareSeconds(const WholeReplay& replay) {
  double total = 0;
  for (double seconds : replay.seconds) total += seconds;
  return total;
}
