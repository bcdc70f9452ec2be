#pragma once
// A whole installation read back from its own account of itself: the progress
// lines the installer prints as it works, each stamped when it arrived. They
// divide the run into its steps, and they name every file operation the safe
// operations make, which the replay then does again with bare Win32 calls.
//
// The few operations the installer does not log (the rename of "data" before
// the split, the clean-up's removal of "datafull", the record) and the
// destinations that a "Copying File" or "Moving File" line leaves out are
// known from the steps themselves and filled in here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StampedLine {
  uint64_t ticks = 0;  // FILETIME ticks (UTC) when the line arrived
  std::string line;    // as printed: "<time> : <n>% : <text>"
};

// The entry's text of a progress line; nothing for other output (the tools' own).
std::optional<std::string> ProgressText(const std::string& line);

// The parts of a run, in order: what comes before the steps (start-up, checks,
// the archives' test), the twelve steps, with the record and the Apps &
// features entry between the clean-up and the final message.
constexpr int kSegments = 14;
constexpr int kBeforeTheSteps = 0;
constexpr int kRecordSegment = 12;
extern const char* const kSegmentNames[kSegments];

enum class WholeOperationKind {
  CreateFolder,
  CopyFile,
  CopyFolder,
  DeleteFile,
  DeleteFolder,
  MoveFile,
  MoveFolder,
  // A tool's work: done again by the tool itself, outside the timing.
  Extract,
  UnpackBfs,
  Pack,
  // The record: the installed tree listed, and a file of `size` bytes written.
  WriteRecord,
};

struct WholeOperation {
  WholeOperationKind kind;
  int segment = 0;
  std::string from;  // relative to the target when inside it, else absolute
  std::string to;    // the destination's own full name, relative to the target
  bool fromTarget = true;
  uint64_t size = 0;  // WriteRecord only
};

struct WholeRunFolders {
  std::string target;        // ends in a backslash, as on the installer's command line
  std::string installerExe;  // copied as the uninstaller
  uint64_t recordBytes = 0;  // the size of the record the run left
};

struct WholeRun {
  uint64_t segmentStart[kSegments] = {};  // ticks; 0: the segment never began
  int entries[kSegments] = {};            // progress lines, each an entry in the window's box
  std::vector<WholeOperation> operations;
};

std::string WithoutTrailingBackslash(std::string path);

// Operations on paths outside the target (the Start menu's folders) are left
// out: the replay makes a fresh target, nothing else.
WholeRun ReadWholeRun(const std::vector<StampedLine>& lines, const WholeRunFolders& folders);
