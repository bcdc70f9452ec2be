#include <windows.h>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "run_division.h"
#include "whole_replay.h"
#include "whole_run.h"

namespace {

constexpr const char* kTarget = "C:\\G\\FlatOut - ZEM7\\";

std::vector<StampedLine> Lines(const std::vector<std::string>& texts) {
  std::vector<StampedLine> lines;
  uint64_t ticks = 1000;
  for (const std::string& text : texts) lines.push_back({ticks += 10, text});
  return lines;
}

std::string Entry(const std::string& text) { return "1:24:08 PM : 9% : " + text; }

std::vector<std::string> Kinds(const WholeRun& run) {
  std::vector<std::string> described;
  for (const WholeOperation& operation : run.operations)
    described.push_back(std::to_string(operation.segment) + " " + DescriptionOf(operation.kind) + " " + operation.from +
                        (operation.to.empty() ? "" : " -> " + operation.to));
  return described;
}

}  // namespace

// The lines of a run, as the installer prints them, read back into its
// segments and operations, with what the lines leave out filled in.
TEST(WholeRunRecorder, ReadsEveryOperationAndFillsInWhatTheLinesLeaveOut) {
  std::string t = kTarget;
  std::vector<StampedLine> lines =
      Lines({"Are you sure you want to install ZEM7?",
             Entry("Testing the ZEM7 Mod files."),
             Entry("Creating folder: " + t),
             Entry("Copying FlatOut Game Files."),
             Entry("Copying File: C:\\G\\FlatOut\\Common2.bfs"),
             Entry("Copying ZEM7 Mod Files."),
             Entry("Unpacking the ZEM7 Track Files."),
             "UNRAR stand-in: extracting 12 files",
             Entry("Deleting File: " + t + "zem7systemfiles.rar"),
             Entry("Unpacking the 'Common2.bfs' file."),
             Entry("Creating the new tracks."),
             Entry("Copying Folder: " + t + "data\\tracks\\arena >> " + t + "data\\tracks\\arenaderby"),
             Entry("Unpacking the ZEM7 Track Files."),
             Entry("Deleting unnecessary track folders."),
             Entry("Deleting folder: " + t + "data\\tracks\\arenaderby\\arena1"),
             Entry("Creating new BFS files."),
             Entry("Moving Folder: " + t + "datafull\\tracks\\arenaderby >> " + t + "data\\tracks\\"),
             Entry("Copying File: " + t + "filler76k"),
             Entry("Creating the new 'zem7-tracks1.bfs' file."),
             Entry("Deleting File: " + t + "finished.txt"),
             Entry("Moving File: " + t + "br549temp.bfs"),
             Entry("Moving File: " + t + "zem7-tracks1.bfs"),
             Entry("Creating shortcuts."),
             Entry("Creating folder: C:\\ProgramData\\Start Menu\\Programs\\Torvale"),
             Entry("Cleaning up installation files."),
             Entry("Deleting File: C:\\G\\FlatOut - ZEM7 old\\x.txt"),
             Entry("Recording the installation: " + t + "ZEM7Install.dat"),
             Entry("Finished installing the ZEM7 mod.")});
  WholeRun run = ReadWholeRun(lines, {kTarget, "D:\\Mod\\ZEM7Installer.exe", 77});

  // Each segment starts with its own line; the shared unpacking line is matched in order.
  for (int segment = 1; segment < kSegments; ++segment) EXPECT_NE(run.segmentStart[segment], 0u) << segment;
  EXPECT_LT(run.segmentStart[4], run.segmentStart[7]);
  EXPECT_EQ(run.segmentStart[1], 1030u);
  // The tools' own output is no entry of the window's.
  EXPECT_EQ(run.entries[kBeforeTheSteps], 1);
  EXPECT_EQ(run.entries[4], 2);
  std::vector<std::string> expected = {
      "1 folder creations ",
      "2 file copies C:\\G\\FlatOut\\Common2.bfs -> Common2.bfs",
      "4 extractions zem7systemfiles.rar",
      "4 file deletes zem7systemfiles.rar",
      "5 BFS unpackings Common2.bfs",
      "6 folder copies data\\tracks\\arena -> data\\tracks\\arenaderby",
      "8 folder deletes data\\tracks\\arenaderby\\arena1",
      "9 folder moves data -> datafull",
      "9 folder moves datafull\\tracks\\arenaderby -> data\\tracks\\arenaderby",
      "9 file copies filler76k -> data\\filler76k",
      "9 packings data",
      "9 file deletes finished.txt",
      "9 file moves br549temp.bfs -> zem7-tracks1.bfs",
      "9 file moves zem7-tracks1.bfs -> ZEM7-Patches\\zem7-tracks1.bfs",
      "11 folder deletes datafull",
      "12 file copies D:\\Mod\\ZEM7Installer.exe -> ZEM7Uninstall.exe",
      "12 records  -> ZEM7Install.dat",
  };
  EXPECT_EQ(Kinds(run), expected);
  EXPECT_EQ(run.operations.back().size, 77u);
  EXPECT_FALSE(run.operations[1].fromTarget);

  // After a tool's end the run went on with its next line, not the tool's own
  // output (at 1080 here), or with the next tool, whichever came first.
  InstallationTiming timing;
  timing.installer = {1000, 2000};
  timing.lines = lines;
  timing.tools = {{{1062, 1075}}, {{1078, 1082}}, {{1285, 1290}}};
  std::vector<double> waits = WaitsAfterTools(timing);
  ASSERT_EQ(waits.size(), 3u);
  EXPECT_DOUBLE_EQ(waits[0] * 1e7, 3);
  EXPECT_DOUBLE_EQ(waits[1] * 1e7, 8);
  EXPECT_DOUBLE_EQ(waits[2] * 1e7, 2000 - 1290);  // nothing after it but the installer's end

  EXPECT_EQ(ProgressText("12:01:02 AM : 100% : Done: 5 : 6"), "Done: 5 : 6");
  EXPECT_FALSE(ProgressText("Extracting from x : 5 files"));
  EXPECT_FALSE(ProgressText("a : b% : c"));
}

