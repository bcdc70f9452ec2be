#pragma once
// The logged, fault-tolerant file and folder operations of the installation.
// Each tests its subject, logs one line before it acts, and reports its own
// failures, so that its caller always goes on with the next statement.
#include <string>

#include "fileops/file_system.h"
#include "support/run_context.h"

// withParents: missing parent folders are made too, under the one entry.
void SafeCreateFolder(RunContext& run, const std::string& path, bool withParents = false);
void SafeDeleteFolder(RunContext& run, const std::string& path);
void SafeCopyFolder(RunContext& run, const std::string& source, const std::string& destination, bool overwrite);
// SafeCopyFolder for a copy that is only read and then deleted: its files
// become second names of the source's where the volume allows (see
// FileSystem::CopyFolderAsLinks). Its entry and its failures are the same.
void SafeCopyFolderAsLinks(RunContext& run, const std::string& source, const std::string& destination, bool overwrite,
                           FileSystem::LinkedCopy& links);
void SafeMoveFolder(RunContext& run, const std::string& source, const std::string& destination);
void SafeDeleteFile(RunContext& run, const std::string& path, bool force);
void SafeCopyFile(RunContext& run, const std::string& source, const std::string& destination, bool overwrite);
void SafeMoveFile(RunContext& run, const std::string& source, const std::string& destination);
