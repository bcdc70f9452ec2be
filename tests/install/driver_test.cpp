#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "archive.h"
#include "install/install_fixture.h"
#include "fileops/held_tree.h"
#include "install/install_steps.h"
#include "install/installation_record.h"
#include "install/uninstall_entry.h"
#include "registry/registry.h"
#include "support/cut_point.h"
#include "support/path_helpers.h"

namespace {

// Runs the driver over a game folder and a distribution that are both empty:
// every step fails, is reported, and the next one runs all the same. The
// download holds the extractor and its three archives, whole but empty, so
// that the test of the download passes.
class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = NewRun(ui, root / "Mod Download");
    run->plan.gameFolder = root / "Games\\FlatOut\\";
    run->plan.zem7Folder = root / "Games\\FlatOut - ZEM7\\";
    MakeFolders(root / "Games\\FlatOut");
    MakeFolders(run->plan.installerFolder);
    CopyFileW(Widen(StandInFolder() + "\\unrar.exe").c_str(), Widen(run->plan.installerFolder + "\\unrar.exe").c_str(),
              FALSE);
    for (const char* archive : kDownloadArchives)
      ArchiveWriter(run->plan.installerFolder + "\\" + archive, ArchiveKind::Rar).Finish();
    ui.AnswerAllWithOk();
    ui.Answer(IDNO);
    ui.Answer(IDNO);
  }
  void TearDown() override {
    SetCurrentDirectoryW(Widen(root.Path()).c_str());
    std::string programs = FormatPath(ReadRegistryString(
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Programs"));
    std::string desktop = FormatPath(ReadRegistryString(
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\Common Desktop"));
    DeleteFileW(Widen(programs + "Torvale\\FlatOut - ZEM7\\FlatOut.lnk").c_str());
    RemoveDirectoryW(Widen(programs + "Torvale\\FlatOut - ZEM7").c_str());
    RemoveDirectoryW(Widen(programs + "Torvale").c_str());
    DeleteFileW(Widen(desktop + "FlatOut.lnk").c_str());
    RemoveUninstallEntry(UninstallKeyFor(run->plan.zem7Folder));
  }
  std::vector<std::string> Log() const { return LogTexts(run->plan.installerFolder + "\\ZEM7InstallLog.txt"); }
  InstallResult Install(FileSystem::HeldTree* held = nullptr) {
    RecordKeeper keeper = RecordKeeper::Open(run->plan.zem7Folder);
    return InstallZEM7(*run, held, keeper);
  }

  TempFolder root{"zem7 driver"};
  ScriptedUi ui;
  std::unique_ptr<RunContext> run;
};

TEST_F(DriverTest, RunsEveryStepInOrderEvenWhenEachOneFails) {
  WriteFile(run->plan.installerFolder + "\\ZEM7InstallLog.txt", "an earlier run\r\n");
  Install();

  auto log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0], "Starting to installing ZEM7 mod.");
  // The scripted interface shows English, and the log says so.
  EXPECT_EQ(log[1], "Language shown: English (en), from the system's display language.");
  EXPECT_EQ(log[2], "Testing the ZEM7 Mod files.");
  EXPECT_EQ(log[3], "Creating folder: " + run->plan.zem7Folder);
  const char* headings[] = {
      "Copying FlatOut Game Files.",         "Copying ZEM7 Mod Files.",          "Unpacking the ZEM7 Track Files.",
      "Unpacking the 'Common2.bfs' file.",   "Creating the new tracks.",         "Unpacking the ZEM7 Track Files.",
      "Deleting unnecessary track folders.", "Creating new BFS files.",          "Creating shortcuts.",
      "Cleaning up installation files.",     "Finished installing the ZEM7 mod."};
  auto at = log.begin();
  for (const char* heading : headings) {
    at = std::find(at, log.end(), heading);
    ASSERT_NE(at, log.end()) << "missing or out of order: " << heading;
  }
  EXPECT_EQ(std::count(log.begin(), log.end(), "an earlier run"), 0);
  // The old log's deletion shows in the window, though not in the new file.
  EXPECT_NE(ui.progressText.find("Deleting File: " + run->plan.installerFolder + "\\ZEM7InstallLog.txt"),
            std::string::npos);
  EXPECT_EQ(ui.messages.back().text, "Would you like to play the FlatOut ZEM7 mod now?");
  EXPECT_GT(ui.messages.size(), 30u);  // every missing file and group was reported
  ASSERT_GE(ui.pointers.size(), 2u);
  EXPECT_EQ(ui.pointers[0], MousePointer::Hourglass);
  EXPECT_EQ(ui.pointers[1], MousePointer::Default);  // the first report
  EXPECT_TRUE(ui.unloaded);
}

std::unique_ptr<FileSystem::HeldTree> Held(const std::string& folder) {
  auto held = FileSystem::HeldTree::Hold(folder, {}, {}, EntriesNeverEmptied());
  auto* tree = std::get_if<std::unique_ptr<FileSystem::HeldTree>>(&held);
  if (!tree)
    ADD_FAILURE() << std::get<FileSystem::Obstacle>(held).path << ": " << std::get<FileSystem::Obstacle>(held).error;
  return tree ? std::move(*tree) : nullptr;
}

TEST_F(DriverTest, RecreateEmptiesTheTargetAsTheRunsFirstChangeOrSaysWhatIsLeft) {
  const std::string& target = run->plan.zem7Folder;
  WriteFile(target + "old\\FlatOut.exe", "an earlier installation");
  MakeReadOnly(target + "old\\FlatOut.exe");
  auto held = Held(target);
  ASSERT_TRUE(held);

  EXPECT_EQ(Install(held.get()), InstallResult::Completed);

  auto log = Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[3], "Deleting folder: " + target);
  EXPECT_FALSE(FolderExists(target + "old"));

  // A file that appeared after the checks keeps its folder from going: the
  // run stops there and says plainly what is left.
  for (const char* own : {kRecordName, kUninstallerName}) DeleteFileW(Widen(target + own).c_str());
  WriteFile(target + "a\\1.txt", "x");
  WriteFile(target + "b\\2.txt", "x");
  held = Held(target);
  ASSERT_TRUE(held);
  WriteFile(target + "b\\late.txt", "made meanwhile");
  ui.messages.clear();
  EXPECT_EQ(Install(held.get()), InstallResult::PartlyEmptied);
  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string& report = ui.messages[0].text;
  EXPECT_FALSE(report.starts_with("ERROR: 0,")) << report;
  EXPECT_NE(report.find("The ZEM7 Game Folder was only partly emptied: "), std::string::npos) << report;
  EXPECT_NE(report.find("Left in \"" + root / "Games\\FlatOut - ZEM7\": \"b\\late.txt\"."), std::string::npos)
      << report;
  // The record says that a run was under way: the next one may empty the rest.
  EXPECT_EQ(ListTree(target), (std::vector<std::string>{kRecordName, "b\\", "b\\late.txt"}));
  EXPECT_EQ(std::get<InstallationRecord>(ReadRecord(target)).stage, RecordStage::UnderWay);
  EXPECT_EQ(Log().back(), "Location: modZEM7::InstallZEM7");
}

