#include "fileops/folder_delete.h"

#include <windows.h>

#include "fileops/file_system.h"
#include "support/runtime_error.h"

void DeleteWholeFolder(const std::string& folder, const FileSystem::Pulse& pulse) {
  if (!FileSystem::FolderExists(folder)) return;
  try {
    FileSystem::DeleteFolder(folder, true, pulse);
  } catch (const RuntimeError&) {
    // What could not go is told by the folder that is left, below.
  }
  if (FileSystem::FolderExists(folder))
    throw RuntimeError(static_cast<int32_t>(ERROR_DIR_NOT_EMPTY), Message(IDS_FOLDER_NOT_DELETED, {folder}));
}
