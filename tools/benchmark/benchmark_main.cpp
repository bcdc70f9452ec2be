// Times the installation's file-heavy steps (CopyTracks, DeleteTrackFolders,
// SplitAndPackTrackFolders) on a fixture game, separates the waits the steps
// build in from their file work, and compares that file work with the same
// folder operations done by a bare Win32 loop and by the command interpreter.
// Then the window: start-up time, the cost of one progress entry, and how
// long it keeps a user waiting during a whole unattended installation.
//
// Exit code 0 when everything ran and every way left the same tree; the
// figures themselves are for reading, not for passing or failing.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive.h"
#include "common/temp_folder.h"
#include "counting_ui.h"
#include "file_operations.h"
#include "fileops/file_system.h"
#include "fixture.h"
#include "installation_timing.h"
#include "install/install_steps.h"
#include "sleep_meter.h"
#include "support/run_context.h"
#include "support/text.h"
#include "window_timing.h"

namespace {

struct Options {
  uint64_t size = 1ull << 30;
  std::string installerExe;
  std::string standInFolder;
  // Where to leave the unpacked tree and the operations for the native baseline; empty: nowhere.
  std::string nativeFolder;
  // Leaves out the command interpreter, whose process starts take most of a small run.
  bool quick = false;
  // How often ours and the bare loop run; each keeps its fastest time per phase.
  int rounds = 2;
};

// The three phases of the track work, in the order the installer does them.
enum Phase { kCopies, kDeletes, kSplit, kPhases };
constexpr const char* kPhaseNames[kPhases] = {"copies", "deletes", "split"};
constexpr const char* kStepNames[kPhases] = {"CopyTracks", "DeleteTrackFolders", "SplitAndPackTrackFolders"};
// What each phase leaves, to compare the ways with one another.
constexpr const char* kPhaseResult[kPhases] = {"data", "data", "datafull"};

void Print(const std::string& text) {
  fputs(ToAnsi(text).c_str(), stdout);
  fflush(stdout);
}

std::string Fixed(double value, int decimals = 3) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string Megabytes(uint64_t bytes) { return Fixed(static_cast<double>(bytes) / (1024 * 1024), 1) + " MB"; }

// Windows paths for folders built on Linux: Wine shows the Linux root as drive Z:.
std::string WindowsPath(std::string path) {
  if (path.starts_with("/")) path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Timed(const std::function<void()>& work) {
  double start = Now();
  work();
  return Now() - start;
}

std::optional<Options> ParseArguments(int argc, wchar_t** argv) {
  Options options;
  options.installerExe = WindowsPath(ZEM7_INSTALLER_EXE);
  options.standInFolder = WindowsPath(ZEM7_STAND_IN_DIR);
  int i = 1;
  if (argc > 1 && Narrow(argv[1]) == "--quick") {
    options.quick = true;
    ++i;
  }
  for (; i + 1 < argc; i += 2) {
    std::string option = Narrow(argv[i]), value = Narrow(argv[i + 1]);
    if (option == "--size" && ParseFixtureSize(value, options.size)) continue;
    if (option == "--rounds" &&
        std::from_chars(value.data(), value.data() + value.size(), options.rounds).ec == std::errc() &&
        options.rounds > 0)
      continue;
    if (option == "--native")
      options.nativeFolder = WindowsPath(value);
    else if (option == "--installer")
      options.installerExe = WindowsPath(value);
    else if (option == "--stand-ins")
      options.standInFolder = WindowsPath(value);
    else
      return std::nullopt;
  }
  if (i != argc) return std::nullopt;
  return options;
}

struct MemoryReading {
  uint64_t workingSet = 0;
  uint64_t peakWorkingSet = 0;
  uint64_t peakPagefile = 0;
};

MemoryReading Memory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return {counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PeakPagefileUsage};
}

struct Folders {
  std::string game, distribution, target;  // target ends in a backslash
};

// A game install's data tree as the installer has it when the track steps
// begin: Common2.bfs unpacked, the mod's system files and packer extracted.
void PrepareTarget(const Folders& folders, const std::string& target) {
  CreateFolders(target);
  UnpackArchive(folders.game + "\\" + kCommon2Bfs, ArchiveKind::Bfs, target);
  UnpackArchive(folders.distribution + "\\" + kSystemFilesRar, ArchiveKind::Rar, target);
  UnpackArchive(folders.distribution + "\\" + kMakeBfsRar, ArchiveKind::Rar, target);
}

// Between CopyTracks and DeleteTrackFolders the installer extracts the mod's tracks.
void ExtractTrackFiles(const Folders& folders, const std::string& target) {
  UnpackArchive(folders.distribution + "\\" + kTrackFilesRar, ArchiveKind::Rar, target);
}

void RenameDataForSplit(const std::string& target) { FileSystem::RenameFolder(target + "data", target + "datafull"); }

struct StepResult {
  double seconds = 0;
  SleepTallies sleeps;
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
  const std::function<void(RunContext&)> stepFunctions[kPhases] = {CopyTracks, DeleteTrackFolders,
                                                                   SplitAndPackTrackFolders};
  for (int phase = 0; phase < kPhases; ++phase) {
    if (phase == kDeletes) ExtractTrackFiles(folders, folders.target);
    size_t firstEntry = ui.entries.size();
    SleepTallies before = SleepReading();
    run.steps[phase].seconds = Timed([&] { stepFunctions[phase](context); });
    run.steps[phase].sleeps = Difference(SleepReading(), before);
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
  // Per phase: our time, and the folder and file count the phase must leave.
  for (int phase = 0; phase < kPhases; ++phase)
    figures << kPhaseNames[phase] << '\t' << ours.seconds[phase] << '\t' << kPhaseResult[phase] << '\t'
            << steps.steps[phase].result.files << '\n';
}

// --- Printing.

void PrintSteps(const StepsRun& run) {
  Print("\nThe installer's steps (our code, scripted user interface)\n");
  Print("  " + Padded("step", 27) + Padded("total", 10) + Padded("in Sleep", 10) + "file work (total - Sleep)\n");
  double total = 0, asleep = 0;
  for (int phase = 0; phase < kPhases; ++phase) {
    const StepResult& step = run.steps[phase];
    double sleeping = TotalSeconds(step.sleeps);
    total += step.seconds;
    asleep += sleeping;
    Print("  " + Padded(kStepNames[phase], 27) + Padded(Fixed(step.seconds) + " s", 10) +
          Padded(Fixed(sleeping) + " s", 10) + Fixed(step.seconds - sleeping) + " s\n");
  }
  Print("  " + Padded("whole", 27) + Padded(Fixed(total) + " s", 10) + Padded(Fixed(asleep) + " s", 10) +
        Fixed(total - asleep) + " s\n");
}

// The split's waits: every run of the packer costs at least one 100 ms poll
// after it has ended, and the polls before that cover the packer's own run;
// then one 1 s poll for its marker, and a 1 s pause before the next archive,
// each taken in 50 ms steps so that the window answers meanwhile.
constexpr unsigned kPauseStepMs = 50;
// The last step of a pause is what remains of it, so it may be shorter.
bool IsDesignWait(unsigned milliseconds) {
  return milliseconds == 100 || milliseconds == 1000 || milliseconds <= kPauseStepMs;
}

void PrintWaits(const StepsRun& run, int packs) {
  SleepTallies all;
  for (const StepResult& step : run.steps)
    for (const auto& [milliseconds, tally] : step.sleeps) {
      all[milliseconds].count += tally.count;
      all[milliseconds].seconds += tally.seconds;
    }
  Print("\nWaits (every Sleep made by our code during the steps)\n");
  for (const auto& [milliseconds, tally] : all)
    Print("  Sleep(" + std::to_string(milliseconds) + ") x " + std::to_string(tally.count) + " = " +
          Fixed(tally.seconds) + " s\n");
  unsigned polls = all.contains(100) ? all[100].count : 0;
  double pausedSeconds = 0;
  for (const auto& [milliseconds, tally] : all)
    if (milliseconds <= kPauseStepMs) pausedSeconds += tally.seconds;
  unsigned seconds = (all.contains(1000) ? all[1000].count : 0) + static_cast<unsigned>(pausedSeconds + 0.5);
  unsigned others = 0;
  for (const auto& [milliseconds, tally] : all)
    if (!IsDesignWait(milliseconds)) others += tally.count;
  Print("  fixed by design: " + std::to_string(packs) +
        " packs x (100 ms last poll + 1 s marker poll + 1 s pause) = " + Fixed(packs * 2.1, 1) + " s\n");
  Print("  polls while the packer ran: " + std::to_string(polls > static_cast<unsigned>(packs) ? polls - packs : 0) +
        " x 100 ms (the packer's own time, rounded up to the poll)\n");
  Print("  beyond that: " + std::to_string(seconds > 2u * packs ? seconds - 2 * packs : 0) +
        " extra 1 s marker polls, " + std::to_string(others) + " other Sleep calls\n");
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
  const TreeCount& copied = steps.steps[kCopies].result;
  Print("  after the copies data\\ holds " + std::to_string(copied.files) + " files, " + Megabytes(copied.bytes) +
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
      if (replays[way].result[phase] == steps.steps[phase].result) continue;
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

// The temporary folder goes at the end in any case; this only frees the disk sooner.
void DeleteQuietly(const std::string& folder) {
  try {
    FileSystem::DeleteFolder(folder, true);
  } catch (const std::exception&) {
  }
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Per archive the packer's marker is tested only after 1 s, and 1 s passes
// before the next archive; after every tool's end the runner's last poll
// still sleeps 100 ms.
double DesignWaits(const InstallationTiming& timing) { return timing.packerRuns * 2.0 + timing.toolRuns * 0.1; }

int PrintWholeInstallation(const InstallationRun& run) {
  PumpingWindowMeter floorMeter;
  std::optional<InstallationTiming> timing = TimeWholeInstallation(run);
  AnswerTimes floor = floorMeter.Stop();
  DeleteQuietly(run.targetFolder);
  if (!timing) {
    Print("PROBLEM: the installer could not be started and watched for a whole installation\n");
    return 1;
  }
  const AnswerTimes& answers = timing->answers;
  Print("  longest answer during a whole installation: " + Fixed(answers.longestSeconds) + " s (" +
        std::to_string(answers.pings) + " pings, " + std::to_string(answers.over250Ms) + " over 250 ms)\n");
  Print("    a window that only pumps, pinged at the same time: " + Fixed(floor.longestSeconds) + " s (" +
        std::to_string(floor.over250Ms) + " over 250 ms): what the system itself held up\n");
  Print("    (WM_NULL sent from another thread every 50 ms with SendMessageTimeout, each call timed)\n");
  double waits = DesignWaits(*timing);
  double rest = timing->seconds - timing->toolSeconds - waits;
  Print("  the whole installation (/SILENT, its process from start to end): " + Fixed(timing->seconds, 1) + " s\n");
  Print("    tools " + Padded(Fixed(timing->toolSeconds, 1) + " s", 8) + std::to_string(timing->toolRuns) + " runs, " +
        std::to_string(timing->packerRuns) + " of the packer: while at least one child process of the installer ran\n");
  Print("    waits " + Padded(Fixed(waits, 1) + " s", 8) + "by design: " + std::to_string(timing->packerRuns) +
        " x (1 s before the marker test + 1 s pause), " + std::to_string(timing->toolRuns) + " x 100 ms last poll\n");
  Print("    rest  " + Padded(Fixed(rest, 1) + " s", 8) + "the installer's own work: the whole less the two above\n");
  if (!timing->ended) {
    Print("PROBLEM: the whole installation did not end within " + Fixed(run.limitSeconds, 0) + " s; it was ended\n");
    return 1;
  }
  if (timing->exitCode != 0) {
    Print("PROBLEM: the whole installation ended with exit code " + std::to_string(timing->exitCode) + "\n");
    return 1;
  }
  if (answers.pings == 0) {
    Print("PROBLEM: the installer's window never answered\n");
    return 1;
  }
  return 0;
}

std::string Verdict(bool met) { return met ? "met   " : "MISSED"; }

int Run(const Options& options) {
  MemoryReading atStart = Memory();
  if (!StartSleepMeter()) {
    Print("PROBLEM: cannot measure Sleep: no Sleep import found\n");
    return 1;
  }
  TempFolder root("zem7 benchmark");
  Folders folders{root / "Games\\FlatOut", root / "Mod Download", root / "Games\\FlatOut - ZEM7\\"};

  FixtureOptions fixture;
  fixture.gameFolder = folders.game;
  fixture.distributionFolder = folders.distribution;
  fixture.size = options.size;
  fixture.standInFolder = options.standInFolder;
  fixture.installerExe = options.installerExe;  // for the whole installation at the end
  FixtureSummary summary;
  double built = Timed([&] { summary = BuildFixture(fixture); });
  double prepared = Timed([&] { PrepareTarget(folders, folders.target); });
  Print("ZEM7 installer benchmark: " + Megabytes(summary.generatedBytes) + " of fixture data, " +
        std::to_string(summary.gameTrackFiles) + " files in the game's track tree\n");
  Print("  fixture built in " + Fixed(built, 1) + " s; target prepared (Common2.bfs, system files, packer) in " +
        Fixed(prepared, 1) + " s\n");
  MemoryReading beforeSteps = Memory();

  StepsRun steps = RunSteps(folders);
  SetCurrentDirectoryW(Widen(root.Path()).c_str());  // the steps leave the target current
  DeleteQuietly(folders.target);                     // a 1 GB run needs the room for the replays
  MemoryReading afterSteps = Memory();
  PrintSteps(steps);
  int packs = 5;
  PrintWaits(steps, packs);
  int problems = 0;
  for (const std::string& message : steps.messages) {
    Print("PROBLEM: the steps reported: " + message + "\n");
    ++problems;
  }

  ReplayResult replays[3];
  constexpr ReplayWay kWays[] = {ReplayWay::SafeOperations, ReplayWay::BareWin32, ReplayWay::CommandInterpreter};
  // Ours and the bare loop take turns, so that the disk's write-back of one
  // tree and the other programs on the machine hit both alike. The command
  // interpreter is far enough behind to need no second round.
  for (int round = 0; round < options.rounds; ++round)
    for (int way = 0; way < (options.quick || round > 0 ? 2 : 3); ++way)
      KeepFastest(replays[way],
                  RunReplay(folders, steps, root / ("Replay " + std::to_string(way + 1) + "\\"), kWays[way]));
  PrintComparison(steps, replays, options.rounds);
  problems += CheckSameTrees(steps, replays);
  if (!options.nativeFolder.empty()) ExportForNative(folders, steps, replays[0], options.nativeFolder);

  Print("\nMemory of this process (it also built the fixture and unpacked the archives)\n");
  Print("  at start (Wine and the runtime alone): working set " + Megabytes(atStart.workingSet) +
        "; before the steps: peak working set " + Megabytes(beforeSteps.peakWorkingSet) + ", peak private " +
        Megabytes(beforeSteps.peakPagefile) + "\n");
  Print("  after the steps: peak working set " + Megabytes(afterSteps.peakWorkingSet) + ", peak private " +
        Megabytes(afterSteps.peakPagefile) + "\n");

  Print("\nThe window\n");
  std::optional<WindowStart> start = TimeWindowStart(options.installerExe, folders.game);
  if (start) {
    Print("  start of ZEM7Installer.exe to its window shown: " + Fixed(start->seconds) + " s (working set then " +
          Megabytes(start->workingSet) + ")\n");
  } else {
    Print("PROBLEM: the installer's window did not appear\n");
    ++problems;
  }
  TempFolder logFolder("zem7 benchmark log");
  EntryTiming entry = TimeProgressEntries(logFolder.Path());
  EntryTiming plain = TimePlainEditEntries();
  auto entryLine = [](const std::string& what, const EntryTiming& timing) {
    Print("  " + what + ": first " + Fixed(timing.firstMs) + " ms, 200th " + Fixed(timing.at200Ms) +
          " ms, average of 195th-205th " + Fixed(timing.average195To205Ms) + " ms\n");
  };
  entryLine("progress entry (ProgressLog, real window)", entry);
  entryLine("same text into a plain edit box, none of our code", plain);
  uint64_t exeSize = FileSize(options.installerExe);
  Print("  ZEM7Installer.exe: " + std::to_string(exeSize) + " bytes (" + Megabytes(exeSize) + ")\n");
  // A bound that grows with the data, so that a stuck installer cannot hold up a test run for long.
  double limitSeconds = 120 + static_cast<double>(options.size >> 20);
  problems += PrintWholeInstallation({folders.distribution, folders.game, root / "Games\\FlatOut - ZEM7 whole",
                                      root / "ZEM7InstallLog.txt", limitSeconds});

  double oursTotal = 0, bareTotal = 0, cmdTotal = 0;
  for (int phase = 0; phase < kPhases; ++phase) {
    oursTotal += replays[0].seconds[phase];
    bareTotal += replays[1].seconds[phase];
    cmdTotal += replays[2].seconds[phase];
  }
  unsigned unexpectedSleeps = 0;
  for (const StepResult& step : steps.steps)
    for (const auto& [milliseconds, tally] : step.sleeps)
      if (!IsDesignWait(milliseconds)) unexpectedSleeps += tally.count;
  Print(
      "\nTargets (file work: the safe operations replayed above, logging included; they hold no waits, so\n"
      "nothing is subtracted; in the steps themselves the file work is the step time minus the time in Sleep)\n");
  Print("  " + Verdict(oursTotal <= 1.1 * bareTotal) + " file work within 1.1x the bare Win32 loop (" +
        Fixed(oursTotal / bareTotal, 2) + "x)\n");
  if (replays[2].ran)
    Print("  " + Verdict(oursTotal < cmdTotal) + " file work faster than xcopy/move/rd (" +
          Fixed(oursTotal / cmdTotal, 2) + "x)\n");
  Print("  " + Verdict(unexpectedSleeps == 0) + " no waiting beyond the fixed waits (" +
        std::to_string(unexpectedSleeps) + " other Sleep calls)\n");
  // The working set counts Wine and the runtime (over 20 MB before any of our
  // code runs); the private bytes at the peak are what the installer holds.
  Print("  " + Verdict(afterSteps.peakPagefile <= 8u << 20) + " peak private bytes at most 8 MB (" +
        Megabytes(afterSteps.peakPagefile) + ")\n");
  Print("  " + Verdict(entry.at200Ms < 2) + " a progress entry under 2 ms at entry 200 (" + Fixed(entry.at200Ms) +
        " ms)\n");
  if (problems) Print(std::to_string(problems) + " problem(s); see above\n");
  return problems ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::optional<Options> options = ParseArguments(argc, argv);
  if (!options) {
    Print(
        "Usage: benchmark [--quick] [--size <bytes>[K|M|G]] [--rounds <n>] [--native <folder>]\n"
        "                 [--installer <exe>] [--stand-ins <folder>]\n"
        "  --quick   leave out the command interpreter (its process starts take most of a small run)\n"
        "  --size    fixture game and mod data (default 1G)\n"
        "  --rounds  runs of ours and of the bare loop, the fastest counts (default 2)\n"
        "  --native  leave the unpacked tree and the operation list there for a native baseline\n");
    return 2;
  }
  try {
    return Run(*options);
  } catch (const std::exception& error) {
    Print(std::string("benchmark: ") + error.what() + "\n");
    return 1;
  }
}
