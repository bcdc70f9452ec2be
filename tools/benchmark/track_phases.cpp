#include "track_phases.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "archive.h"
#include "counting_ui.h"
#include "file_operations.h"
#include "figures.h"
#include "fileops/file_system.h"
#include "fixture.h"
#include "install/install_steps.h"
#include "support/run_context.h"
#include "support/text.h"
#include "wait_meter.h"

namespace {

// The three phases of the track work, in the order the installer does them.
enum Phase { kCopies, kDeletes, kSplit, kPhases };
constexpr const char* kPhaseNames[kPhases] = {"copies", "deletes", "split"};
constexpr const char* kStepNames[kPhases] = {"CopyTracks", "DeleteTrackFolders", "SplitAndPackTrackFolders"};
// What each phase leaves, to compare the ways with one another.
constexpr const char* kPhaseResult[kPhases] = {"data", "data", "datafull"};
// The installer's copies leave empty what its deletes take next, which the
// log's copies cannot say: the trees first agree once the deletes are done.
constexpr bool kTreesAgreeAfter[kPhases] = {false, true, true};

}  // namespace

void PrepareTarget(const Folders& folders, const std::string& target) {
  CreateFolders(target);
  UnpackArchive(folders.game + "\\" + kCommon2Bfs, ArchiveKind::Bfs, target);
  UnpackArchive(folders.distribution + "\\" + kSystemFilesRar, ArchiveKind::Rar, target);
  UnpackArchive(folders.distribution + "\\" + kMakeBfsRar, ArchiveKind::Rar, target);
}

