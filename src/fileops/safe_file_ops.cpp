#include "fileops/safe_file_ops.h"

#include "fileops/file_system.h"
#include "support/keep_alive.h"

// A missing source of a copy or move is reported with no error pending
// (number 0): the user sees which operation could not run, and the
// installation goes on.

void SafeCreateFolder(RunContext& run, const std::string& path, bool withParents) {
  Trap(run.reporter, "modZEM7::SafeCreateFolder", [&] {
    if (FileSystem::FolderExists(path)) return;
    run.log.Write("Creating folder: " + path);
    withParents ? FileSystem::CreateFolderPath(path) : FileSystem::CreateFolder(path);
  });
}

void SafeDeleteFolder(RunContext& run, const std::string& path) {
  Trap(run.reporter, "modZEM7::SafeDeleteFolder", [&] {
    if (!FileSystem::FolderExists(path)) return;
    run.log.Write("Deleting folder: " + path);
    FileSystem::DeleteFolder(path, true, KeepAlive(run));
  });
}

void SafeCopyFolder(RunContext& run, const std::string& source, const std::string& destination, bool overwrite) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFolder";
  Trap(run.reporter, kLocation, [&] {
    // The destination exists afterwards even when there is nothing to copy.
    if (!FileSystem::FolderExists(destination)) FileSystem::CreateFolder(destination);
    if (!FileSystem::FolderExists(source)) return run.reporter.Report(kLocation);
    run.log.Write("Copying Folder: " + source + " >> " + destination);
    FileSystem::CopyFolder(source, destination, overwrite, KeepAlive(run));
  });
}

void SafeMoveFolder(RunContext& run, const std::string& source, const std::string& destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFolder";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FolderExists(source)) return run.reporter.Report(kLocation);
    run.log.Write("Moving Folder: " + source + " >> " + destination);
    FileSystem::MoveFolder(source, destination);
  });
}

void SafeDeleteFile(RunContext& run, const std::string& path, bool force) {
  Trap(run.reporter, "modZEM7::SafeDeleteFile", [&] {
    if (!FileSystem::FileExists(path)) return run.log.Write("Delete File missing (Not a problem): " + path);
    run.log.Write("Deleting File: " + path);
    FileSystem::RemoveFile(path, force);
  });
}

void SafeCopyFile(RunContext& run, const std::string& source, const std::string& destination, bool overwrite) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFile";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      run.log.Write("** ERROR: Cannot copy file due to it missing: " + source);
      return run.reporter.Report(kLocation);
    }
    run.log.Write("Copying File: " + source);
    FileSystem::CopyOneFile(source, destination, overwrite, KeepAlive(run));
  });
}

void SafeMoveFile(RunContext& run, const std::string& source, const std::string& destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFile";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      run.log.Write("** ERROR: Cannot move file due to it missing: " + source);
      return run.reporter.Report(kLocation);
    }
    run.log.Write("Moving File: " + source);
    FileSystem::MoveOneFile(source, destination, KeepAlive(run));
  });
}
