#include "fileops/safe_file_ops.h"

#include "fileops/file_system.h"
#include "support/keep_alive.h"
#include "support/runtime_error.h"

namespace {

// A missing source of a copy or move is reported with no system error
// (number 0), saying what was missing: the user sees which operation could
// not run, and the installation goes on.
void ReportMissing(RunContext& run, const char* location, TextId missing, const std::string& path) {
  run.reporter.Report(location, RuntimeError(0, Message(missing, {path})));
}

// The system's reason alone ("There is not enough space on the disk.") does
// not say which file failed: the operation's items go with it, the reason
// first (%1).
template <typename Body>
void NamingItems(TextId operation, const std::vector<Message>& items, Body&& body) {
  try {
    body();
  } catch (const RuntimeError& error) {
    std::vector<Message> inserts = {error.Description()};
    inserts.insert(inserts.end(), items.begin(), items.end());
    throw RuntimeError(error.Number(), Message(operation, std::move(inserts)));
  }
}

}  // namespace

void SafeCreateFolder(RunContext& run, const std::string& path, bool withParents) {
  Trap(run.reporter, "modZEM7::SafeCreateFolder", [&] {
    if (FileSystem::FolderExists(path)) return;
    run.log.Write({IDS_LOG_CREATING_FOLDER, {path}});
    NamingItems(IDS_FAILED_CREATING_FOLDER, {path},
                [&] { withParents ? FileSystem::CreateFolderPath(path) : FileSystem::CreateFolder(path); });
  });
}

void SafeDeleteFolder(RunContext& run, const std::string& path) {
  Trap(run.reporter, "modZEM7::SafeDeleteFolder", [&] {
    if (!FileSystem::FolderExists(path)) return;
    run.log.Write({IDS_LOG_DELETING_FOLDER, {path}});
    NamingItems(IDS_FAILED_DELETING_FOLDER, {path}, [&] { FileSystem::DeleteFolder(path, true, KeepAlive(run)); });
  });
}

namespace {

template <typename Copy>
void CopyFolderLogged(RunContext& run, const std::string& source, const std::string& destination, Copy&& copy) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFolder";
  Trap(run.reporter, kLocation, [&] {
    // The destination exists afterwards even when there is nothing to copy.
    if (!FileSystem::FolderExists(destination)) FileSystem::CreateFolder(destination);
    if (!FileSystem::FolderExists(source)) return ReportMissing(run, kLocation, IDS_MISSING_FOLDER_TO_COPY, source);
    run.log.Write({IDS_LOG_COPYING_FOLDER, {source, destination}});
    NamingItems(IDS_FAILED_COPYING_FOLDER, {source, destination}, copy);
  });
}

}  // namespace

void SafeCopyFolder(RunContext& run, const std::string& source, const std::string& destination, bool overwrite) {
  CopyFolderLogged(run, source, destination,
                   [&] { FileSystem::CopyFolder(source, destination, overwrite, KeepAlive(run)); });
}

void SafeCopyFolderAsLinks(RunContext& run, const std::string& source, const std::string& destination, bool overwrite,
                           FileSystem::LinkedCopy& links) {
  CopyFolderLogged(run, source, destination,
                   [&] { FileSystem::CopyFolderAsLinks(source, destination, overwrite, links, KeepAlive(run)); });
}

void SafeMoveFolder(RunContext& run, const std::string& source, const std::string& destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFolder";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FolderExists(source)) return ReportMissing(run, kLocation, IDS_MISSING_FOLDER_TO_MOVE, source);
    run.log.Write({IDS_LOG_MOVING_FOLDER, {source, destination}});
    NamingItems(IDS_FAILED_MOVING_FOLDER, {source, destination}, [&] { FileSystem::MoveFolder(source, destination); });
  });
}

void SafeDeleteFile(RunContext& run, const std::string& path, bool force) {
  Trap(run.reporter, "modZEM7::SafeDeleteFile", [&] {
    if (!FileSystem::FileExists(path)) return run.log.Write({IDS_LOG_DELETE_MISSING, {path}});
    run.log.Write({IDS_LOG_DELETING_FILE, {path}});
    NamingItems(IDS_FAILED_DELETING_FILE, {path}, [&] { FileSystem::RemoveFile(path, force); });
  });
}

void SafeCopyFile(RunContext& run, const std::string& source, const std::string& destination, bool overwrite) {
  constexpr const char* kLocation = "modZEM7::SafeCopyFile";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      run.log.Write({IDS_LOG_COPY_MISSING, {source}});
      return ReportMissing(run, kLocation, IDS_MISSING_FILE_TO_COPY, source);
    }
    run.log.Write({IDS_LOG_COPYING_FILE, {source}});
    NamingItems(IDS_FAILED_COPYING_FILE, {source, destination},
                [&] { FileSystem::CopyOneFile(source, destination, overwrite, KeepAlive(run)); });
  });
}

void SafeMoveFile(RunContext& run, const std::string& source, const std::string& destination) {
  constexpr const char* kLocation = "modZEM7::SafeMoveFile";
  Trap(run.reporter, kLocation, [&] {
    if (!FileSystem::FileExists(source)) {
      run.log.Write({IDS_LOG_MOVE_MISSING, {source}});
      return ReportMissing(run, kLocation, IDS_MISSING_FILE_TO_MOVE, source);
    }
    run.log.Write({IDS_LOG_MOVING_FILE, {source}});
    NamingItems(IDS_FAILED_MOVING_FILE, {source, destination},
                [&] { FileSystem::MoveOneFile(source, destination, KeepAlive(run)); });
  });
}
