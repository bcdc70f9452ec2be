// Runs ended at the named places between two writes of what is whose, as a
// kill or a power cut would end them there, then continued as a player
// would: the same command again, or first a game played (a save changed, a
// new one made) and then the same command, or the removal. Each must end
// without an error, with every version of every file of the player's
// present: at its place, beside it as an earlier copy, or in the VirtualStore.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "app/install_command.h"
#include "app/removal_command.h"
#include "fileops/file_system.h"
#include "install/install_fixture.h"
#include "install/record_keeper.h"
#include "install/uninstall_entry.h"
#include "registry/registry.h"
#include "support/cut_point.h"
#include "support/path_helpers.h"
#include "support/shell_link.h"
#include "support/virtual_store.h"

namespace {

// Answers as an unattended run does: the command's /RECREATE, Yes to a run
// that did not finish and to the go-ahead, No to the closing questions.
class CommandUi : public ScriptedUi {
 public:
  explicit CommandUi(bool recreate) : recreate_(recreate) { AnswerAllWithOk(); }
  int Ask(Question question, const Message& text, TextId title, unsigned) override {
    messages.push_back({text.English(), TextIn(Language::English, title), 0, text.In(language)});
    bool yes = question == Question::ConfirmInstall || question == Question::RecreateUnfinished ||
               (question == Question::RecreateTarget && recreate_);
    return yes ? IDYES : IDNO;
  }

