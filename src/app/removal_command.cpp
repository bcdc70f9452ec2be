#include "app/removal_command.h"

#include <windows.h>

#include <optional>

#include "app/startup.h"
#include "app/target_folder.h"
#include "fileops/file_system.h"
#include "fileops/folder_identity.h"
#include "fileops/held_tree.h"
#include "install/record_keeper.h"
#include "install/removal.h"
#include "support/console.h"
#include "support/cut_point.h"
#include "support/path_helpers.h"
#include "support/run_context.h"
#include "support/text.h"

namespace {

constexpr TextId kTitle = IDS_TITLE_UNINSTALL;

// No window: a person gets boxes, a script the console, and nobody waits.
class RemovalUserInterface : public UserInterface {
 public:
  RemovalUserInterface(bool withBoxes, Language language) : withBoxes_(withBoxes), language_(language) {}
  // The console has the English, as the log; a box the player's language.
  int ShowMessage(const Message& text, TextId title, unsigned style) override {
    bool error = (style & MB_ICONMASK) == MB_ICONHAND || title == kReportTitle;
    WriteToConsole(error ? Stream::Error : Stream::Output, text.English() + "\r\n");
    if (!withBoxes_) return (style & MB_TYPEMASK) == MB_OK ? IDOK : IDYES;
    return MessageBoxW(nullptr, Widen(text.In(language_)).c_str(), Widen(TextIn(language_, title)).c_str(), style);
  }
  void SetMousePointer(MousePointer) override {}
  void ShowProgress(int, int, const std::string&) override {}
  void PrependProgressText(const std::string& stamp, const Message& text) override {
    WriteToConsole(Stream::Output, stamp + text.English() + "\r\n");
  }
  void EnableInput(bool) override {}
  void PumpMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  void Unload() override {}

