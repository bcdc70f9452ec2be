#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/progress_log.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kGameFiles[] = {"FlatOut.exe", "Common1.bfs", "Common2.bfs"};

constexpr const char* kUnpackLocation = "modZEM7::UnpackZEM7Files";
constexpr const char* kTrackArchive = "zem7trackfiles.rar";
constexpr const char* kTrackTree = "data\\tracks";

void RunExtractor(RunContext& run, const std::string& archive) {
  std::string message;
  ProcessResult result = ShellAndWaitForTermination(run, ToolCommand(run, "unrar.exe") + " x -o+ " + archive,
                                                    kWindowMinimized, message, kNoTimeLimitMs);
  if (result.end == ProcessEnd::Ended && result.exitCode != 0)
    run.reporter.Report(kUnpackLocation,
                        RuntimeError(static_cast<int32_t>(result.exitCode),
                                     Message(IDS_EXTRACT_FAILED, {archive, std::to_string(result.exitCode)})));
}

// A failed extraction is reported and the next one still runs; the copied
// archive goes either way, as the download folder keeps the original.
void Extract(RunContext& run, const std::string& archive) {
  RunExtractor(run, archive);
  SafeDeleteFile(run, run.plan.zem7Folder + archive, true);
}

// A tool may write to a file in UTF-16, which has zero bytes in every
// ASCII character, and may begin with a byte-order mark.
std::string FromUtf16(const std::string& bytes) {
  std::wstring wide(bytes.size() / 2, L'\0');
  std::copy_n(bytes.data(), wide.size() * 2, reinterpret_cast<char*>(wide.data()));
  if (wide.starts_with(L'\xFEFF')) wide.erase(0, 1);
  return Narrow(wide);
}

// The names the extractor will write, by its own bare list ("lb"): one per
// line, relative to the folder it extracts into, in UTF-16 or in the
// console's code page. Nothing when it could not list the archive, when a
// code page's name has bytes beyond ASCII, which the code pages read each
// their own way, or when a name holds a "?", which no file's name holds and
// a code page writes for a letter it lacks: a name read wrongly would leave
// its file shared.
std::optional<std::vector<std::string>> ListArchive(RunContext& run, const std::string& archive) {
  std::string bytes;
  ProcessResult listed =
      ShellAndReadOutput(run, ToolCommand(run, "unrar.exe") + " lb " + archive, kWindowMinimized, bytes);
  if (listed.end != ProcessEnd::Ended || listed.exitCode != 0) return std::nullopt;
  bool wide = bytes.find('\0') != std::string::npos;
  if (!wide && std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    return std::nullopt;
  std::string output = wide ? FromUtf16(bytes) : bytes;
  std::vector<std::string> names;
  for (size_t start = 0, end; start < output.size(); start = end + 1) {
    end = std::min(output.find('\n', start), output.size());
    std::string name = Trim(output.substr(start, end - start), '\r');
    if (name.find('?') != std::string::npos) return std::nullopt;
    if (!name.empty()) names.push_back(name);
  }
  if (names.empty()) return std::nullopt;
  return names;
}

// The extractor writes over a file in place, through every name it has: the
// new tracks' files, second names of their groups', would change the groups
// and every other track made from them. Each file it will write gets a file
// of its own first. Only the track tree holds files with other names of the
// run's making, so a name that leads elsewhere is passed over. Which names
// share a file is what this run linked, whatever the drive says. Without a
// list that can be trusted, every file of the tree gets its own.
void GiveOwnFilesBeforeExtracting(RunContext& run, const std::string& archive) {
  // Both sides in the same full form, whatever form the folder was typed in.
  std::string tree = GetAbsolutePathName(run.plan.zem7Folder + kTrackTree);
  // Keyed as the run linked them: the folder as planned, not as made full.
  auto linkedByRun = [&](const std::string& full) {
    return run.facts.linkedTrackNames.contains(NameKey(run.plan.zem7Folder + kTrackTree + full.substr(tree.size())));
  };
  std::optional<std::vector<std::string>> names = ListArchive(run, archive);
  if (!names) return FileSystem::MakeFilesOfTheirOwn(tree, KeepAlive(run), linkedByRun);
  // A listed name that is not there is a new file or folder, or one read
  // wrongly, which would leave the file it stands for shared: every file
  // beside it gets its own. A folder that is not there holds no shared file.
  std::set<std::string> unsureFolders;
  for (const std::string& name : *names) {
    std::string path = GetAbsolutePathName(run.plan.zem7Folder + name);
    if (!ToUpper(path).starts_with(ToUpper(tree + "\\"))) continue;
    if (GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES)
      FileSystem::MakeFileOfItsOwn(path, linkedByRun(path));
    else if (std::string folder = FileSystem::GetParentFolderName(path); FileSystem::FolderExists(folder))
      unsureFolders.insert(folder);
  }
  for (const std::string& folder : unsureFolders)
    FileSystem::MakeFilesOfTheirOwn(folder, KeepAlive(run), linkedByRun, false);
}

// A download refused before anything changed: the user is told which file,
// and that the mod must be downloaded again.
bool RefuseDownload(RunContext& run, const Message& what) {
  run.ui.ShowMessage(what, IDS_TITLE_INSTALLER, MB_OK | MB_ICONHAND);
  return false;
}

}  // namespace