// Setting the player's files aside that fails before anything is deleted
// puts back what it moved, and the earlier record: the run changes nothing,
// and says why once, by name.
TEST_F(DriverTest, ASetAsideThatFailsPutsBackEveryFileAndTheEarlierRecord) {
  const std::string& target = run->plan.zem7Folder;
  const std::string holding = target + "ZEM7 Kept Files";
  struct Case {
    const char* name;
    std::function<void()> inTheWay;
    const char* why;
  };
  const Case cases[] = {
      {"a file named as the holding folder", [&] { WriteFile(holding, "mine"); },
       "is a file where your files are to be kept."},
      {"a folder where a kept file must go", [&] { WriteFile(holding + "\\player\\settings.cfg\\x.txt", "x"); },
       "settings.cfg"},
      {"a holding folder that is a link", [&] { ASSERT_TRUE(MakeLink(holding, root / "Elsewhere")); },
       "is a link where your files are to be kept."},
  };
  WriteFile(root / "Elsewhere\\theirs.txt", "somebody else's");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(target);
    WriteFile(target + "data\\game.dat", "the installation's");
    WriteFile(target + "player\\settings.cfg", "as installed");
    InstallationRecord installed;
    installed.files = FileSystem::FilesBelow(target);
    WriteRecord(target, installed);
    const InstallationRecord earlier = *RecordKeeper::Open(target).Record();
    WriteFile(target + "player\\settings.cfg", "changed by the player");
    for (const char* shot : {"a", "b", "c"}) WriteFile(target + "shots\\" + shot + ".bmp", shot);
    c.inTheWay();
    auto held = Held(target);
    ASSERT_TRUE(held);
    ui.messages.clear();
    EXPECT_EQ(Install(held.get()), InstallResult::NotStarted);
    held.reset();
    EXPECT_EQ(ReadFile(target + "player\\settings.cfg"), "changed by the player");
    for (const char* shot : {"a", "b", "c"}) EXPECT_EQ(ReadFile(target + "shots\\" + shot + ".bmp"), shot);
    EXPECT_EQ(ReadFile(target + "data\\game.dat"), "the installation's");
    EXPECT_EQ(*RecordKeeper::Open(target).Record(), earlier);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("Your files could not be set aside, so nothing was deleted: "),
              std::string::npos);
    EXPECT_NE(ui.messages[0].text.find(c.why), std::string::npos) << ui.messages[0].text;
    EXPECT_EQ(ui.messages[0].text.find(".."), std::string::npos) << ui.messages[0].text;
    auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "Your files were put back where they were; nothing was changed."),
              log.end());
    EXPECT_EQ(ListTree(root / "Elsewhere"), std::vector<std::string>{"theirs.txt"});
  }
}