 private:
  bool withBoxes_;
  Language language_;
};

InstallPlan RemovalPlan(const CommandLineOptions& options) {
  InstallPlan plan = InstallPlan::ForInstallerFolder(ExecutableFolder());
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  plan.logPath =
      options.logPath ? LongPathName(GetAbsolutePathName(*options.logPath)) : Narrow(temp) + "ZEM7UninstallLog.txt";
  plan.zem7Folder =
      FormatPath(LongPathName(GetAbsolutePathName(options.targetFolder ? *options.targetFolder : ExecutableFolder())));
  return plan;
}

int Finish(RunContext& run, int exitCode, const std::string& line) {
  run.log.Write("Exit code " + std::to_string(exitCode) + ": " + line);
  return exitCode;
}

// A refusal is told and logged, as the installer's are.
int Refuse(RunContext& run, const Message& why) {
  Message text(IDS_REMOVAL_REFUSED, {run.plan.zem7Folder, why.WithoutFullStop()});
  run.ui.ShowMessage(text, kTitle, MB_OK | MB_ICONHAND);
  run.log.Write(text);
  return Finish(run, kExitRefused, "nothing was removed.");
}

// By identity, which sees through every alias, or by name.
bool LogLiesInside(const RunContext& run) {
  std::optional<FileSystem::FolderId> folder = FileSystem::IdentityOf(run.plan.zem7Folder);
  return ToUpper(run.plan.logPath).starts_with(ToUpper(run.plan.zem7Folder)) ||
         (folder && FileSystem::IsSameOrInside(run.plan.logPath, *folder));
}

// The record and the folder are checked before anything is touched. The
// record names the game it was made from, but the game is looked for as an
// installation finds it too: no record can lead the removal into it.
const InstallationRecord* CheckedRecord(RunContext& run, const CommandLineOptions& options,
                                        const RecordKeeper& keeper) {
  const InstallationRecord* record = keeper.Record();
  Message why = keeper.Fault() ? keeper.Fault()->Why() : Message(std::string());
  if (!keeper.HasRecordFile()) why = Message(IDS_RECORD_UNREADABLE, {run.plan.zem7Folder + kRecordName});
  if (record) run.plan.gameFolder = FormatPath(record->gameFolder);
  if (why.Empty()) why = WhyNotAnInstallationFolder(run, run.plan.zem7Folder, KnownGameFolders(options));
  if (why.Empty() && keeper.NamesAnotherFolder()) why = IDS_RECORD_FROM_ELSEWHERE;
  if (why.Empty()) why = WhyRecordIsUnsafe(run.plan.zem7Folder, *record);
  if (!why.Empty()) {
    Refuse(run, why);
    return nullptr;
  }
  return record;
}

bool Confirmed(RunContext& run) {
  return run.ui.Ask(Question::ConfirmInstall, Message(IDS_REMOVAL_QUESTION, {run.plan.zem7Folder}), kTitle,
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

std::vector<std::string> RecordedPaths(const InstallationRecord& record) {
  std::vector<std::string> paths;
  for (const FileSystem::FileFacts& file : record.files) paths.push_back(file.path);
  return paths;
}

Message WhyHeld(const FileSystem::Obstacle& obstacle) {
  return Message(IDS_HELD_BY_PROGRAM, {obstacle.path, Message::SystemError(obstacle.error)});
}

// When most of the files the record lists carry another time at their
// size, the times were more likely changed under them (the clock, the
// drive, a copy) than by the player: a removal by them would remove nothing
// and say it had.
Message WhyMostLookChanged(size_t changed, size_t listed) {
  if (listed == 0 || changed * 2 <= listed) return std::string();
  return Message(IDS_MOST_LOOK_CHANGED, {std::to_string(changed), std::to_string(listed)});
}

// All or nothing, and the record last: every recorded file and every folder
// is held before the first goes, and a removal cut off anywhere finds its
// record to finish by.
int Remove(RunContext& run, const CommandLineOptions& options) {
  run.log.Write("Starting to remove the ZEM7 mod from " + run.plan.zem7Folder);
  run.log.Write(LanguageLogEntry(run.language));
  RecordKeeper keeper = RecordKeeper::Open(run.plan.zem7Folder);
  const InstallationRecord* record = CheckedRecord(run, options, keeper);
  if (!record) return kExitRefused;
  if (!Confirmed(run)) return Finish(run, kExitRefused, "the removal was declined; nothing was removed.");
  // Everything checked so far was checked by name: from here on it is
  // judged again through the handles the deletion goes through.
  CutPoint("removal.answered");
  try {
    keeper.BeginRemoval(run);
  } catch (const RuntimeError& error) {
    return Refuse(run, error.Description());
  }
  auto held = FileSystem::HeldTree::HoldFiles(run.plan.zem7Folder, RecordedPaths(*record));
  if (auto* obstacle = std::get_if<FileSystem::Obstacle>(&held)) return Refuse(run, WhyHeld(*obstacle));
  auto& tree = *std::get<std::unique_ptr<FileSystem::HeldTree>>(held);
  for (const FileSystem::NameLeadingOutside& name : tree.LeadingOutside())
    run.log.Write({IDS_LOG_LEFT_IN_PLACE, {run.plan.zem7Folder + name.path, name.leadsTo}});
  // What the player changed since stays; so does what the record does not list.
  size_t listed = tree.Files().size();
  size_t changed =
      keeper.OnlyTimeChanged(tree.Release([&](const FileSystem::FileFacts& file) { return keeper.IsPlayers(file); }));
  if (Message why = WhyMostLookChanged(changed, listed); !why.Empty()) return Refuse(run, why);
  RemoveInstallation(run, tree, *record);
  std::vector<FileSystem::FileFacts> kept = FileSystem::FilesBelow(run.plan.zem7Folder);
  std::erase_if(kept, [](const FileSystem::FileFacts& file) { return IsInstallersOwnFile(file.path); });
  int errors = run.reporter.Count();
  Message outcome(errors ? IDS_REMOVED_PARTLY : IDS_REMOVED, {run.plan.zem7Folder});
  if (!errors) RemoveEntryRecordAndUninstaller(run, keeper, *record);
  Message keptThere = kept.empty() ? Message(std::string()) : Message(IDS_KEPT_THERE, {std::to_string(kept.size())});
  // Saves that Windows put aside for a game without rights are never touched.
  Message keptInStore = std::string();
  if (size_t stored = keeper.FilesInVirtualStore())
    keptInStore = Message(IDS_KEPT_IN_STORE, {std::to_string(stored), keeper.VirtualStore()});
  Message done = Message::Lines({outcome, keptThere, keptInStore});
  run.log.Write(done);
  errors = run.reporter.Count();
  run.ui.ShowMessage(done, kTitle, MB_OK | (errors ? MB_ICONWARNING : MB_ICONINFORMATION));
  if (errors)
    return Finish(run, kExitInstalledWithErrors,
                  "the removal ran to its end with " + std::to_string(errors) + " error(s).");
  return Finish(run, kExitInstalled, "the ZEM7 mod was removed.");
}

}  // namespace

int RunRemoval(const CommandLineOptions& options) {
  LanguageChoice language = ChooseLanguage(options.language);
  RemovalUserInterface ui(options.mode == RunMode::Window, language.language);
  RunContext run(ui, RemovalPlan(options));
  run.language = language;
  // Started in its own folder, as a double-click starts it, it would hold
  // that folder against its removal: the plan's paths are full by now.
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  SetCurrentDirectoryW(temp);
  run.reporter.StartCounting();
  if (LogLiesInside(run)) {
    // The refusal itself must not land in the folder it promised to leave alone.
    run.log.StopWritingTheFile();
    return Refuse(run, Message(IDS_LOG_IN_REMOVED_FOLDER, {run.plan.logPath}));
  }
  if (FileSystem::FileExists(run.log.Path())) DeleteFileW(Widen(run.log.Path()).c_str());
  return Remove(run, options);
}

int FinishRemovalFor(const CommandLineOptions& options) {
  return FinishRemoval(*options.finishRemovalFor, FormatPath(options.targetFolder.value_or("")));
}
