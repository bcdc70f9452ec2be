#pragma once
// The folder operations of the installation's file-heavy steps, read back from
// the progress entries the safe operations log, and replayed on a fresh tree
// in three ways: through the safe operations again, through a bare loop over
// the Win32 file functions, and through the command interpreter.
#include <cstdint>
#include <string>
#include <vector>

#include "support/run_context.h"

enum class OperationKind { CreateFolder, CopyFolder, DeleteFolder, MoveFolder };

struct FileOperation {
  OperationKind kind;
  std::string from;  // relative to the target folder
  std::string to;    // relative, as logged: a trailing backslash means "into this folder"
};

// The operations among `entries`, for paths below `target` (which ends in a backslash).
std::vector<FileOperation> OperationsFromEntries(const std::vector<std::string>& entries, const std::string& target);
int Count(const std::vector<FileOperation>& operations, OperationKind kind);
// The destination's own name, relative: "into" destinations get the source's name.
std::string ResolvedDestination(const FileOperation& operation);

// The bare Win32 loop's tree copy (merging into an existing folder) and tree
// delete: what any program would write, with no checks or logging.
bool BareCopyTree(const std::wstring& from, const std::wstring& to);
bool BareDeleteTree(const std::wstring& folder);
// Runs a program with its output to NUL, in `folder` (empty: this one's); true when it ended with 0.
bool RunQuietly(std::wstring commandLine, const std::string& folder = "");

enum class ReplayWay { SafeOperations, BareWin32, CommandInterpreter };
const char* NameOf(ReplayWay way);
// Runs the operations below `root` (ends in a backslash); returns how many
// failed. The safe operations report their failures to run's interface instead.
int Replay(const std::vector<FileOperation>& operations, const std::string& root, ReplayWay way, RunContext& run);

struct TreeCount {
  uint64_t folders = 0;
  uint64_t files = 0;
  uint64_t bytes = 0;
  bool operator==(const TreeCount&) const = default;
};
// What is below `folder`; all zero when it does not exist.
TreeCount CountTree(const std::string& folder);
// A file's size; 0 when it cannot be read.
uint64_t FileBytes(const std::string& path);
// The benchmark's temporary folder goes at the end in any case; this only frees the disk sooner.
void DeleteQuietly(const std::string& folder);
