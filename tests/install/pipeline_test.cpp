#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "archive.h"
#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_fixture.h"
#include "install/install_steps.h"
#include "support/path_helpers.h"
#include "support/text.h"

namespace {

std::set<std::string> TracksIn(const std::vector<ArchiveEntry>& entries) {
  std::set<std::string> tracks;
  const std::string prefix = "data\\tracks\\";
  for (const ArchiveEntry& entry : entries) {
    if (!entry.name.starts_with(prefix)) continue;
    std::string rest = entry.name.substr(prefix.size());
    tracks.insert(rest.substr(0, rest.find('\\')));
  }
  return tracks;
}

bool Holds(const std::vector<ArchiveEntry>& entries, const std::string& name) {
  return std::any_of(entries.begin(), entries.end(), [&](const ArchiveEntry& e) { return e.name == name; });
}

void RunStepsThroughTheSplit(InstallFixture& fixture) {
  SafeCreateFolder(*fixture.run, fixture.run->plan.zem7Folder);
  CopyFlatOutFiles(*fixture.run);
  CopyZEM7Files(*fixture.run);
  UnpackZEM7SystemFiles(*fixture.run);
  UnpackBFSFile(*fixture.run);
  CopyTracks(*fixture.run);
  UnpackZEM7TrackFiles(*fixture.run);
  DeleteTrackFolders(*fixture.run);
  SplitAndPackTrackFolders(*fixture.run);
}

TEST(PipelineTest, BuildsFiveTrackArchivesAndLeavesTheGameUntouched) {
  InstallFixture fixture;
  FolderSnapshot gameBefore = SnapshotFolder(fixture.Game());
  RunStepsThroughTheSplit(fixture);
  const std::string target = fixture.Target();
  EXPECT_TRUE(fixture.ui.messages.empty());

  // Layout after the split: the groups stay behind, every track went into
  // exactly one of the five archives, and only the fourth holds the filler.
  EXPECT_FALSE(FolderExists(target + "data"));
  for (const char* group : {"arena", "derby", "forest", "pit", "town", "winter"})
    EXPECT_TRUE(FolderExists(target + "datafull\\tracks\\" + group)) << group;
  auto log = fixture.Log();
  std::set<std::string> packed;
  size_t packedCount = 0;
  for (int part = 1; part <= 5; ++part) {
    std::string archive = "zem7-tracks" + std::to_string(part) + ".bfs";
    ASSERT_TRUE(FileExists(target + "ZEM7-Patches\\" + archive)) << archive;
    auto entries = ListArchive(target + "ZEM7-Patches\\" + archive, ArchiveKind::Bfs);
    std::set<std::string> tracks = TracksIn(entries);
    EXPECT_FALSE(tracks.empty()) << archive;
    EXPECT_EQ(Holds(entries, "data\\filler76k"), part == 4) << archive;
    std::string heading = "> Part " + std::to_string(part) + " of 5.";
    EXPECT_EQ(CountBetween(log, heading, "> Part", "Moving Folder: "), static_cast<int>(tracks.size())) << heading;
    packedCount += tracks.size();
    packed.insert(tracks.begin(), tracks.end());
  }
  EXPECT_EQ(packedCount, 40u);
  EXPECT_EQ(packed.size(), 40u);
  for (const std::string& track : packed) EXPECT_FALSE(FolderExists(target + "datafull\\tracks\\" + track)) << track;

  auto forest = ListArchive(target + "ZEM7-Patches\\zem7-tracks2.bfs", ArchiveKind::Bfs);
  EXPECT_FALSE(Holds(forest, "data\\tracks\\forestextended1\\forest1\\a"));
  EXPECT_FALSE(Holds(forest, "data\\tracks\\forestextended1\\forest2"));
  EXPECT_TRUE(Holds(forest, "data\\tracks\\forestextended1\\forest1\\b"));
  EXPECT_TRUE(Holds(forest, "data\\tracks\\forestwinter\\forest2"));

  // An untrimmed derived track is a byte-exact copy of its group.
  TempFolder unpacked;
  UnpackArchive(target + "ZEM7-Patches\\zem7-tracks1.bfs", ArchiveKind::Bfs, unpacked.Path());
  EXPECT_EQ(CompareSnapshots(SnapshotFolder(target + "datafull\\tracks\\arena", FolderTimes::Ignore),
                             SnapshotFolder(unpacked / "data\\tracks\\arenaderby", FolderTimes::Ignore)),
            std::vector<std::string>{});

  // The packer's input: short, lower case, doubled backslashes, no line end.
  std::string shortTarget = GetShortPath(fixture.run->reporter, target);
  if (!shortTarget.ends_with("\\")) shortTarget += "\\";
  std::string expected;
  for (char c : shortTarget + "data") expected += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_EQ(ReadFile(target + "in.txt"), ToLower(expected));

  // The log, step by step.
  EXPECT_EQ(CountBetween(log, "Creating the new tracks.", "Unpacking", "> "), 7);
  EXPECT_EQ(CountBetween(log, "Creating the new tracks.", "Unpacking", "Copying Folder: "), 29);
  EXPECT_EQ(CountBetween(log, "Deleting unnecessary track folders.", "Creating new BFS files.", "Deleting folder: "),
            61);
  for (int part = 1; part <= 5; ++part) {
    std::string heading = "> Part " + std::to_string(part) + " of 5.";
    EXPECT_EQ(CountBetween(log, heading, "> Part", "Creating folder: "), 2) << heading;
    EXPECT_EQ(CountBetween(log, heading, "> Part", "Moving File: "), 2) << heading;
    EXPECT_EQ(CountBetween(log, heading, "> Part", "Copying File: "), part == 4 ? 1 : 0) << heading;
  }
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unpacking the ZEM7 Track Files."), 2);
  EXPECT_TRUE(FileExists(target + "filler76k"));

  EXPECT_EQ(CompareSnapshots(gameBefore, SnapshotFolder(fixture.Game())), std::vector<std::string>{});
}

// The new tracks as second names of their groups' or as copies: the same
// five archives and the same log, though the track archive writes over a
// group's file that new tracks share, and over a new track's file. What the
// trims delete is never linked: of the nine new racing tracks, four keep
// racing1\a and five racing1\b.
TEST(PipelineTest, LinkedOrCopiedTracksGiveTheSameArchivesAndLog) {
  std::vector<std::string> archives[2], logs[2];
  for (bool linked : {true, false}) {
    SCOPED_TRACE(linked ? "linked" : "copied");
    InstallFixture fixture;
    RunContext& run = *fixture.run;
    run.linkTrackFiles = linked;
    const std::string target = fixture.Target();
    SafeCreateFolder(run, target);
    for (auto step : {CopyFlatOutFiles, CopyZEM7Files, UnpackZEM7SystemFiles, UnpackBFSFile, CopyTracks}) step(run);
    // Each file the archive writes over has the group's name and those of the new tracks that keep it.
    auto games = [&](const std::string& track, const char* leaf) {
      return target + "data\\tracks\\" + track + "\\racing1\\" + leaf + "\\splines.ai";
    };
    EXPECT_EQ(FileSystem::NameCount(target + kReplacedTrackFile), linked ? 5u : 1u);
    EXPECT_EQ(FileSystem::NameCount(target + kReplacedNewTrackFile), linked ? 6u : 1u);
    EXPECT_TRUE(FileSystem::FolderExists(target + "data\\tracks\\racingderby\\racing2"));
    EXPECT_TRUE(ListTree(target + "data\\tracks\\racingderby\\racing2").empty());
    std::string gameA = Fnv1aHex(ReadFile(games("racing", "a"))), gameB = Fnv1aHex(ReadFile(games("racing", "b")));
    UnpackZEM7TrackFiles(run);
    EXPECT_NE(Fnv1aHex(ReadFile(target + kReplacedTrackFile)), gameA);
    EXPECT_NE(Fnv1aHex(ReadFile(target + kReplacedNewTrackFile)), gameB);
    EXPECT_EQ(Fnv1aHex(ReadFile(games("racingwinter", "a"))), gameA);
    EXPECT_EQ(Fnv1aHex(ReadFile(games("racing", "b"))), gameB);
    EXPECT_EQ(Fnv1aHex(ReadFile(games("racingwinter", "b"))), gameB);
    // By the extractor's list, only what it wrote over got a file of its own.
    EXPECT_EQ(FileSystem::NameCount(games("racing", "b")), linked ? 5u : 1u);
    EXPECT_EQ(FileSystem::NameCount(target + "data\\tracks\\racing\\racing1\\a\\geometry.w32"), linked ? 5u : 1u);
    for (auto step : {DeleteTrackFolders, SplitAndPackTrackFolders}) step(run);
    EXPECT_TRUE(fixture.ui.messages.empty());
    for (int part = 1; part <= 5; ++part)
      archives[linked].push_back(
          Fnv1aHex(ReadFile(target + "ZEM7-Patches\\zem7-tracks" + std::to_string(part) + ".bfs")));
    for (std::string line : fixture.Log()) {
      for (size_t at; (at = line.find(fixture.root.Path())) != std::string::npos;)
        line.replace(at, fixture.root.Path().size(), "<root>");
      logs[linked].push_back(line);
    }
  }
  EXPECT_EQ(archives[true], archives[false]);
  EXPECT_EQ(logs[true], logs[false]);
}

TEST(PipelineTest, MissingArchiveIsReportedAndItsDeletionLoggedAsMissing) {
  InstallFixture fixture({kTrackFilesRar});
  fixture.ui.AnswerAllWithOk();
  SafeCreateFolder(*fixture.run, fixture.Target());
  CopyZEM7Files(*fixture.run);
  UnpackZEM7TrackFiles(*fixture.run);
  auto log = fixture.Log();
  const std::string source = fixture.run->plan.installerFolder + "\\zem7trackfiles.rar";
  EXPECT_NE(std::find(log.begin(), log.end(), "** ERROR: Cannot copy file due to it missing: " + source), log.end());
  EXPECT_EQ(log.back(), "Delete File missing (Not a problem): " + fixture.Target() + "zem7trackfiles.rar");
  ASSERT_EQ(fixture.ui.messages.size(), 2u);
  EXPECT_TRUE(fixture.ui.messages[0].text.ends_with("Location: modZEM7::SafeCopyFile"));
  // The extractor's failure is reported with its exit code, not passed over.
  EXPECT_EQ(fixture.ui.messages[1].text,
            "ERROR: 6, \"unrar.exe\" could not extract \"zem7trackfiles.rar\" (exit code 6).\r\n"
            "Location: modZEM7::UnpackZEM7Files");
  EXPECT_TRUE(FileExists(fixture.Target() + "zem7systemfiles.rar"));
}

TEST(PipelineTest, MissingGroupGivesEmptyTracksAndOneReportPerRow) {
  InstallFixture fixture;
  fixture.ui.AnswerAllWithOk();
  MakeFolders(fixture.Target() + "data\\tracks\\arena");
  WriteFile(fixture.Target() + "data\\tracks\\arena\\arena1\\x.txt", "x");
  CopyTracks(*fixture.run);
  int reports = 0;
  for (const auto& message : fixture.ui.messages) reports += message.text.ends_with("modZEM7::SafeCopyFolder");
  EXPECT_EQ(reports, 24);  // every row but the five arena ones
  EXPECT_TRUE(FolderExists(fixture.Target() + "data\\tracks\\pitking"));
  EXPECT_TRUE(ListTree(fixture.Target() + "data\\tracks\\pitking").empty());
  EXPECT_EQ(ReadFile(fixture.Target() + "data\\tracks\\arenawinter\\arena1\\x.txt"), "x");

  fixture.ui.messages.clear();
  DeleteTrackFolders(*fixture.run);  // nothing to trim in the empty ones, and nothing reported
  EXPECT_TRUE(fixture.ui.messages.empty());
  EXPECT_FALSE(FolderExists(fixture.Target() + "data\\tracks\\arenaaphaltroundabout\\arena1"));
}

TEST(PipelineTest, SplitWithoutDataReportsOnceAndBuildsNothing) {
  InstallFixture fixture;
  fixture.ui.AnswerAllWithOk();
  MakeFolders(fixture.Target() + "ZEM7-Patches");
  SplitAndPackTrackFolders(*fixture.run);
  ASSERT_EQ(fixture.ui.messages.size(), 1u);
  EXPECT_TRUE(fixture.ui.messages[0].text.ends_with("Location: modZEM7::SplitAndPackTrackFolders"));
  EXPECT_EQ(fixture.Log().front(), "Creating new BFS files.");
  EXPECT_EQ(CountBetween(fixture.Log(), "Creating new BFS files.", "", "> Part"), 0);
  EXPECT_TRUE(ListTree(fixture.Target() + "ZEM7-Patches").empty());
}

class PackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders(fixture.Target());
    WriteFile(fixture.Target() + "data\\tracks\\stunt\\track.ini", "stunt");
    UnpackArchive(fixture.run->plan.installerFolder + "\\zem7makebfs.rar", ArchiveKind::Rar, fixture.Target());
  }
  void TearDown() override { SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", nullptr); }
  InstallFixture fixture;
};

