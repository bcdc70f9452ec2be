#include "whole_run_report.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "disk_state.h"
#include "file_operations.h"
#include "fileops/file_system.h"
#include "install/installation_record.h"
#include "figures.h"
#include "run_division.h"
#include "whole_replay.h"

namespace {

// The run and its replay start alike: the sources read once, nothing of the
// work before waiting to be written back.
DiskSettling StartAlike(const InstallationRun& run, const FloorSettings& settings) {
  ReadThrough(run.gameFolder);
  ReadThrough(run.distributionFolder);
  return WaitForWriteBack(settings.writeBackLimitSeconds);
}

std::string Settled(const DiskSettling& settling) {
  return Fixed(settling.pendingMegabytes, 0) + " MB to write back, waited " + Fixed(settling.waitedSeconds, 1) + " s";
}

// Over all rounds: a user waits as long as the worst answer made them.
void Combine(AnswerTimes& all, const AnswerTimes& round) {
  all.longestSeconds = std::max(all.longestSeconds, round.longestSeconds);
  all.pings += round.pings;
  all.over250Ms += round.over250Ms;
}

void PrintAnswers(const AnswerTimes& answers, const AnswerTimes& floor) {
  Print("  longest answer during the whole installations: " + Fixed(answers.longestSeconds) + " s (" +
        std::to_string(answers.pings) + " pings, " + std::to_string(answers.over250Ms) + " over 250 ms)\n");
  Print("    a window that only pumps, pinged at the same time: " + Fixed(floor.longestSeconds) + " s (" +
        std::to_string(floor.over250Ms) + " over 250 ms): what the system itself held up\n");
  Print("    (WM_NULL sent from another thread every 50 ms with SendMessageTimeout, each call timed)\n");
}

// A run that did not end by itself, or not well, has nothing to hold against a floor.
int CheckEnded(const InstallationRun& run, const InstallationTiming& timing) {
  if (!timing.ended) {
    Print("PROBLEM: the whole installation did not end within " + Fixed(run.limitSeconds, 0) + " s; it was ended\n");
    return 1;
  }
  if (timing.exitCode != 0) {
    Print("PROBLEM: the whole installation ended with exit code " + std::to_string(timing.exitCode) + "\n");
    return 1;
  }
  if (timing.answers.pings == 0) {
    Print("PROBLEM: the installer's window never answered\n");
    return 1;
  }
  return 0;
}

void PrintRecorded(const WholeReplay& replay) {
  Print("  recorded from its progress lines:");
  const char* separator = " ";
  for (int kind = 0; kind <= static_cast<int>(WholeOperationKind::WriteRecord); ++kind) {
    const KindTally& tally = replay.kinds[kind];
    if (tally.count == 0) continue;
    Print(separator + std::to_string(tally.count) + " " + DescriptionOf(static_cast<WholeOperationKind>(kind)));
    if (tally.moved.files)
      Print(" (" + std::to_string(tally.moved.files) + " files, " + Megabytes(tally.moved.bytes) + ")");
    separator = ", ";
  }
  Print("\n");
}

// One whole installation and its replay, each started alike.
struct Round {
  InstallationTiming timing;
  AnswerTimes floor;
  WholeRun whole;
  WholeReplay replay;
  DiskSettling beforeRun, beforeReplay;
  // Disk space at the peak beyond the finished size: the run's, and the
  // replay's, which does the design's operations, copies and all.
  uint64_t runPeak = 0, designPeak = 0;
};

int CheckReplay(const WholeReplay& replay, const TreeCount& installed) {
  int problems = 0;
  for (const std::string& failed : replay.failed) {
    Print("PROBLEM: the replay's operation failed: " + failed + "\n");
    ++problems;
  }
  if (!(replay.left == installed)) {
    Print("PROBLEM: the replay left " + std::to_string(replay.left.folders) + " folders, " +
          std::to_string(replay.left.files) + " files, " + std::to_string(replay.left.bytes) +
          " bytes; the installation left " + std::to_string(installed.folders) + ", " +
          std::to_string(installed.files) + ", " + std::to_string(installed.bytes) + "\n");
    ++problems;
  }
  return problems;
}

// Nothing when the installation could not be watched or did not end well.
std::optional<Round> RunRound(const InstallationRun& run, const FloorSettings& settings, int& problems) {
  Round round;
  round.beforeRun = StartAlike(run, settings);
  const std::string volume = FileSystem::GetParentFolderName(run.targetFolder);
  PumpingWindowMeter floorMeter;
  std::optional<DiskPeakMeter> disk(volume);
  std::optional<InstallationTiming> timing = TimeWholeInstallation(run);
  round.runPeak = disk->Stop();
  round.floor = floorMeter.Stop();
  if (!timing) Print("PROBLEM: the installer could not be started and watched for a whole installation\n");
  if (!timing || (problems += CheckEnded(run, *timing)) > 0) {
    problems += !timing;
    DeleteQuietly(run.targetFolder);
    return std::nullopt;
  }
  round.timing = std::move(*timing);
  std::string target = run.targetFolder + "\\";
  WholeRunFolders folders{target, settings.installerExe, FileBytes(target + kRecordName)};
  TreeCount installed = CountTree(run.targetFolder);
  DeleteQuietly(run.targetFolder);
  round.whole = ReadWholeRun(round.timing.lines, folders);
  std::string replayRoot = run.targetFolder + " floor\\";
  round.beforeReplay = StartAlike(run, settings);
  disk.emplace(volume);
  round.replay = ReplayWholeRun(round.whole, replayRoot);
  round.designPeak = disk->Stop();
  DeleteQuietly(replayRoot);
  problems += CheckReplay(round.replay, installed);
  return round;
}

// Slower rounds only lost time to something else on the machine: the run
// that took least is kept whole, and of the replays each step's fastest.
void KeepFastest(std::optional<Round>& kept, Round round) {
  if (!kept) {
    kept = std::move(round);
    return;
  }
  for (int segment = 0; segment < kSegments; ++segment)
    round.replay.seconds[segment] = std::min(round.replay.seconds[segment], kept->replay.seconds[segment]);
  if (round.timing.seconds < kept->timing.seconds) {
    kept = std::move(round);
    return;
  }
  for (int segment = 0; segment < kSegments; ++segment) kept->replay.seconds[segment] = round.replay.seconds[segment];
}

// The floor: the tools and the designed waits as the run had them, and its
// file operations as fast as a bare loop does them on the same tree.
double FloorOf(const InstallationTiming& timing, const WholeReplay& replay) {
  return timing.toolSeconds + DesignWaits(timing.toolRuns, timing.packerRuns) + BareSeconds(replay);
}

// Each round's run against its own replay, taken in turns: a round that
// something else on the machine slowed shows in one ratio, not in the median.
double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

WholeRunVerdict PrintFloor(const Round& round, const std::vector<double>& ratios, const FloorSettings& settings) {
  WholeRunVerdict verdict;
  const InstallationTiming& timing = round.timing;
  Print(
      "\nThe whole installation against the design's floor (the design's file operations, every new track a\n"
      "full copy, replayed by a bare Win32 loop on a fresh target, each timed; where a tool made files, the tool\n"
      "ran again first, outside the timing)\n");
  Print("  " + std::to_string(settings.rounds) +
        " round(s) of the run and its replay; the fastest run counts, and of the replays each step's fastest\n");
  Print(
      "  each started alike: the game and the download read once, then the kernel's write-back awaited (before\n"
      "  the run " +
      Settled(round.beforeRun) + "; before the replay " + Settled(round.beforeReplay) + ")\n");
  PrintRecorded(round.replay);
  double waits = DesignWaits(timing.toolRuns, timing.packerRuns), bare = BareSeconds(round.replay);
  double floor = FloorOf(timing, round.replay);
  verdict.measured = floor > 0 && round.whole.segmentStart[kSegments - 1] != 0;
  verdict.ratio = floor > 0 ? timing.seconds / floor : 0;
  verdict.medianRatio = Median(ratios);
  Print("  whole installation " + Fixed(timing.seconds, 1) + " s; floor " + Fixed(floor, 1) + " s (tools " +
        Fixed(timing.toolSeconds, 1) + " + designed waits " + Fixed(waits, 1) + " + bare file work " + Fixed(bare, 1) +
        "); ratio " + Fixed(verdict.ratio, 2) + "\n");
  Print("  each round's run against its own floor:");
  for (double ratio : ratios) Print(" " + Fixed(ratio, 2));
  Print("; the median " + Fixed(verdict.medianRatio, 2) + ", the fastest (above) " + Fixed(verdict.ratio, 2) + "\n");
  PrintSegments(timing, round.whole, round.replay, settings.entryMs);
  verdict.runPeak = round.runPeak;
  verdict.designPeak = round.designPeak;
  Print("  disk space at the peak beyond the finished size: the run " + Megabytes(round.runPeak) +
        "; the design's operations (the replay: every new track a copy) " + Megabytes(round.designPeak) +
        "\n    (the volume's free space read every 5 ms; of the rounds, each one's least)\n");
  if (!verdict.measured) {
    Print("PROBLEM: the installer's progress lines did not show all of its steps\n");
    ++verdict.problems;
  }
  return verdict;
}

}  // namespace

WholeRunVerdict ReportWholeInstallation(const InstallationRun& run, const FloorSettings& settings) {
  int problems = 0;
  std::optional<Round> kept;
  AnswerTimes answers, floor;
  std::vector<double> ratios;
  for (int number = 0; number < settings.rounds; ++number) {
    std::optional<Round> round = RunRound(run, settings, problems);
    if (!round) return {problems};
    double roundFloor = FloorOf(round->timing, round->replay);
    ratios.push_back(roundFloor > 0 ? round->timing.seconds / roundFloor : 0);
    Combine(answers, round->timing.answers);
    Combine(floor, round->floor);
    if (kept) {
      round->runPeak = std::min(round->runPeak, kept->runPeak);
      round->designPeak = std::min(round->designPeak, kept->designPeak);
      kept->runPeak = round->runPeak;
      kept->designPeak = round->designPeak;
    }
    KeepFastest(kept, std::move(*round));
  }
  PrintAnswers(answers, floor);
  PrintDivision(kept->timing);
  WholeRunVerdict verdict = PrintFloor(*kept, ratios, settings);
  verdict.problems += problems;
  return verdict;
}
