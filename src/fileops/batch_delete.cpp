#include "fileops/batch_delete.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// cmd expands "%" even inside quotes, and an 8.3 name keeps it: "100%ZEM7"
// must reach RMDIR as written, not as a variable's value.
std::string EscapedForBatch(const std::string& path) {
  std::string escaped;
  for (char c : path) escaped += c == '%' ? std::string("%%") : std::string(1, c);
  return escaped;
}

// The two commands in the code page cmd reads the file in. A path with a
// character that code page lacks would name another folder ("Gāmes" read as
// "Games"), so the short form is tried first, then the long one.
std::string BatchCommands(RunContext& run, const std::string& folder) {
  std::string shortPath = GetShortPath(run.reporter, folder);
  for (const std::string& path : {shortPath, folder}) {
    if (path.empty()) continue;
    // Quoted: without short names the long path may hold blanks, and an
    // unquoted "RMDIR /S /Q D:\Games\FlatOut - ZEM7" would remove "D:\Games\FlatOut".
    std::string target = Quoted(EscapedForBatch(path));
    if (auto bytes = ToCodePageExactly("DELTREE /Y " + target + "\r\nRMDIR /S /Q " + target + "\r\n", CP_OEMCP))
      return *bytes;
  }
  throw RuntimeError(
      static_cast<int32_t>(ERROR_NO_UNICODE_TRANSLATION),
      "The folder \"" + folder + "\" cannot be deleted: its path cannot be written in the command prompt's code page.");
}

// "DelFolder.bat" beside the folder (in its parent), or the first free
// "DelFolderN.bat" when a file of the user's holds that name; the file is
// created here, so that the name cannot be taken in between.
std::string WriteBatchFileBeside(const std::string& folder, const std::string& commands) {
  std::string parent = FileSystem::GetParentFolderName(folder);
  if (!parent.empty() && parent.back() == '\\') parent.pop_back();
  for (int attempt = 0;; ++attempt) {
    std::string path = parent + "\\DelFolder" + (attempt ? std::to_string(attempt) : "") + ".bat";
    if (CreateNewFile(path, commands)) return path;
  }
}

}  // namespace

void BatchDeleteFolder(RunContext& run, const std::string& folder) {
  // Nothing to delete: an empty path in the commands would name the current folder.
  if (!FileSystem::FolderExists(folder)) return;
  std::string batchFile = WriteBatchFileBeside(folder, BatchCommands(run, folder));
  std::string message;
  ShellAndWaitForTermination(run, Quoted(batchFile), kWindowMinimized, message, kNoTimeLimitMs);
  if (FileSystem::FileExists(batchFile)) FileSystem::RemoveFile(batchFile, true);
  // The commands' own outcome is not reported by cmd: the folder tells.
  if (FileSystem::FolderExists(folder))
    throw RuntimeError(static_cast<int32_t>(ERROR_DIR_NOT_EMPTY),
                       "The folder \"" + folder + "\" could not be deleted.");
}