TEST_F(PackerTest, StaleMarkerAndArchiveAreDeletedFirstAndTheNewArchiveMovedToItsName) {
  WriteFile(fixture.Target() + "finished.txt", "from an earlier pack");
  WriteFile(fixture.Target() + "br549temp.bfs", "from an earlier pack");
  EXPECT_TRUE(PackBFSFile(*fixture.run, "zem7-tracks9.bfs"));
  auto log = fixture.Log();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[0], "Creating the new 'zem7-tracks9.bfs' file.");
  EXPECT_EQ(log[1], "Deleting File: " + fixture.Target() + "finished.txt");
  EXPECT_EQ(log[2], "Deleting File: " + fixture.Target() + "br549temp.bfs");
  EXPECT_TRUE(fixture.ui.messages.empty());
  EXPECT_FALSE(FileExists(fixture.Target() + "finished.txt"));
  EXPECT_FALSE(FileExists(fixture.Target() + "br549temp.bfs"));
  EXPECT_EQ(TracksIn(ListArchive(fixture.Target() + "zem7-tracks9.bfs", ArchiveKind::Bfs)),
            std::set<std::string>{"stunt"});
  EXPECT_FALSE(ReadFile(fixture.Target() + "in.txt").ends_with("\n"));
}

// A marker that comes after the packer ended is seen when the folder tells
// of it: the poll, set here to a minute, would see it far later. One that
// never comes is reported once the bound has passed, and the next pack runs.
TEST_F(PackerTest, LateMarkerIsSeenAsItComesAndOneThatNeverComesIsReportedAfterTheBound) {
  fixture.run->tools.markerPollMs = 60000;
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"latemarker:300");
  ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(PackBFSFile(*fixture.run, "zem7-tracks1.bfs"));
  EXPECT_LT(GetTickCount64() - start, 30000u);
  EXPECT_TRUE(fixture.ui.messages.empty());

  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"nomarker");
  fixture.run->tools.finishMarkerWaitMs = 1500;
  fixture.ui.AnswerAllWithOk();
  start = GetTickCount64();
  PackBFSFile(*fixture.run, "zem7-tracks2.bfs");
  EXPECT_GE(GetTickCount64() - start, 1500u);
  PackBFSFile(*fixture.run, "zem7-tracks3.bfs");
  ASSERT_EQ(fixture.ui.messages.size(), 2u);
  for (const auto& message : fixture.ui.messages)
    EXPECT_EQ(message.text,
              "ERROR: 1460, The BFS packer ended without creating \"finished.txt\"; the archive was not made.\r\n"
              "Location: modZEM7::PackBFSFile");
  auto log = fixture.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Creating the new 'zem7-tracks3.bfs' file."), 1);
  EXPECT_FALSE(FileExists(fixture.Target() + "zem7-tracks2.bfs"));
}

