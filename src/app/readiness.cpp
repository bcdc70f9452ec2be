#include "app/readiness.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <windows.h>

#include "app/target_folder.h"
#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "install/install_steps.h"
#include "install/record_keeper.h"
#include "support/error_report.h"
#include "support/handles.h"
#include "support/keep_alive.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr TextId kTitle = IDS_TITLE_INSTALLER;
constexpr unsigned kErrorBox = MB_OK | MB_ICONHAND;                            // 16
constexpr unsigned kQuestionBox = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;  // 292
constexpr int64_t kRequiredGigabytes = 5;
constexpr const char* kLocation = "frmMain::CheckIfReadyToInstall";

void Refuse(RunContext& run, const Message& text) { run.ui.ShowMessage(text, kTitle, kErrorBox); }

bool IsPatched(const std::string& executable) {
  UniqueFile file(CreateFileW(Widen(executable).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME written{}, local{};
  SYSTEMTIME date{};
  if (!file || !GetFileTime(file.Get(), nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToSystemTime(&local, &date))
    ThrowLastError();
  // The official 1.1 patch dates from December 2004.
  return !(date.wMonth < 12 && date.wYear <= 2004);
}

// A record half written when its run was cut off, alone, is no file of anyone's.
bool FolderHasEntries(const std::string& folder) {
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW(Widen(folder + "*").c_str(), &found));
  if (!search) return false;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L".." && !EqualsIgnoreCase(Narrow(name), kPartialRecordName)) return true;
  } while (FindNextFileW(search.Get(), &found));
  return false;
}

struct RecreateQuestion {
  Question question;
  Message text;
};

// Without a record all goes, as the question says, but for what waits in the
// holding folder or the VirtualStore, which is the player's.
RecreateQuestion RecordlessQuestion(const std::vector<FileSystem::FileFacts>& now, size_t stored) {
  size_t waiting =
      stored + static_cast<size_t>(std::count_if(now.begin(), now.end(), [](const FileSystem::FileFacts& file) {
        return IsInHoldingFolder(file.path);
      }));
  if (waiting == 0) return {Question::RecreateTarget, IDS_RECREATE_ALL};
  return {Question::RecreateTarget,
          Message(IDS_RECREATE_BUT_HOLDING, {std::string(kHoldingFolderName), std::to_string(waiting)})};
}

// An earlier installation that left its record keeps the player's files, and
// the question says how many. One that did not finish, or whose mod was
// removed, has nothing that a run could lose: a script need not ask for its
// recreation. A record that cannot be trusted cannot tell the player's files
// apart: refused. One made in another folder tells nothing of this one: all
// its files are counted as the player's, and kept.
std::optional<RecreateQuestion> AskToRecreate(RunContext& run, const RecordKeeper& keeper) {
  std::vector<FileSystem::FileFacts> now = FileSystem::FilesBelow(keeper.Folder(), SIZE_MAX, KeepAlive(run));
  size_t stored = keeper.FilesInVirtualStore();
  if (!keeper.HasRecordFile()) return RecordlessQuestion(now, stored);
  if (const std::optional<RecordFault>& fault = keeper.Fault()) {
    Refuse(run, Message(IDS_RECORD_UNUSABLE, {fault->WhyOfTheRecord()}));
    return std::nullopt;
  }
  std::string players = std::to_string(keeper.PlayersFiles(now).size() + stored);
  RecordStage stage = keeper.NamesAnotherFolder() ? RecordStage::Complete : keeper.Record()->stage;
  switch (stage) {
    case RecordStage::Complete:
      return RecreateQuestion{Question::RecreateTarget, Message(IDS_RECREATE_EARLIER, {players})};
    case RecordStage::Removed:
      return RecreateQuestion{Question::RecreateUnfinished, Message(IDS_REINSTALL_REMOVED, {players})};
    default: return RecreateQuestion{Question::RecreateUnfinished, Message(IDS_RECREATE_UNFINISHED, {players})};
  }
}

}  // namespace

uint64_t DriveFreeSpace(const std::string& driveRoot) {
  ULARGE_INTEGER totalFree{};
  if (!GetDiskFreeSpaceExW(Widen(driveRoot).c_str(), nullptr, nullptr, &totalFree)) ThrowLastError();
  return totalFree.QuadPart;
}

int64_t WholeGigabytes(uint64_t bytes) {
  double gigabytes = static_cast<double>(bytes) / 1024.0 / 1024.0 / 1024.0;
  return static_cast<int64_t>(std::nearbyint(gigabytes));  // the default rounding sends halves to even
}

bool CheckGameFileItem(RunContext& run, bool isFile, TextId missing, const std::string& path) {
  return TrapResult(run.reporter, "frmMain::CheckGameFileItem", false, [&] {
    bool exists = isFile ? FileSystem::FileExists(path) : FileSystem::FolderExists(path);
    if (!exists) Refuse(run, missing);
    return exists;
  });
}

