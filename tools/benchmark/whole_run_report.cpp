#include "whole_run_report.h"

#include <algorithm>
#include <optional>

#include "disk_state.h"
#include "file_operations.h"
#include "fileops/file_system.h"
#include "install/installation_record.h"
#include "figures.h"
#include "whole_replay.h"

namespace {

constexpr double kTicksPerSecond = 1e7;  // FILETIME
// A segment whose own work takes longer than this against its replay is looked into.
constexpr double kSlowSegment = 1.5;
// Below this difference a step is too short to tell anything apart.
constexpr double kNoticeableSeconds = 0.1;

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

// Per archive the packer's marker is tested only after 1 s, and 1 s passes
// before the next archive; after every tool's end the runner's last poll
// still sleeps 100 ms.
double DesignWaits(int toolRuns, int packerRuns) { return packerRuns * 2.0 + toolRuns * 0.1; }

double Seconds(uint64_t ticks) { return static_cast<double>(ticks) / kTicksPerSecond; }

// One segment of the run as it went, and its replay.
struct SegmentFigures {
  double seconds = 0, tools = 0, waits = 0, bare = 0;
  // The progress entries the window took meanwhile, at what one costs on its own.
  int entries = 0;
  double entrySeconds = 0;
  double OwnWork() const { return seconds - tools - waits; }
};

// Each segment lasts from its first line to the next segment's; the last one
// to the installer's end. The tools count where they ran, their waits where they began.
std::vector<SegmentFigures> DivideRun(const InstallationTiming& timing, const WholeRun& run, const WholeReplay& replay,
                                      double entryMs) {
  std::vector<SegmentFigures> segments(kSegments);
  uint64_t begin = timing.installer.start;
  for (int segment = 0; segment < kSegments; ++segment) {
    if (segment > 0 && run.segmentStart[segment] == 0) continue;
    if (segment > 0) begin = run.segmentStart[segment];
    uint64_t end = timing.installer.end;
    for (int next = segment + 1; next < kSegments; ++next)
      if (run.segmentStart[next]) {
        end = run.segmentStart[next];
        break;
      }
    SegmentFigures& figures = segments[segment];
    figures.seconds = Seconds(end > begin ? end - begin : 0);
    figures.bare = replay.seconds[segment];
    figures.entries = run.entries[segment];
    figures.entrySeconds = run.entries[segment] * entryMs / 1000;
    for (const ToolLife& tool : timing.tools) {
      uint64_t from = std::max(tool.life.start, begin), to = std::min(tool.life.end, end);
      if (to > from) figures.tools += Seconds(to - from);
      if (tool.life.start >= begin && tool.life.start < end) figures.waits += DesignWaits(1, tool.packer ? 1 : 0);
    }
  }
  return segments;
}

// Over all rounds: a user waits as long as the worst answer made them.
void Combine(AnswerTimes& all, const AnswerTimes& round) {
  all.longestSeconds = std::max(all.longestSeconds, round.longestSeconds);
  all.pings += round.pings;
  all.over250Ms += round.over250Ms;
}

void PrintAnswersAndDivision(const InstallationTiming& timing, const AnswerTimes& answers, const AnswerTimes& floor) {
  Print("  longest answer during the whole installations: " + Fixed(answers.longestSeconds) + " s (" +
        std::to_string(answers.pings) + " pings, " + std::to_string(answers.over250Ms) + " over 250 ms)\n");
  Print("    a window that only pumps, pinged at the same time: " + Fixed(floor.longestSeconds) + " s (" +
        std::to_string(floor.over250Ms) + " over 250 ms): what the system itself held up\n");
  Print("    (WM_NULL sent from another thread every 50 ms with SendMessageTimeout, each call timed)\n");
  double waits = DesignWaits(timing.toolRuns, timing.packerRuns);
  double rest = timing.seconds - timing.toolSeconds - waits;
  Print("  the whole installation (/SILENT, its process from start to end; the fastest round): " +
        Fixed(timing.seconds, 1) + " s\n");
  Print("    tools " + Padded(Fixed(timing.toolSeconds, 1) + " s", 8) + std::to_string(timing.toolRuns) + " runs, " +
        std::to_string(timing.packerRuns) + " of the packer: while at least one child process of the installer ran\n");
  Print("    waits " + Padded(Fixed(waits, 1) + " s", 8) + "by design: " + std::to_string(timing.packerRuns) +
        " x (1 s before the marker test + 1 s pause), " + std::to_string(timing.toolRuns) + " x 100 ms last poll\n");
  Print("    rest  " + Padded(Fixed(rest, 1) + " s", 8) + "the installer's own work: the whole less the two above\n");
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

// A bare time this short says nothing about a ratio.
constexpr double kShortestBareSeconds = 0.02;

std::string Ratio(double seconds, double bare) { return bare >= kShortestBareSeconds ? Fixed(seconds / bare, 2) : "-"; }

void PrintSegments(const std::vector<SegmentFigures>& segments, double entryMs) {
  Print("  " + Padded("step", 25) + Padded("in the run", 11) + Padded("tools", 7) + Padded("waits", 6) +
        Padded("own work", 9) + Padded("entries", 14) + Padded("bare", 8) + Padded("own/bare", 9) + "less entries\n");
  for (int segment = 0; segment < kSegments; ++segment) {
    const SegmentFigures& figures = segments[segment];
    std::string ratio = Ratio(figures.OwnWork(), figures.bare);
    if (figures.bare >= kShortestBareSeconds && figures.OwnWork() > kSlowSegment * figures.bare &&
        figures.OwnWork() - figures.bare > kNoticeableSeconds)
      ratio += " !";
    Print("  " + Padded(kSegmentNames[segment], 25) + Padded(Fixed(figures.seconds, 2) + " s", 11) +
          Padded(Fixed(figures.tools, 1) + " s", 7) + Padded(Fixed(figures.waits, 1) + " s", 6) +
          Padded(Fixed(figures.OwnWork(), 2) + " s", 9) +
          Padded(std::to_string(figures.entries) + ": " + Fixed(figures.entrySeconds, 2) + " s", 14) +
          Padded(Fixed(figures.bare, 2) + " s", 8) + Padded(ratio, 9) +
          Ratio(figures.OwnWork() - figures.entrySeconds, figures.bare) + "\n");
  }
  Print(
      "  own work = in the run - tools - waits; bare = the same operations by the bare loop; entries = the\n"
      "  step's progress entries x " +
      Fixed(entryMs, 1) +
      " ms, what one cost the window above; \"less entries\" =\n"
      "  (own work - entries) / bare; \"!\" marks own work over 1.5 times the bare time and 0.1 s longer.\n"
      "  \"Before the steps\" is the process's start, the checks and the archives' test.\n");
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
WholeRunVerdict PrintFloor(const Round& round, const FloorSettings& settings) {
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
  double floor = timing.toolSeconds + waits + bare;
  verdict.measured = floor > 0 && round.whole.segmentStart[kSegments - 1] != 0;
  verdict.ratio = floor > 0 ? timing.seconds / floor : 0;
  Print("  whole installation " + Fixed(timing.seconds, 1) + " s; floor " + Fixed(floor, 1) + " s (tools " +
        Fixed(timing.toolSeconds, 1) + " + designed waits " + Fixed(waits, 1) + " + bare file work " + Fixed(bare, 1) +
        "); ratio " + Fixed(verdict.ratio, 2) + "\n");
  PrintSegments(DivideRun(timing, round.whole, round.replay, settings.entryMs), settings.entryMs);
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
  for (int number = 0; number < settings.rounds; ++number) {
    std::optional<Round> round = RunRound(run, settings, problems);
    if (!round) return {problems};
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
  PrintAnswersAndDivision(kept->timing, answers, floor);
  WholeRunVerdict verdict = PrintFloor(*kept, settings);
  verdict.problems += problems;
  return verdict;
}
