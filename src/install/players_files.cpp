#include "install/players_files.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <utility>

#include "fileops/file_system.h"
#include "fileops/folder_delete.h"
#include "install/installation_end.h"
#include "support/error_report.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";

std::string HoldingFolder(const RunContext& run) { return run.plan.zem7Folder + kHoldingFolderName; }

void MoveOrThrow(const std::string& from, const std::string& to, DWORD flags, const std::string& doing) {
  if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), flags)) return;
  DWORD error = GetLastError();
  throw RuntimeError(static_cast<int32_t>(error), SystemMessage(error) + " (" + doing + ")");
}

bool SamePath(const std::string& a, const std::string& b) { return EqualsIgnoreCase(a, b); }

// The files waiting in the holding folder that a file at its place meets:
// each is renamed in the plan to its earlier-copy name. Returns the renames.
std::vector<std::pair<std::string, std::string>> NameEarlierCopies(std::vector<FileSystem::FileFacts>& waiting,
                                                                   const std::vector<FileSystem::FileFacts>& atPlace) {
  std::vector<std::string> taken;
  for (const std::vector<FileSystem::FileFacts>* files : {&std::as_const(waiting), &atPlace})
    for (const FileSystem::FileFacts& file : *files) taken.push_back(ToUpper(file.path));
  std::vector<std::pair<std::string, std::string>> renames;
  for (FileSystem::FileFacts& file : waiting) {
    bool meets =
        std::any_of(atPlace.begin(), atPlace.end(), [&](const auto& later) { return SamePath(later.path, file.path); });
    if (!meets) continue;
    std::string earlier = EarlierCopyName(file.path, taken);
    taken.push_back(ToUpper(earlier));
    renames.emplace_back(file.path, earlier);
    file.path = earlier;
  }
  return renames;
}

}  // namespace

std::string EarlierCopyName(const std::string& path, const std::vector<std::string>& taken) {
  size_t slash = path.find_last_of('\\');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) dot = path.size();
  for (int copy = 1;; ++copy) {
    std::string name =
        path.substr(0, dot) + " (earlier copy" + (copy > 1 ? " " + std::to_string(copy) : "") + ")" + path.substr(dot);
    if (std::find(taken.begin(), taken.end(), ToUpper(name)) == taken.end()) return name;
  }
}

void SetPlayersFilesAside(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord* earlier) {
  std::string holding = HoldingFolder(run);
  std::vector<FileSystem::FileFacts> atPlace;
  if (earlier) {
    std::vector<FileSystem::FileFacts> all = held.Files();
    std::copy_if(all.begin(), all.end(), std::back_inserter(atPlace), MadeOrChangedSince(*earlier));
  }
  std::vector<FileSystem::FileFacts> waiting = FileSystem::FilesBelow(holding);
  if (!waiting.empty())
    run.log.Write("Your files kept by an earlier run: " + std::to_string(waiting.size()) + " in " + holding);
  std::vector<std::pair<std::string, std::string>> renames = NameEarlierCopies(waiting, atPlace);
  std::vector<FileSystem::FileFacts> kept = atPlace;
  kept.insert(kept.end(), waiting.begin(), waiting.end());
  RecordRunUnderWay(run, kept);
  for (const auto& [from, to] : renames) {
    MoveOrThrow(holding + "\\" + from, holding + "\\" + to, 0, "keeping \"" + from + "\" as \"" + to + "\"");
    run.log.Write("Keeping your earlier copy of " + run.plan.zem7Folder + from + " as: " + run.plan.zem7Folder + to);
  }
  std::set<std::string> players;
  for (const FileSystem::FileFacts& file : atPlace) players.insert(ToUpper(file.path));
  held.MoveOut(holding, [&](const FileSystem::FileFacts& file) { return players.contains(ToUpper(file.path)); });
  if (FileSystem::HoldsAnyFile(holding)) run.facts.holdingFolder = holding;
}

void PutBackPlayersFiles(RunContext& run) {
  std::string holding = HoldingFolder(run);
  if (!FileSystem::FolderExists(holding)) return;
  size_t putBack = 0;
  for (const FileSystem::FileFacts& kept : FileSystem::FilesBelow(holding)) {
    std::string place = run.plan.zem7Folder + kept.path;
    Trap(run.reporter, kLocation, [&] {
      FileSystem::CreateFolderPath(FileSystem::GetParentFolderName(place));
      MoveOrThrow(holding + "\\" + kept.path, place, MOVEFILE_REPLACE_EXISTING,
                  "putting your file \"" + kept.path + "\" back from \"" + holding + "\"");
      run.log.Write("Keeping your file: " + place);
      run.facts.keptFiles.push_back(kept.path);
      ++putBack;
    });
  }
  run.log.Write(std::to_string(putBack) + " file(s) of yours were kept.");
  if (FileSystem::HoldsAnyFile(holding)) {
    run.facts.holdingFolder = holding;
    run.log.Write("Your files that could not be put back are in: " + holding);
    return;
  }
  Trap(run.reporter, kLocation, [&] { DeleteWholeFolder(holding); });
  run.facts.holdingFolder.clear();
}
