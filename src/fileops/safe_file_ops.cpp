#include "fileops/safe_file_ops.h"

#include "fileops/file_system.h"
#include "support/error_report.h"
#include "support/progress_log.h"

// A missing source of a copy or move is reported with no error pending
// (number 0): the user sees which operation could not run, and the
// installation goes on.

void SafeCreateFolder(std::string path) {
  Trap("modZEM7::SafeCreateFolder", [&] {
    if (FileSystem::FolderExists(path)) return;
    ProgressLog("Creating folder: " + path);
    FileSystem::CreateFolder(path);
  });
}

void SafeDeleteFolder(std::string path) {
  Trap("modZEM7::SafeDeleteFolder", [&] {
    if (!FileSystem::FolderExists(path)) return;
    ProgressLog("Deleting folder: " + path);
    FileSystem::DeleteFolder(path, true);
  });
}

void SafeCopyFolder(std::string source, std::string destination, bool overwrite) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFolder";
  Trap(kLocation, [&] {
    // The destination exists afterwards even when there is nothing to copy.
    if (!FileSystem::FolderExists(destination)) FileSystem::CreateFolder(destination);
    if (!FileSystem::FolderExists(source)) return ReportError(kLocation);
    ProgressLog("Copying Folder: " + source + " >> " + destination);
    FileSystem::CopyFolder(source, destination, overwrite);
  });
}

void SafeMoveFolder(std::string source, std::string destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFolder";
  Trap(kLocation, [&] {
    if (!FileSystem::FolderExists(source)) return ReportError(kLocation);
    ProgressLog("Moving Folder: " + source + " >> " + destination);
    FileSystem::MoveFolder(source, destination);
  });
}

void SafeDeleteFile(std::string path, bool force) {
  Trap("modZEM7::SafeDeleteFile", [&] {
    if (!FileSystem::FileExists(path)) return ProgressLog("Delete File missing (Not a problem): " + path);
    ProgressLog("Deleting File: " + path);
    FileSystem::RemoveFile(path, force);
  });
}

void SafeCopyFile(std::string source, std::string destination, bool overwrite) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFile";
  Trap(kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      ProgressLog("** ERROR: Cannot copy file due to it missing: " + source);
      return ReportError(kLocation);
    }
    ProgressLog("Copying File: " + source);
    FileSystem::CopyOneFile(source, destination, overwrite);
  });
}

void SafeMoveFile(std::string source, std::string destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFile";
  Trap(kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      ProgressLog("** ERROR: Cannot move file due to it missing: " + source);
      return ReportError(kLocation);
    }
    ProgressLog("Moving File: " + source);
    FileSystem::MoveOneFile(source, destination);
  });
}