// The same folder under two names is caught by the target's own checks;
// this first one keeps the design's message for two equal texts.
Readiness CheckIfReadyToInstall(RunContext& run) {
  const std::string& game = run.plan.gameFolder;
  const std::string& target = run.plan.zem7Folder;
  return TrapResult(run.reporter, kLocation, Readiness::Refused, [&] {
    if (ToUpper(game) == ToUpper(target)) {
      Refuse(run, IDS_SAME_FOLDER);
      return Readiness::Refused;
    }
    if (!CheckGameFileItem(run, false, IDS_MISSING_GAME_FOLDER, game) ||
        !CheckGameFileItem(run, true, IDS_MISSING_GAME_EXE, game + "FlatOut.exe") ||
        !CheckGameFileItem(run, true, IDS_MISSING_COMMON1, game + "Common1.bfs") ||
        !CheckGameFileItem(run, true, IDS_MISSING_COMMON2, game + "Common2.bfs"))
      return Readiness::Refused;
    if (!IsPatched(game + "FlatOut.exe")) {
      Refuse(run, IDS_NOT_PATCHED);
      return Readiness::Refused;
    }
    // The mod's own files: a download without one would fail half way.
    for (const char* file : kDownloadFiles)
      if (!FileSystem::FileExists(run.plan.installerFolder + "\\" + file)) {
        Refuse(run, Message(IDS_DOWNLOAD_FILE_MISSING, {file}));
        return Readiness::Refused;
      }
    if (!IsSafeTarget(run)) return Readiness::Refused;
    // Read first: a record that a torn rename left under its temporary name is put in place.
    RecordKeeper keeper = RecordKeeper::Open(target);
    if (!FileSystem::FolderExists(target) || !FolderHasEntries(target)) return Readiness::Ready;
    // No installer empties a folder it did not fill.
    if (!IsEarlierInstallationOrEmpty(run, target)) {
      Refuse(run, IDS_FOREIGN_FILES);
      return Readiness::Refused;
    }
    std::optional<RecreateQuestion> question = AskToRecreate(run, keeper);
    if (!question) return Readiness::Refused;
    int answer = run.ui.Ask(question->question, question->text, kTitle, kQuestionBox);
    return answer == IDYES ? Readiness::ReadyOnceEmptied : Readiness::Refused;
  });
}

namespace {

Message WhyNotDeletable(const FileSystem::Obstacle& obstacle) {
  if (!obstacle.reason.Empty()) return Message(IDS_SELECT_ANOTHER, {obstacle.reason});
  // Whatever the installation wrote there would land in the file it names.
  if (!obstacle.leadsTo.empty()) return Message(IDS_LEADS_OUTSIDE, {obstacle.path, obstacle.leadsTo});
  switch (obstacle.error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return Message(IDS_IN_USE, {obstacle.path});
    case ERROR_NOT_A_REPARSE_POINT: return Message(IDS_LINK_NOT_REMOVABLE, {obstacle.path});
    default: return Message(IDS_CANNOT_DELETE, {obstacle.path, Message::SystemError(obstacle.error)});
  }
}

// The root whose free space counts: a drive's, or a network share's.
std::string SpaceRootOf(const std::string& target) {
  if (target.size() >= 2 && target[1] == ':' && IsCharAlphaW(static_cast<wchar_t>(target[0])))
    return target.substr(0, 2) + "\\";
  if (!target.starts_with("\\\\")) return {};
  size_t share = target.find('\\', 2);
  size_t end = share == std::string::npos ? std::string::npos : target.find('\\', share + 1);
  return end == std::string::npos ? std::string() : target.substr(0, end + 1);
}

}  // namespace

std::unique_ptr<FileSystem::HeldTree> HoldTargetForEmptying(RunContext& run) {
  return TrapResult(run.reporter, kLocation, std::unique_ptr<FileSystem::HeldTree>(), [&] {
    auto held = FileSystem::HeldTree::Hold(run.plan.zem7Folder, ProtectedFolderCheck(run), KeepAlive(run),
                                           EntriesNeverEmptied());
    if (auto* tree = std::get_if<std::unique_ptr<FileSystem::HeldTree>>(&held)) return std::move(*tree);
    Refuse(run, Message(IDS_CANNOT_EMPTY, {WhyNotDeletable(std::get<FileSystem::Obstacle>(held))}));
    return std::unique_ptr<FileSystem::HeldTree>();
  });
}

// Errors here are not reported: a drive that cannot be read counts as full.
// A drive or share that does not exist is the creatable check's to refuse.
bool HasEnoughSpace(RunContext& run, const FreeSpaceProbe& probe, uint64_t freedFirst) {
  std::string root = SpaceRootOf(run.plan.zem7Folder);
  if (root.empty() || GetDriveTypeW(Widen(root).c_str()) == DRIVE_NO_ROOT_DIR) return true;
  int64_t gigabytes = -1;
  try {
    gigabytes = WholeGigabytes(probe(root) + freedFirst);
  } catch (const std::exception&) {
  }
  if (gigabytes >= kRequiredGigabytes) return true;
  Refuse(run, IDS_NO_SPACE);
  return false;
}