 private:
  bool recreate_;
};

enum class Then { SameCommand, PlayThenSameCommand, Remove };

class CutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FixtureOptions options;
    options.gameFolder = game;
    options.distributionFolder = download;
    options.size = 64 * 1024;
    options.standInFolder = StandInFolder();
    BuildFixture(options);
  }
  void TearDown() override {
    CutPoints::Disarm();
    SetCurrentDirectoryW(Widen(root.Path()).c_str());
    for (const char* folder : {"Common Programs", "Common Desktop"}) {
      std::string shell = FormatPath(ReadRegistryString(
          std::string("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\") + folder));
      for (const char* shortcut : {"Torvale\\FlatOut - ZEM7\\FlatOut.lnk", "FlatOut.lnk"})
        DeleteFileW(Widen(shell + shortcut).c_str());
      RemoveDirectoryW(Widen(shell + "Torvale\\FlatOut - ZEM7").c_str());
      RemoveDirectoryW(Widen(shell + "Torvale").c_str());
    }
    RemoveUninstallEntry(UninstallKeyFor(target));
    RemoveTree(store);
  }

  // One installation command, in-process, as a script would give it.
  struct Outcome {
    CommandOutcome outcome = CommandOutcome::NotStarted;
    int errors = 0;
    std::string said;
  };
  Outcome Install(bool recreate) {
    CommandUi ui(recreate);
    auto run = NewRun(ui, download);
    run->reporter.StartCounting();
    Outcome outcome;
    outcome.outcome = RunInstallCommand(*run, game, target, [](const std::string&) { return 100ull << 30; });
    outcome.errors = run->reporter.Count();
    for (const std::string& text : ui.MessageTexts()) outcome.said += text + "\n";
    return outcome;
  }
  int Remove() {
    CommandLineOptions options;
    options.mode = RunMode::VerySilent;
    options.uninstall = true;
    options.targetFolder = target;
    options.logPath = root / "removal.log";
    return RunRemoval(options);
  }

  // The player's versions: at their places, in the VirtualStore, and one
  // that meets an earlier one there (the later keeps the name).
  void Play() {
    for (const auto& [file, content] : std::map<std::string, std::string>{
             {"Savegame\\slot1.sav", "career, day 3"}, {"Savegame\\options.cfg", "resolution=1920x1200"}})
      Write(target + file, content);
    Write(target + "ZEM7\\readme.txt", "edited by the player");
    Write(store + "\\Savegame\\slot1.sav", "career, day 2, saved without rights");
    Write(store + "\\Savegame\\cloud.sav", "saved without rights");
  }
  // A game played after a cut: a save rewritten (or made again where it was set aside) and a new one.
  void PlayAgain() {
    std::string save = target + "Savegame\\slot1.sav";
    if (FileExists(save)) versions.erase(ReadFile(save));
    MakeFolders(target + "Savegame");
    Write(save, "career, day 4");
    Write(target + "Savegame\\slot2.sav", "a new career");
  }
  void Write(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    versions.insert(content);
  }

  void ExpectEveryVersionPresent() const {
    std::multiset<std::string> present;
    for (const std::string& folder : {target, store})
      if (FolderExists(folder))
        for (const auto& file : FileSystem::FilesBelow(folder)) present.insert(ReadFile(folder + "\\" + file.path));
    for (const std::string& version : versions)
      EXPECT_TRUE(present.contains(version)) << version << "\n" << WhatTheLogSaysOfThePlayersFiles();
  }
  // The lines of the last run's log that tell what became of the player's files.
  std::string WhatTheLogSaysOfThePlayersFiles() const {
    std::string said;
    for (const std::string& line : LogTexts(download + "\\ZEM7InstallLog.txt"))
      if (line.find("your") != std::string::npos || line.find("Your") != std::string::npos ||
          line.find("recreate") != std::string::npos || line.starts_with("Deleting folder"))
        said += line + "\n";
    return said;
  }
  void ExpectInstalled(const Outcome& outcome) const {
    EXPECT_EQ(outcome.outcome, CommandOutcome::Installed) << outcome.said;
    EXPECT_EQ(outcome.errors, 0) << outcome.said;
    EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks5.bfs"));
    EXPECT_FALSE(FolderExists(target + "ZEM7 Kept Files"));
    EXPECT_FALSE(FolderExists(target + "datafull"));
    RecordKeeper keeper = RecordKeeper::Open(target);
    ASSERT_TRUE(keeper.Record());
    EXPECT_EQ(keeper.Record()->stage, RecordStage::Complete);
  }

  // The passes a whole command makes, and of each point its first and last
  // pass; of the record's writes and the steps' ends the middle one too, in
  // the midst of the run.
  template <typename Command>
  std::vector<std::pair<size_t, std::string>> PassesOf(Command&& command) {
    CutPoints::Arm(0);
    command();
    const std::vector<std::string> passed = wholeRun = CutPoints::Passed();
    CutPoints::Disarm();
    std::map<std::string, std::vector<size_t>> byName;
    for (size_t at = 0; at < passed.size(); ++at) byName[passed[at]].push_back(at + 1);
    std::set<size_t> chosen;
    for (const auto& [name, passes] : byName) {
      chosen.insert({passes.front(), passes.back()});
      if (name == "record.flushed" || name == "step.ended") chosen.insert(passes[passes.size() / 2]);
    }
    std::vector<std::pair<size_t, std::string>> cuts;
    for (size_t at : chosen) cuts.emplace_back(at, passed[at - 1]);
    return cuts;
  }

  // Ends command at pass, which the same command from the same state reaches the same way.
  void Cut(size_t pass, const std::function<void()>& command) {
    CutPoints::Arm(pass);
    bool cut = false;
    try {
      command();
    } catch (const RunCut&) {
      cut = true;
    }
    std::vector<std::string> passed = CutPoints::Passed();
    CutPoints::Disarm();
    ASSERT_TRUE(cut);
    ASSERT_EQ(passed, std::vector<std::string>(wholeRun.begin(), wholeRun.begin() + pass));
  }

  // An installation cut at pass, then as then says.
  void CutAndGoOn(size_t pass, Then then, bool recreate, bool torn = false) {
    Cut(pass, [&] { Install(recreate); });
    if (HasFatalFailure()) return;
    // A file system without a journal tears a rename over a file between its delete and its rename.
    if (torn) DeleteFileW(Widen(target + kRecordName).c_str());
    // Read as it lies, leaving a torn rename for the next run to find.
    auto record = ReadRecord(target);
    bool finished = std::holds_alternative<InstallationRecord>(record) &&
                    std::get<InstallationRecord>(record).stage == RecordStage::Complete;
    if (then == Then::Remove) {
      EXPECT_EQ(Remove(), 0) << ReadFile(root / "removal.log");
      EXPECT_FALSE(RegistryKeyExists(kUninstallKeys + UninstallKeyFor(target)));
    } else if (finished && !recreate) {
      // Cut once it was recorded as finished: without /RECREATE the same command leaves it as it is.
      if (then == Then::PlayThenSameCommand) PlayAgain();
      EXPECT_EQ(Install(recreate).outcome, CommandOutcome::NotStarted);
      EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks5.bfs"));
    } else {
      if (then == Then::PlayThenSameCommand) PlayAgain();
      ExpectInstalled(Install(recreate));
    }
    ExpectEveryVersionPresent();
  }

  TempFolder root{"zem7 cut", ProgramFilesFolder()};
  std::string game = root / "Games\\FlatOut\\";
  std::string download = root / "Mod Download";
  std::string target = root / "Games\\FlatOut - ZEM7\\";
  std::string store = VirtualStoreOf(target);
  // The played installation, laid out again in the same folder, whose record
  // names it, with its shortcuts and its entry.
  void KeepPlayed() { FileSystem::CopyFolder(target.substr(0, target.size() - 1), played, false); }
  void LayOutPlayed() {
    for (const auto& file : FileSystem::FilesBelow(target))
      if (file.path != kRecordName) FileSystem::RemoveFile(target + file.path, true);
    FileSystem::RemoveEmptyFolders(target);
    FileSystem::CopyFolder(played, target.substr(0, target.size() - 1), true);
    RecordKeeper keeper = RecordKeeper::Open(target);
    for (const std::string& shortcut : keeper.Record()->shortcuts) {
      MakeFolders(FileSystem::GetParentFolderName(shortcut));
      SaveShortcut(shortcut, target + "FlatOut.exe", target);
    }
    RegisterUninstallEntry(target, UninstallKeyFor(target), 1);
    RemoveTree(store);
    versions.clear();
    Play();
  }

  std::multiset<std::string> versions;
  std::vector<std::string> wholeRun;  // the points a whole command passes, in order
  std::string played = root / "played";
};

// A first installation, with saves waiting in the VirtualStore (one named
// like the installer's record), cut at each point and continued: the same
// command needs no /RECREATE.
TEST_F(CutTest, FirstInstallationCutAnywhereIsFinishedOrRemoved) {
  ASSERT_FALSE(store.empty());
  auto stock = [&] {
    RemoveTree(target);
    RemoveTree(store);
    versions.clear();
    Write(store + "\\Savegame\\cloud.sav", "saved without rights");
    Write(store + "\\ZEM7Install.dat", "a file of the player's named like the record");
  };
  stock();
  auto cuts = PassesOf([&] { ExpectInstalled(Install(false)); });
  ASSERT_FALSE(cuts.empty());
  const Then thens[] = {Then::PlayThenSameCommand, Then::SameCommand, Then::Remove};
  for (size_t at = 0; at < cuts.size(); ++at) {
    SCOPED_TRACE("cut at " + cuts[at].second + ", pass " + std::to_string(cuts[at].first));
    stock();
    CutAndGoOn(cuts[at].first, thens[at % std::size(thens)], false);
  }
}

// A re-run over a played installation cut at each point, the record's
// rename torn too: then the same command, played first, or the removal.
TEST_F(CutTest, RerunCutAnywhereKeepsEveryVersionOfThePlayersFiles) {
  ExpectInstalled(Install(false));
  KeepPlayed();
  LayOutPlayed();
  auto cuts = PassesOf([&] { ExpectInstalled(Install(true)); });
  ASSERT_FALSE(cuts.empty());
  const Then thens[] = {Then::PlayThenSameCommand, Then::Remove, Then::SameCommand};
  for (size_t at = 0; at < cuts.size(); ++at) {
    SCOPED_TRACE("cut at " + cuts[at].second + ", pass " + std::to_string(cuts[at].first));
    LayOutPlayed();
    CutAndGoOn(cuts[at].first, thens[at % std::size(thens)], true);
    // The rename torn where the record says the run begins, and where it says the run ended.
    auto first = std::find(wholeRun.begin(), wholeRun.end(), "record.flushed");
    auto last = std::find(wholeRun.rbegin(), wholeRun.rend(), "record.flushed");
    size_t pass = cuts[at].first;
    if (pass != size_t(first - wholeRun.begin()) + 1 && pass != wholeRun.size() - size_t(last - wholeRun.rbegin()))
      continue;
    SCOPED_TRACE("the rename torn");
    LayOutPlayed();
    CutAndGoOn(cuts[at].first, Then::PlayThenSameCommand, true, true);
  }
}

// A removal of a played installation cut at each point: the same removal
// finishes it, also once the player played again, and an installation with
// /RECREATE takes the folder as it is.
TEST_F(CutTest, RemovalCutAnywhereIsFinishedOrTheFolderTakesANewInstallation) {
  ExpectInstalled(Install(false));
  KeepPlayed();
  LayOutPlayed();
  auto cuts = PassesOf([&] { EXPECT_EQ(Remove(), 0); });
  ASSERT_FALSE(cuts.empty());
  for (size_t at = 0; at < cuts.size(); ++at) {
    SCOPED_TRACE("cut at " + cuts[at].second + ", pass " + std::to_string(cuts[at].first));
    LayOutPlayed();
    Cut(cuts[at].first, [&] { Remove(); });
    if (HasFatalFailure()) return;
    if (at % 3 == 2) {
      ExpectInstalled(Install(true));
    } else {
      if (at % 3 == 1) PlayAgain();
      EXPECT_EQ(Remove(), 0) << ReadFile(root / "removal.log");
      EXPECT_FALSE(RegistryKeyExists(kUninstallKeys + UninstallKeyFor(target)));
    }
    ExpectEveryVersionPresent();
  }
}

// A VirtualStore that is a link leads to somebody else's files: the run
// refuses it by name before it changes anything, and nothing there moves.
TEST_F(CutTest, AVirtualStoreThatIsALinkIsRefusedByName) {
  const std::string elsewhere = root / "Elsewhere";
  WriteFile(elsewhere + "\\Savegame\\theirs.sav", "not the player's");
  MakeFolders(FileSystem::GetParentFolderName(store));
  ASSERT_TRUE(MakeLink(store, elsewhere));
  Outcome outcome = Install(false);
  EXPECT_EQ(outcome.outcome, CommandOutcome::NotStarted);
  EXPECT_NE(outcome.said.find("\"" + store + "\" is a link, where Windows keeps your saves"), std::string::npos)
      << outcome.said;
  EXPECT_EQ(ReadFile(elsewhere + "\\Savegame\\theirs.sav"), "not the player's");
  EXPECT_FALSE(FileExists(target + kRecordName));
}

}  // namespace
