#include "install/players_files.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "fileops/file_system.h"
#include "fileops/folder_delete.h"
#include "install/installation_end.h"
#include "support/error_report.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/virtual_store.h"

namespace {

constexpr const char* kLocation = "modZEM7::RecordInstallation";

std::string HoldingFolder(const RunContext& run) { return run.plan.zem7Folder + kHoldingFolderName; }

void MoveOrThrow(const std::string& from, const std::string& to, DWORD flags, const std::string& doing) {
  if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), flags)) return;
  DWORD error = GetLastError();
  throw RuntimeError(static_cast<int32_t>(error), SystemMessage(error) + " (" + doing + ")");
}

// One version of a file of the player's: where it lies now, and the path
// below the folder it is kept under.
struct Version {
  FileSystem::FileFacts facts;  // its place-relative path as it lies now
  std::string source;           // its full path, "" at its place in the held target
  std::string keptAs;           // the path it waits under in the holding folder and goes back to
};

// Where versions of one file meet, the latest keeps the name and each
// earlier one takes a name that says so.
void NameEarlierCopies(std::vector<Version>& versions) {
  std::vector<std::string> taken;
  for (const Version& version : versions) taken.push_back(ToUpper(version.facts.path));
  std::stable_sort(versions.begin(), versions.end(),
                   [](const Version& a, const Version& b) { return a.facts.written > b.facts.written; });
  std::set<std::string> named;
  for (Version& version : versions) {
    version.keptAs = version.facts.path;
    if (named.insert(ToUpper(version.facts.path)).second) continue;
    version.keptAs = EarlierCopyName(version.facts.path, taken);
    taken.push_back(ToUpper(version.keptAs));
  }
}

std::vector<Version> VersionsIn(const std::string& folder) {
  std::vector<Version> versions;
  for (const FileSystem::FileFacts& file : FileSystem::FilesBelow(folder))
    versions.push_back({file, folder + "\\" + file.path, {}});
  return versions;
}

// The player's files: those at their places that the earlier record does
// not claim, those an earlier run left in the holding folder, and those
// Windows put in the folder's VirtualStore for a game without rights.
std::vector<Version> PlayersVersions(RunContext& run, FileSystem::HeldTree& held, const InstallationRecord* earlier) {
  std::vector<Version> versions;
  if (earlier) {
    auto madeOrChanged = MadeOrChangedSince(*earlier);
    for (const FileSystem::FileFacts& file : held.Files())
      if (madeOrChanged(file)) versions.push_back({file, {}, {}});
  }
  std::vector<Version> waiting = VersionsIn(HoldingFolder(run));
  if (!waiting.empty())
    run.log.Write("Your files kept by an earlier run: " + std::to_string(waiting.size()) + " in " + HoldingFolder(run));
  versions.insert(versions.end(), waiting.begin(), waiting.end());
  if (std::string store = VirtualStoreOf(run.plan.zem7Folder); !store.empty()) {
    std::vector<Version> stored = VersionsIn(store);
    versions.insert(versions.end(), stored.begin(), stored.end());
  }
  NameEarlierCopies(versions);
  return versions;
}

// Until it is moved, a version at its place is known by its path as it is;
// once moved, by the path it goes back to.
std::vector<FileSystem::FileFacts> KeptFacts(const std::vector<Version>& versions) {
  std::vector<FileSystem::FileFacts> kept;
  for (const Version& version : versions) {
    kept.push_back({version.keptAs, version.facts.size, version.facts.written});
    if (version.source.empty() && version.keptAs != version.facts.path) kept.push_back(version.facts);
  }
  return kept;
}

// A version that is not at its place goes into the holding folder under the
// name it is kept as; the log names where it came from and what it is now.
void MoveIntoHolding(RunContext& run, const Version& version) {
  std::string holding = HoldingFolder(run);
  std::string destination = holding + "\\" + version.keptAs;
  if (EqualsIgnoreCase(version.source, destination)) return;
  FileSystem::CreateFolderPath(FileSystem::GetParentFolderName(destination));
  MoveOrThrow(version.source, destination, MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH,
              "keeping \"" + version.source + "\" as \"" + destination + "\"");
  bool fromHolding = ToUpper(version.source).starts_with(ToUpper(holding + "\\"));
  if (fromHolding)
    run.log.Write("Keeping your earlier copy of " + run.plan.zem7Folder + version.facts.path +
                  " as: " + run.plan.zem7Folder + version.keptAs);
  else
    run.log.Write("Keeping your file from the VirtualStore: " + version.source + " as: " + run.plan.zem7Folder +
                  version.keptAs);
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
  std::vector<Version> versions = PlayersVersions(run, held, earlier);
  RecordRunUnderWay(run, KeptFacts(versions));
  // Those renamed in the holding folder first: they free the names the others take.
  std::stable_partition(versions.begin(), versions.end(), [&](const Version& version) {
    return ToUpper(version.source).starts_with(ToUpper(HoldingFolder(run) + "\\"));
  });
  std::map<std::string, std::string> atPlace;
  for (const Version& version : versions) {
    if (version.source.empty())
      atPlace[ToUpper(version.facts.path)] = version.keptAs;
    else
      MoveIntoHolding(run, version);
  }
  held.MoveOut(HoldingFolder(run), [&](const FileSystem::FileFacts& file) -> std::optional<std::string> {
    auto found = atPlace.find(ToUpper(file.path));
    if (found == atPlace.end()) return std::nullopt;
    if (!EqualsIgnoreCase(found->second, file.path))
      run.log.Write("Keeping your earlier copy of " + run.plan.zem7Folder + file.path + " as: " + run.plan.zem7Folder +
                    found->second);
    return found->second;
  });
  if (FileSystem::HoldsAnyFile(HoldingFolder(run))) run.facts.holdingFolder = HoldingFolder(run);
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