TEST_F(PackerTest, PackerThatFailsIsReportedWithItsExitCodeWithoutWaitingOutTheBound) {
  SetEnvironmentVariableW(L"ZEM7_MAKEBFS_MODE", L"crash");
  fixture.ui.AnswerAllWithOk();
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(PackBFSFile(*fixture.run, "zem7-tracks1.bfs"));
  EXPECT_LT(GetTickCount64() - start, 30000u);  // the bound is two minutes
  ASSERT_EQ(fixture.ui.messages.size(), 1u);
  EXPECT_EQ(fixture.ui.messages[0].text,
            "ERROR: 3, \"makebfs.exe\" could not make the archive (exit code 3).\r\nLocation: modZEM7::PackBFSFile");
}

// The tools are started by their path in the target: one of the same name in
// the installer's own folder, which the system would search first, never runs.
TEST_F(PackerTest, ToolMissingFromTheTargetIsReportedOnceNotWaitedForAndNeverLookedForElsewhere) {
  std::vector<std::string> decoys = {ExecutableFolder() + "\\makebfs.exe", ExecutableFolder() + "\\bfsunpack.exe"};
  for (const std::string& decoy : decoys)
    ASSERT_TRUE(CopyFileW(Widen(StandInFolder() + "\\FlatOut.exe").c_str(), Widen(decoy).c_str(), FALSE));
  std::string record = fixture.root / "decoy ran.txt";
  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", Widen(record).c_str());
  for (const char* tool : {"makebfs.exe", "bfsunpack.exe"}) DeleteFileW(Widen(fixture.Target() + tool).c_str());
  WriteFile(fixture.Target() + "br549temp.bfs", "from an earlier pack");
  fixture.ui.AnswerAllWithOk();

  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(PackBFSFile(*fixture.run, "zem7-tracks1.bfs"));
  EXPECT_FALSE(PackBFSFile(*fixture.run, "zem7-tracks2.bfs"));
  ULONGLONG elapsedMs = GetTickCount64() - start;
  UnpackBFSFile(*fixture.run);

  SetEnvironmentVariableW(L"ZEM7_RUN_RECORD", nullptr);
  for (const std::string& decoy : decoys) DeleteFileW(Widen(decoy).c_str());
  EXPECT_FALSE(FileExists(record)) << ReadFile(record);
  EXPECT_LT(elapsedMs, 10000u);               // no wait for a marker that cannot come
  ASSERT_EQ(fixture.ui.messages.size(), 3u);  // once per pack, once for the unpacker
  for (const auto& message : fixture.ui.messages)
    EXPECT_TRUE(message.text.ends_with("Location: ShellAndWaitForTermination")) << message.text;
  EXPECT_FALSE(FileExists(fixture.Target() + "zem7-tracks1.bfs"));
  EXPECT_FALSE(FileExists(fixture.Target() + "br549temp.bfs"));
}

}  // namespace