bool TestModArchives(RunContext& run) {
  run.log.Write(IDS_LOG_TESTING);
  const std::string& folder = run.plan.installerFolder;
  for (const char* archive : kDownloadArchives) {
    std::string message;
    ProcessResult test =
        ShellAndWaitForTermination(run, Quoted(folder + "\\unrar.exe") + " t -idq " + Quoted(folder + "\\" + archive),
                                   kWindowMinimized, message, kNoTimeLimitMs);
    if (test.end != ProcessEnd::Ended) return RefuseDownload(run, Message(IDS_TEST_NOT_STARTED, {archive}));
    if (test.exitCode != 0)
      return RefuseDownload(run, Message(IDS_ARCHIVE_DAMAGED, {archive, std::to_string(test.exitCode)}));
  }
  return true;
}

void CopyFlatOutFiles(RunContext& run) {
  Trap(run.reporter, "modZEM7::CopyFlatOutFiles", [&] {
    run.log.Write(IDS_LOG_COPYING_GAME);
    for (const char* file : kGameFiles) SafeCopyFile(run, run.plan.gameFolder + file, run.plan.zem7Folder, true);
  });
}

void CopyZEM7Files(RunContext& run) {
  Trap(run.reporter, "modZEM7::CopyZEM7Files", [&] {
    run.log.Write(IDS_LOG_COPYING_MOD);
    for (const char* file : kDownloadFiles)
      SafeCopyFile(run, run.plan.installerFolder + "\\" + file, run.plan.zem7Folder, true);
  });
}

std::string ToolCommand(const RunContext& run, const std::string& tool) { return Quoted(run.plan.zem7Folder + tool); }

void ChangeToZEM7GameFolder(RunContext& run) {
  // Setting the full path makes its drive the current drive as well, so the
  // tools' bare file names resolve in the target folder.
  if (!SetCurrentDirectoryW(Widen(run.plan.zem7Folder).c_str())) ThrowLastError();
}

void UnpackZEM7SystemFiles(RunContext& run) {
  Trap(run.reporter, kUnpackLocation, [&] {
    // The log line is shared with the track archive's step.
    run.log.Write(IDS_LOG_UNPACKING_TRACKS);
    ChangeToZEM7GameFolder(run);
    Extract(run, "zem7systemfiles.rar");
    Extract(run, "zem7makebfs.rar");
  });
}

// No write may go through a name the new tracks share with their groups:
// where a file cannot get its own, nothing is extracted.
void UnpackZEM7TrackFiles(RunContext& run) {
  Trap(run.reporter, kUnpackLocation, [&] {
    run.log.Write(IDS_LOG_UNPACKING_TRACKS);
    ChangeToZEM7GameFolder(run);
    if (TrapResult(run.reporter, kUnpackLocation, false, [&] {
          GiveOwnFilesBeforeExtracting(run, kTrackArchive);
          return true;
        }))
      RunExtractor(run, kTrackArchive);
    SafeDeleteFile(run, run.plan.zem7Folder + kTrackArchive, true);
  });
}