// The bare replay does each kind of operation on a fresh target, times it in
// its segment, and names what failed rather than stopping.
TEST(WholeRunReplay, DoesEveryOperationInItsSegmentAndNamesTheOnesThatFail) {
  TempFolder folder("zem7 replay");
  WriteFile(folder / "game\\FlatOut.exe", std::string(1000, 'x'));
  MakeReadOnly(folder / "game\\FlatOut.exe");
  std::string root = folder / "target\\";
  using Kind = WholeOperationKind;
  WholeRun run;
  run.operations = {
      {Kind::CreateFolder, 1, "", ""},
      {Kind::CopyFile, 2, folder / "game\\FlatOut.exe", "FlatOut.exe", false},
      {Kind::CreateFolder, 6, "data", ""},
      {Kind::CopyFolder, 6, folder / "game", "data\\copy", false},
      {Kind::MoveFolder, 9, "data", "datafull"},
      {Kind::DeleteFile, 11, "datafull\\copy\\FlatOut.exe", ""},
      {Kind::DeleteFolder, 11, "datafull\\copy", ""},
      {Kind::MoveFile, 11, "missing.bfs", "ZEM7-Patches\\missing.bfs"},
      {Kind::WriteRecord, 12, "", "ZEM7Install.dat", true, 300},
  };
  WholeReplay replay = ReplayWholeRun(run, root);

  EXPECT_EQ(replay.failed, std::vector<std::string>{"file moves missing.bfs -> ZEM7-Patches\\missing.bfs"});
  EXPECT_TRUE(FileExists(root + "FlatOut.exe"));
  EXPECT_TRUE(FolderExists(root + "datafull"));
  EXPECT_FALSE(FolderExists(root + "datafull\\copy"));
  EXPECT_EQ(ReadFile(root + "ZEM7Install.dat").size(), 300u);
  EXPECT_EQ(replay.left, (TreeCount{1, 2, 1300}));
  EXPECT_EQ(replay.kinds[static_cast<int>(Kind::CopyFolder)].moved, (TreeCount{0, 1, 1000}));
  EXPECT_EQ(replay.kinds[static_cast<int>(Kind::CreateFolder)].count, 2);
  for (int segment : {1, 2, 6, 9, 11, 12}) EXPECT_GT(replay.seconds[segment], 0) << segment;
  EXPECT_EQ(replay.seconds[kBeforeTheSteps], 0);
}
