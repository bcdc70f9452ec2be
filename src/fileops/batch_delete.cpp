#include "fileops/batch_delete.h"

#include "fileops/file_system.h"
#include "support/path_helpers.h"
#include "support/process_runner.h"
#include "support/text_file.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string BatchFilePathBeside(const std::string& folder) {
  std::string parent = FileSystem::GetParentFolderName(folder);
  if (!parent.empty() && parent.back() == '\\') parent.pop_back();
  return parent + "\\DelFolder.bat";
}

}  // namespace

void BatchDeleteFolder(RunContext& run, const std::string& folder) {
  // Nothing to delete: an empty path in the commands would name the current folder.
  if (!FileSystem::FolderExists(folder)) return;
  std::string target = GetShortPath(run.reporter, folder);
  if (target.empty()) target = folder;
  // Quoted: without short names the long path may hold blanks, and an
  // unquoted "RMDIR /S /Q D:\Games\FlatOut - ZEM7" would remove "D:\Games\FlatOut".
  std::string batchFile = BatchFilePathBeside(folder);
  WriteAnsiText(batchFile, "DELTREE /Y " + Quoted(target) + "\r\nRMDIR /S /Q " + Quoted(target) + "\r\n");

  std::string message;
  ShellAndWaitForTermination(run, Quoted(batchFile), kWindowMinimized, message, kNoTimeLimitMs);
  if (FileSystem::FileExists(batchFile)) FileSystem::RemoveFile(batchFile, true);
}