// What the players link in the way of their kept files is never gone
// through: a kept file that is a link to elsewhere (Wine shows it as a plain
// file) stays in the holding folder, and so does one whose folder became a
// link to elsewhere while the steps ran. Nothing they lead to changes.
TEST_F(DriverTest, LinksInTheWayOfTheKeptFilesAreNeverGoneThrough) {
  const std::string& target = run->plan.zem7Folder;
  const std::string holding = target + "ZEM7 Kept Files\\";
  WriteFile(root / "Elsewhere\\settings.cfg", "somebody else's");
  MakeFolders(root / "Outside");
  WriteFile(target + "data\\game.dat", "the installation's");
  InstallationRecord installed;
  installed.files = FileSystem::FilesBelow(target);
  WriteRecord(target, installed);
  WriteFile(target + "screenshots\\shot1.bmp", "new");
  MakeFolders(holding + "player");
  if (!MakeLink(holding + "player\\settings.cfg", root / "Elsewhere\\settings.cfg")) GTEST_SKIP() << "no links";
  CutPoints::MeddleAt("step.ended", [&] { ASSERT_TRUE(MakeLink(target + "screenshots", root / "Outside")); });
  auto held = Held(target);
  ASSERT_TRUE(held);
  Install(held.get());
  EXPECT_EQ(ReadFile(root / "Elsewhere\\settings.cfg"), "somebody else's");
  EXPECT_EQ(ListTree(root / "Outside"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(holding + "screenshots\\shot1.bmp"), "new");
  EXPECT_TRUE(FileExists(holding + "player\\settings.cfg"));
  auto log = Log();
  EXPECT_NE(
      std::find(log.begin(), log.end(), "Your files that could not be put back are in: " + target + "ZEM7 Kept Files"),
      log.end());
  EXPECT_TRUE(RemoveLink(target + "screenshots"));
}

// A re-run over a played installation keeps what the player made or changed
// since, put back over what the steps made; a stopped one leaves it aside,
// and says where.
TEST_F(DriverTest, RerunKeepsThePlayersFilesAndAStoppedOneLeavesThemAside) {
  const std::string& target = run->plan.zem7Folder;
  WriteFile(target + "data\\game.dat", "the installation's");
  WriteFile(target + "player\\settings.cfg", "as installed");
  InstallationRecord installed;
  installed.files = FileSystem::FilesBelow(target);
  WriteRecord(target, installed);
  WriteFile(target + "player\\settings.cfg", "changed by the player");
  WriteFile(target + "screenshots\\shot1.bmp", "new");
  auto held = Held(target);
  ASSERT_TRUE(held);

  EXPECT_EQ(Install(held.get()), InstallResult::Completed);
  EXPECT_EQ(ReadFile(target + "player\\settings.cfg"), "changed by the player");
  EXPECT_EQ(ReadFile(target + "screenshots\\shot1.bmp"), "new");
  EXPECT_FALSE(FileExists(target + "data\\game.dat"));
  EXPECT_FALSE(FolderExists(target + "ZEM7 Kept Files"));
  auto log = Log();
  for (const char* kept : {"player\\settings.cfg", "screenshots\\shot1.bmp"})
    EXPECT_NE(std::find(log.begin(), log.end(), "Keeping your file: " + target + kept), log.end()) << kept;
  EXPECT_NE(std::find(log.begin(), log.end(), "2 file(s) of yours were kept."), log.end());
  // The players may write the folder only once nothing of the mod runs there any more.
  auto letting = std::find(log.begin(), log.end(), "Letting the Users group modify the folder: " + target);
  EXPECT_TRUE(letting != log.end() && letting > std::find(log.begin(), log.end(), "2 file(s) of yours were kept."));
  // The new record is the run's: the player's files are not in it, and its entry is registered.
  auto rerun = ReadRecord(target);
  ASSERT_TRUE(std::holds_alternative<InstallationRecord>(rerun)) << std::get<RecordFault>(rerun).Why().English();
  EXPECT_EQ(RecordKeeper::Open(target).PlayersFiles(FileSystem::FilesBelow(target)).size(), 2u);
  EXPECT_EQ(std::get<InstallationRecord>(rerun).stage, RecordStage::Complete);
  EXPECT_EQ(ReadRegistryString(kUninstallKeys + UninstallKeyFor(target) + "\\UninstallString"),
            "\"" + target + "ZEM7Uninstall.exe\" /UNINSTALL");

  held = Held(target);
  ASSERT_TRUE(held);
  ui.progressText.clear();
  ui.onPump = [&] {
    if (ui.progressText.find("Copying ZEM7 Mod Files.") != std::string::npos) run->stopRequested = true;
  };
  EXPECT_EQ(Install(held.get()), InstallResult::Stopped);
  EXPECT_EQ(ReadFile(target + "ZEM7 Kept Files\\player\\settings.cfg"), "changed by the player");
  EXPECT_EQ(ReadFile(target + "ZEM7 Kept Files\\screenshots\\shot1.bmp"), "new");
  EXPECT_TRUE(
      ui.messages.back().text.ends_with("Your saves and settings are kept in \"" + target + "ZEM7 Kept Files\"."))
      << ui.messages.back().text;

  // The next run takes what waits there for the player's, never moving the
  // holding folder into itself; a later version of a kept file stays at its
  // place and the earlier one beside it.
  WriteFile(target + "player\\settings.cfg", "changed again");
  EXPECT_EQ(RecordKeeper::Open(target).Record()->stage, RecordStage::Stopped);
  held = Held(target);
  ASSERT_TRUE(held);
  ui.onPump = nullptr;
  run->stopRequested = false;
  ui.Answer(IDNO);
  ui.Answer(IDNO);
  EXPECT_EQ(Install(held.get()), InstallResult::Completed);
  EXPECT_EQ(ReadFile(target + "player\\settings.cfg"), "changed again");
  EXPECT_EQ(ReadFile(target + "player\\settings (earlier copy).cfg"), "changed by the player");
  EXPECT_EQ(ReadFile(target + "screenshots\\shot1.bmp"), "new");
  EXPECT_FALSE(FolderExists(target + "ZEM7 Kept Files"));
  // The third run in the same window knows only its own shortcuts.
  EXPECT_EQ(RecordKeeper::Open(target).Record()->shortcuts, run->facts.shortcuts);
  EXPECT_EQ(run->facts.shortcuts.size(), 2u);
  log = Log();
  for (const std::string& line : {"Your files kept by an earlier run: 2 in " + target + "ZEM7 Kept Files",
                                  "Keeping your earlier copy of " + target + "player\\settings.cfg as: " + target +
                                      "player\\settings (earlier copy).cfg",
                                  std::string("3 file(s) of yours were kept.")})
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

// The download is tested before anything changes: a damaged archive refuses
// the run, and a stop during the test changes nothing either.
TEST_F(DriverTest, DamagedDownloadOrAStopDuringItsTestChangesNothing) {
  const std::string& target = run->plan.zem7Folder;
  WriteFile(target + "FlatOut.exe", "an earlier installation");
  std::string archive = run->plan.installerFolder + "\\zem7trackfiles.rar";
  std::string whole = ReadFile(archive);
  WriteFile(archive, whole.substr(0, whole.size() - 1));  // cut short, as a broken download is
  auto held = Held(target);
  ASSERT_TRUE(held);
  EXPECT_EQ(Install(held.get()), InstallResult::NotStarted);
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_TRUE(ui.messages.back().text.starts_with(
      "The ZEM7 Mod file \"zem7trackfiles.rar\" is damaged (the RAR extractor's test ended with exit code "))
      << ui.messages.back().text;
  EXPECT_TRUE(ui.messages.back().text.ends_with(").\r\nPlease download the mod again."));
  EXPECT_EQ(ui.messages.back().title, "ZEM7 Installer");
  EXPECT_EQ(Log().back(), "Testing the ZEM7 Mod files.");
  held.reset();
  EXPECT_EQ(ListTree(target), std::vector<std::string>{"FlatOut.exe"});

  WriteFile(archive, whole);
  ui.onPump = [&] {
    if (ui.progressText.find("Testing the ZEM7 Mod files.") != std::string::npos) run->stopRequested = true;
  };
  EXPECT_EQ(Install(), InstallResult::StoppedBeforeAnyChange);
  EXPECT_EQ(Log().back(),
            "The installation was stopped at the user's request while the ZEM7 Mod files were tested; nothing was "
            "changed.");
  EXPECT_EQ(ListTree(target), std::vector<std::string>{"FlatOut.exe"});
  EXPECT_TRUE(ui.unloaded);
}

// A stop is honoured at the next safe point: no further step, no clean-up,
// no closing question; the log and a box say where it ended.
TEST_F(DriverTest, StopEndsTheRunAtTheNextSafePointAndSaysWhere) {
  ui.onPump = [&] {
    if (ui.progressText.find("Copying ZEM7 Mod Files.") != std::string::npos) run->stopRequested = true;
  };
  EXPECT_EQ(Install(), InstallResult::Stopped);

  auto log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_TRUE(log[log.size() - 2].ends_with(" error(s) were reported during the installation.")) << log[log.size() - 2];
  EXPECT_EQ(log.back(),
            "The installation was stopped at the user's request during step 3 of 12 (modZEM7::CopyZEM7Files); the "
            "ZEM7 Game Folder is incomplete.");
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unpacking the ZEM7 Track Files."), 0);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Cleaning up installation files."), 0);
  EXPECT_EQ(ui.messages.back().text,
            "The installation of the FlatOut ZEM7 Mod was stopped; the ZEM7 Game Folder is incomplete.\r\n"
            "Run the installer again to recreate it.");
  EXPECT_EQ(ui.messages.back().title, "ZEM7 Installation");
  EXPECT_EQ(ui.messages.back().style, static_cast<unsigned>(MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(ui.unloaded);
  EXPECT_FALSE(run->stoppable);
}

// A run stopped while the new tracks are packed leaves files with several
// names in "datafull" and "data"; the next run's hold takes every name,
// empties the folder and installs.
TEST_F(DriverTest, RerunAfterAStopWithLinkedTracksEmptiesAndInstalls) {
  FixtureOptions fixture;
  fixture.gameFolder = root / "Games\\FlatOut";
  fixture.distributionFolder = run->plan.installerFolder;
  fixture.size = 300 * 1024;
  fixture.standInFolder = StandInFolder();
  BuildFixture(fixture);
  const std::string& target = run->plan.zem7Folder;
  ui.onPump = [&] {
    if (ui.progressText.find("> Part 2 of 5.") != std::string::npos) run->stopRequested = true;
  };
  ASSERT_EQ(Install(), InstallResult::Stopped);
  EXPECT_GT(FileSystem::NameCount(target + "datafull\\tracks\\forest\\forest1\\a\\geometry.w32"), 1u);

  auto held = Held(target);
  ASSERT_TRUE(held);
  ui.onPump = nullptr;
  run->stopRequested = false;
  ui.messages.clear();
  EXPECT_EQ(Install(held.get()), InstallResult::Completed);
  EXPECT_EQ(ui.messages.size(), 2u) << (ui.messages.empty() ? "" : ui.messages[0].text);  // the closing questions
  for (int part = 1; part <= 5; ++part)
    EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks" + std::to_string(part) + ".bfs")) << part;
  EXPECT_FALSE(FolderExists(target + "datafull"));
}

TEST_F(DriverTest, NoStepRunsForATargetThatCouldNotBeMade) {
  WriteFile(root / "Games\\a file", "x");
  run->plan.zem7Folder = root / "Games\\a file\\FlatOut - ZEM7\\";

  EXPECT_EQ(Install(), InstallResult::NotStarted);

  auto log = Log();
  ASSERT_EQ(log.size(), 6u);  // the start, the language, the test, the folder, the report's two lines
  EXPECT_EQ(log[3], "Creating folder: " + run->plan.zem7Folder);
  EXPECT_EQ(log[5], "Location: modZEM7::SafeCreateFolder");
  EXPECT_EQ(ui.pointers.back(), MousePointer::Default);
  EXPECT_FALSE(ui.unloaded);
}

}  // namespace
