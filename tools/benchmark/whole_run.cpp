#include "whole_run.h"

#include "install/installation_record.h"
#include "support/text.h"

const char* const kSegmentNames[kSegments] = {
    "(before the steps)", "SafeCreateFolder", "CopyFlatOutFiles",     "CopyZEM7Files",      "UnpackZEM7SystemFiles",
    "UnpackBFSFile",      "CopyTracks",       "UnpackZEM7TrackFiles", "DeleteTrackFolders", "SplitAndPackTrackFolders",
    "CreateShortcuts",    "CleanUp",          "(record and entry)",   "FinalMessage"};

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

namespace {

// The line each segment begins with; the first step's is its folder's creation.
// Two steps share a text, so they are matched in order.
constexpr const char* kSegmentHeadings[kSegments] = {nullptr,
                                                     "Creating folder: ",
                                                     "Copying FlatOut Game Files.",
                                                     "Copying ZEM7 Mod Files.",
                                                     "Unpacking the ZEM7 Track Files.",
                                                     "Unpacking the 'Common2.bfs' file.",
                                                     "Creating the new tracks.",
                                                     "Unpacking the ZEM7 Track Files.",
                                                     "Deleting unnecessary track folders.",
                                                     "Creating new BFS files.",
                                                     "Creating shortcuts.",
                                                     "Cleaning up installation files.",
                                                     "Recording the installation: ",
                                                     "Finished installing the ZEM7 mod."};

// The packer's output before it gets the archive's name, and where the archives go.
constexpr const char* kPackerOutput = "br549temp.bfs";
constexpr const char* kPackerMarker = "finished.txt";
constexpr const char* kPatchFolder = "ZEM7-Patches\\";

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

bool IsHeading(int segment, const std::string& text, const std::string& target) {
  const std::string heading = kSegmentHeadings[segment];
  if (segment == 1) return EqualsIgnoreCase(text, heading + target);
  if (segment == kRecordSegment) return text.starts_with(heading);
  return text == heading;
}

class Reader {
 public:
  Reader(WholeRun& run, const WholeRunFolders& folders) : run_(run), folders_(folders) {}

  void Read(const StampedLine& stamped) {
    std::optional<std::string> text = ProgressText(stamped.line);
    if (!text) return;
    if (next_ < kSegments && IsHeading(next_, *text, folders_.target)) {
      segment_ = next_++;
      run_.segmentStart[segment_] = stamped.ticks;
      Began(*text);
    }
    ++run_.entries[segment_];
    Operation(*text);
  }

 private:
  // What a step does first without a line of its own.
  void Began(const std::string& text) {
    if (text == "Creating new BFS files.") Add(WholeOperationKind::MoveFolder, "data", "datafull");
    if (text == "Cleaning up installation files.") Add(WholeOperationKind::DeleteFolder, "datafull");
    if (segment_ == kRecordSegment) {
      Add(WholeOperationKind::CopyFile, folders_.installerExe, kUninstallerName, false);
      Add(WholeOperationKind::WriteRecord, "", kRecordName).size = folders_.recordBytes;
    }
    if (text == "Unpacking the 'Common2.bfs' file.") Add(WholeOperationKind::UnpackBfs, "Common2.bfs");
  }

  void Operation(const std::string& text) {
    std::string rest;
    if (After(text, "Creating the new '", rest)) {
      archive_ = rest.substr(0, rest.find('\''));
      packPending_ = true;
    } else if (After(text, "Creating folder: ", rest)) {
      if (Inside(rest)) Add(WholeOperationKind::CreateFolder, Relative(rest));
    } else if (After(text, "Copying File: ", rest)) {
      // Files of the game and the download go to the target's top; the only
      // file copied inside the target is the packer's filler, into "data".
      bool inside = Inside(rest);
      Add(WholeOperationKind::CopyFile, inside ? Relative(rest) : rest, (inside ? "data\\" : "") + NameOf(rest),
          inside);
    } else if (After(text, "Copying Folder: ", rest)) {
      TwoPaths(WholeOperationKind::CopyFolder, rest);
    } else if (After(text, "Moving Folder: ", rest)) {
      TwoPaths(WholeOperationKind::MoveFolder, rest);
    } else if (After(text, "Deleting File: ", rest) && Inside(rest)) {
      DeleteFile(rest);
    } else if (After(text, "Deleting folder: ", rest) && Inside(rest)) {
      Add(WholeOperationKind::DeleteFolder, Relative(rest));
    } else if (After(text, "Moving File: ", rest) && Inside(rest)) {
      std::string name = NameOf(rest);
      Add(WholeOperationKind::MoveFile, Relative(rest), name == kPackerOutput ? archive_ : kPatchFolder + name);
    }
  }

  // A tool's output is in place before the file it came from goes.
  void DeleteFile(const std::string& path) {
    std::string name = NameOf(path);
    if (ToLower(name).ends_with(".rar")) Add(WholeOperationKind::Extract, name);
    if (name == kPackerMarker && packPending_) {
      Add(WholeOperationKind::Pack, "data");
      packPending_ = false;
    }
    Add(WholeOperationKind::DeleteFile, Relative(path));
  }

  void TwoPaths(WholeOperationKind kind, const std::string& text) {
    size_t arrow = text.find(" >> ");
    if (arrow == std::string::npos) return;
    std::string from = text.substr(0, arrow), to = text.substr(arrow + 4);
    if (!Inside(from) || !Inside(to)) return;
    // "Into this folder" when the destination ends in a backslash.
    if (to.ends_with("\\")) to += NameOf(from);
    Add(kind, Relative(from), Relative(to));
  }

  static bool After(const std::string& text, const std::string& prefix, std::string& rest) {
    if (!text.starts_with(prefix)) return false;
    rest = text.substr(prefix.size());
    return true;
  }

  bool Inside(const std::string& path) const {
    const std::string& target = folders_.target;
    return EqualsIgnoreCase(WithoutTrailingBackslash(path), WithoutTrailingBackslash(target)) ||
           (path.size() > target.size() && EqualsIgnoreCase(path.substr(0, target.size()), target));
  }

  std::string Relative(const std::string& path) const {
    return path.size() < folders_.target.size() ? "" : WithoutTrailingBackslash(path.substr(folders_.target.size()));
  }

  WholeOperation& Add(WholeOperationKind kind, const std::string& from, const std::string& to = "",
                      bool fromTarget = true) {
    return run_.operations.emplace_back(WholeOperation{kind, segment_, from, to, fromTarget, 0});
  }

  WholeRun& run_;
  const WholeRunFolders& folders_;
  int segment_ = kBeforeTheSteps;
  int next_ = 1;
  std::string archive_;
  bool packPending_ = false;
};

}  // namespace

std::optional<std::string> ProgressText(const std::string& line) {
  size_t time = line.find(" : ");
  if (time == std::string::npos) return std::nullopt;
  size_t percent = time + 3, sign = line.find("% : ", percent);
  if (sign == std::string::npos || sign == percent) return std::nullopt;
  for (size_t i = percent; i < sign; ++i)
    if (line[i] < '0' || line[i] > '9') return std::nullopt;
  return line.substr(sign + 4);
}

WholeRun ReadWholeRun(const std::vector<StampedLine>& lines, const WholeRunFolders& folders) {
  WholeRun run;
  Reader reader(run, folders);
  for (const StampedLine& line : lines) reader.Read(line);
  return run;
}