namespace {

// Between CopyTracks and DeleteTrackFolders the installer extracts the mod's tracks.
void ExtractTrackFiles(const Folders& folders, const std::string& target) {
  UnpackArchive(folders.distribution + "\\" + kTrackFilesRar, ArchiveKind::Rar, target);
}

void RenameDataForSplit(const std::string& target) { FileSystem::RenameFolder(target + "data", target + "datafull"); }

struct StepResult {
  double seconds = 0;
  WaitTallies waits;
  TreeCount result;
};

struct StepsRun {
  StepResult steps[kPhases];
  std::vector<FileOperation> operations[kPhases];
  std::vector<std::string> messages;
};

StepsRun RunSteps(const Folders& folders) {
  StepsRun run;
  CountingUi ui;
  RunContext context(ui, InstallPlan::ForInstallerFolder(folders.distribution));
  context.plan.gameFolder = folders.game + "\\";
  context.plan.zem7Folder = folders.target;
  // Held against the same copies by a bare loop, the steps copy too; the
  // whole installation shows what the links save.
  context.linkTrackFiles = false;
  const std::function<void(RunContext&)> stepFunctions[kPhases] = {CopyTracks, DeleteTrackFolders,
                                                                   SplitAndPackTrackFolders};
  for (int phase = 0; phase < kPhases; ++phase) {
    if (phase == kDeletes) ExtractTrackFiles(folders, folders.target);
    size_t firstEntry = ui.entries.size();
    WaitTallies before = WaitReading();
    run.steps[phase].seconds = Timed([&] { stepFunctions[phase](context); });
    run.steps[phase].waits = Difference(WaitReading(), before);
    run.steps[phase].result = CountTree(folders.target + kPhaseResult[phase]);
    std::vector<std::string> entries(ui.entries.begin() + static_cast<long>(firstEntry), ui.entries.end());
    run.operations[phase] = OperationsFromEntries(entries, folders.target);
  }
  run.messages = ui.messages;
  return run;
}

struct ReplayResult {
  bool ran = false;
  double seconds[kPhases] = {};
  TreeCount result[kPhases];
  int failures = 0;
};

ReplayResult RunReplay(const Folders& folders, const StepsRun& steps, const std::string& root, ReplayWay way) {
  ReplayResult replay;
  replay.ran = true;
  CountingUi ui;  // the safe operations log; their entries are not needed again
  RunContext run(ui, InstallPlan::ForInstallerFolder(folders.distribution));
  PrepareTarget(folders, root);
  for (int phase = 0; phase < kPhases; ++phase) {
    if (phase == kDeletes) ExtractTrackFiles(folders, root);
    if (phase == kSplit) RenameDataForSplit(root);
    replay.seconds[phase] = Timed([&] { replay.failures += Replay(steps.operations[phase], root, way, run); });
    replay.result[phase] = CountTree(root + kPhaseResult[phase]);
  }
  FileSystem::DeleteFolder(root, true);
  replay.failures += static_cast<int>(ui.messages.size());  // each box is a reported failure
  return replay;
}

// Slower rounds only ever lost time to something else; a round that left
// another tree is a failure of its own.
void KeepFastest(ReplayResult& kept, const ReplayResult& round) {
  if (!kept.ran) {
    kept = round;
    return;
  }
  kept.failures += round.failures;
  for (int phase = 0; phase < kPhases; ++phase) {
    kept.seconds[phase] = std::min(kept.seconds[phase], round.seconds[phase]);
    if (!(kept.result[phase] == round.result[phase])) ++kept.failures;
  }
}

// --- What the native baseline in scripts/benchmark.sh needs: the same tree and the same operations.

std::string Posix(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

void ExportForNative(const Folders& folders, const StepsRun& steps, const ReplayResult& ours,
                     const std::string& nativeFolder) {
  CreateFolders(nativeFolder);
  for (const char* part : {"pristine", "overlay"})
    if (PathIsFolder(nativeFolder + "\\" + part)) FileSystem::DeleteFolder(nativeFolder + "\\" + part, true);
  UnpackArchive(folders.game + "\\" + kCommon2Bfs, ArchiveKind::Bfs, nativeFolder + "\\pristine");
  UnpackArchive(folders.distribution + "\\" + kTrackFilesRar, ArchiveKind::Rar, nativeFolder + "\\overlay");
  std::ofstream plan(std::filesystem::path(Widen(nativeFolder + "\\plan.txt")), std::ios::binary);
  constexpr const char* kVerbs[] = {"mkdir", "copy", "delete", "move"};
  for (int phase = 0; phase < kPhases; ++phase)
    for (const FileOperation& operation : steps.operations[phase])
      plan << kPhaseNames[phase] << '\t' << kVerbs[static_cast<int>(operation.kind)] << '\t' << Posix(operation.from)
           << '\t' << Posix(ResolvedDestination(operation)) << '\n';
  std::ofstream figures(std::filesystem::path(Widen(nativeFolder + "\\figures.txt")), std::ios::binary);
  // Per phase: our time, and the file count the same operations left.
  for (int phase = 0; phase < kPhases; ++phase)
    figures << kPhaseNames[phase] << '\t' << ours.seconds[phase] << '\t' << kPhaseResult[phase] << '\t'
            << ours.result[phase].files << '\n';
}

// --- Printing.

void PrintSteps(const StepsRun& run) {
  Print("\nThe installer's steps (our code, scripted user interface)\n");
  Print("  " + Padded("step", 27) + Padded("total", 10) + Padded("waiting", 10) + "file work (total - waiting)\n");
  double total = 0, waiting = 0;
  for (int phase = 0; phase < kPhases; ++phase) {
    const StepResult& step = run.steps[phase];
    double waited = step.waits.Seconds();
    total += step.seconds;
    waiting += waited;
    Print("  " + Padded(kStepNames[phase], 27) + Padded(Fixed(step.seconds) + " s", 10) +
          Padded(Fixed(waited) + " s", 10) + Fixed(step.seconds - waited) + " s\n");
  }
  Print("  " + Padded("whole", 27) + Padded(Fixed(total) + " s", 10) + Padded(Fixed(waiting) + " s", 10) +
        Fixed(total - waiting) + " s\n");
}

WaitTallies AllWaits(const StepsRun& run) {
  WaitTallies all;
  for (const StepResult& step : run.steps) {
    all.events.count += step.waits.events.count;
    all.events.seconds += step.waits.events.seconds;
    for (const auto& [milliseconds, tally] : step.waits.sleeps) {
      all.sleeps[milliseconds].count += tally.count;
      all.sleeps[milliseconds].seconds += tally.seconds;
    }
  }
  return all;
}

// The design's split waits by the clock: every run of the packer costs a
// 100 ms poll after it has ended, its marker is first tested 1 s later, and
// 1 s passes before the next archive. The steps wait on events instead: the
// packer's end, its folder's notice of the marker, the window's messages.
void PrintWaits(const StepsRun& run, int packs) {
  WaitTallies all = AllWaits(run);
  Print("\nWaits (every wait made by our code during the steps)\n");
  Print("  on events (the packer's end, the marker's folder, the window's messages): " +
        std::to_string(all.events.count) + " waits = " + Fixed(all.events.seconds) + " s, the packer's own time\n");
  Print("  by the clock: " + std::string(all.sleeps.empty() ? "none" : ""));
  for (const auto& [milliseconds, tally] : all.sleeps)
    Print("Sleep(" + std::to_string(milliseconds) + ") x " + std::to_string(tally.count) + " = " +
          Fixed(tally.seconds) + " s; ");
  Print("\n  the design's, by the clock: " + std::to_string(packs) +
        " packs x (100 ms last poll + 1 s marker poll + 1 s pause) = " + Fixed(packs * 2.1, 1) + " s\n");
}

void PrintComparison(const StepsRun& steps, const ReplayResult (&replays)[3], int rounds) {
  Print("\nThe same folder operations on fresh trees (");
  Print(std::to_string(Count(steps.operations[kCopies], OperationKind::CopyFolder)) + " copies, " +
        std::to_string(Count(steps.operations[kDeletes], OperationKind::DeleteFolder)) +
        " deletes; split: " + std::to_string(Count(steps.operations[kSplit], OperationKind::CreateFolder)) +
        " creates, " + std::to_string(Count(steps.operations[kSplit], OperationKind::MoveFolder)) + " moves, " +
        std::to_string(Count(steps.operations[kSplit], OperationKind::DeleteFolder)) + " deletes, no packing)\n");
  Print("  ours = the installer's safe operations, logging included; cmd = one cmd /c xcopy, move, rd or md each\n");
  Print("  ours and bare Win32: the fastest of " + std::to_string(rounds) + " alternating round(s)\n");
  Print("  " + Padded("phase", 9) + Padded("ours", 10) + Padded("bare Win32", 12) + Padded("cmd", 10) +
        Padded("ours/bare", 11) + "ours/cmd\n");
  double totals[3] = {};
  bool withCmd = replays[2].ran;
  auto row = [&](const std::string& name, const double(&seconds)[3]) {
    Print("  " + Padded(name, 9) + Padded(Fixed(seconds[0]) + " s", 10) + Padded(Fixed(seconds[1]) + " s", 12) +
          Padded(withCmd ? Fixed(seconds[2]) + " s" : "-", 10) + Padded(Fixed(seconds[0] / seconds[1], 2), 11) +
          (withCmd ? Fixed(seconds[0] / seconds[2], 2) : "- (--quick)") + "\n");
  };
  for (int phase = 0; phase < kPhases; ++phase) {
    double seconds[3];
    for (int way = 0; way < 3; ++way) totals[way] += seconds[way] = replays[way].seconds[phase];
    row(kPhaseNames[phase], seconds);
  }
  row("whole", totals);
  const TreeCount& copied = replays[1].result[kCopies];
  Print("  after the log's copies data\\ holds " + std::to_string(copied.files) + " files, " + Megabytes(copied.bytes) +
        "\n");
}

// Every way must have done the same work as the installer, or its time means nothing.
int CheckSameTrees(const StepsRun& steps, const ReplayResult (&replays)[3]) {
  int problems = 0;
  constexpr ReplayWay kWays[] = {ReplayWay::SafeOperations, ReplayWay::BareWin32, ReplayWay::CommandInterpreter};
  for (int way = 0; way < 3; ++way) {
    if (!replays[way].ran) continue;
    if (replays[way].failures) {
      Print("PROBLEM: " + std::string(NameOf(kWays[way])) + ": " + std::to_string(replays[way].failures) +
            " operations failed\n");
      ++problems;
    }
    for (int phase = 0; phase < kPhases; ++phase) {
      if (!kTreesAgreeAfter[phase] || replays[way].result[phase] == steps.steps[phase].result) continue;
      const TreeCount& got = replays[way].result[phase];
      const TreeCount& want = steps.steps[phase].result;
      Print("PROBLEM: " + std::string(NameOf(kWays[way])) + " after the " + kPhaseNames[phase] + ": " +
            std::to_string(got.folders) + " folders, " + std::to_string(got.files) + " files, " +
            std::to_string(got.bytes) + " bytes; the installer's steps left " + std::to_string(want.folders) + ", " +
            std::to_string(want.files) + ", " + std::to_string(want.bytes) + "\n");
      ++problems;
    }
  }
  return problems;
}

}  // namespace

TrackPhaseFigures TimeTrackPhases(const Folders& folders, const std::string& root, const TrackPhaseOptions& options) {
  TrackPhaseFigures figures;
  StepsRun steps = RunSteps(folders);
  SetCurrentDirectoryW(Widen(root).c_str());  // the steps leave the target current
  DeleteQuietly(folders.target);              // a 1 GB run needs the room for the replays
  PrintSteps(steps);
  int packs = 5;
  PrintWaits(steps, packs);
  for (const std::string& message : steps.messages) {
    Print("PROBLEM: the steps reported: " + message + "\n");
    ++figures.problems;
  }

  ReplayResult replays[3];
  constexpr ReplayWay kWays[] = {ReplayWay::SafeOperations, ReplayWay::BareWin32, ReplayWay::CommandInterpreter};
  // Ours and the bare loop take turns, so that the disk's write-back of one
  // tree and the other programs on the machine hit both alike. The command
  // interpreter is far enough behind to need no second round.
  for (int round = 0; round < options.rounds; ++round)
    for (int way = 0; way < (options.quick || round > 0 ? 2 : 3); ++way)
      KeepFastest(replays[way],
                  RunReplay(folders, steps, root + "\\Replay " + std::to_string(way + 1) + "\\", kWays[way]));
  PrintComparison(steps, replays, options.rounds);
  figures.problems += CheckSameTrees(steps, replays);
  if (!options.nativeFolder.empty()) ExportForNative(folders, steps, replays[0], options.nativeFolder);

  figures.withCmd = replays[2].ran;
  for (int phase = 0; phase < kPhases; ++phase) {
    figures.ours += replays[0].seconds[phase];
    figures.bare += replays[1].seconds[phase];
    figures.cmd += replays[2].seconds[phase];
  }
  figures.clockWaits = AllWaits(steps).SleepCount();
  return figures;
}
