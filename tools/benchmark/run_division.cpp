#include "run_division.h"

#include <algorithm>

#include "figures.h"

namespace {

constexpr double kTicksPerSecond = 1e7;  // FILETIME
// A segment whose own work takes longer than this against its replay is looked into.
constexpr double kSlowSegment = 1.5;
// Below this difference a step is too short to tell anything apart.
constexpr double kNoticeableSeconds = 0.1;
// A bare time this short says nothing about a ratio.
constexpr double kShortestBareSeconds = 0.02;

double Seconds(uint64_t ticks) { return static_cast<double>(ticks) / kTicksPerSecond; }

double Sum(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum;
}

// One segment of the run as it went, and its replay.
struct SegmentFigures {
  double seconds = 0, tools = 0, waits = 0, bare = 0;
  // The progress entries the window took meanwhile, at what one costs on its own.
  int entries = 0;
  double entrySeconds = 0;
  double OwnWork() const { return seconds - tools - waits; }
};

// Each segment lasts from its first line to the next segment's; the last one
// to the installer's end. The tools count where they ran, the waits after
// them where they began.
std::vector<SegmentFigures> DivideRun(const InstallationTiming& timing, const WholeRun& run, const WholeReplay& replay,
                                      double entryMs) {
  std::vector<SegmentFigures> segments(kSegments);
  std::vector<double> waits = WaitsAfterTools(timing);
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
    for (size_t tool = 0; tool < timing.tools.size(); ++tool) {
      const Life& life = timing.tools[tool].life;
      uint64_t from = std::max(life.start, begin), to = std::min(life.end, end);
      if (to > from) figures.tools += Seconds(to - from);
      if (life.start >= begin && life.start < end) figures.waits += waits[tool];
    }
  }
  return segments;
}

std::string Ratio(double seconds, double bare) { return bare >= kShortestBareSeconds ? Fixed(seconds / bare, 2) : "-"; }

}  // namespace

double DesignWaits(int toolRuns, int packerRuns) { return packerRuns * 2.0 + toolRuns * 0.1; }

std::vector<double> WaitsAfterTools(const InstallationTiming& timing) {
  std::vector<double> waits;
  for (const ToolLife& tool : timing.tools) {
    uint64_t ended = tool.life.end, wentOn = timing.installer.end;
    for (const ToolLife& other : timing.tools)
      if (other.life.start >= ended) wentOn = std::min(wentOn, other.life.start);
    // A tool's own output may still be on its way; only the installer's lines count.
    for (const StampedLine& line : timing.lines)
      if (line.ticks >= ended && ProgressText(line.line)) {
        wentOn = std::min(wentOn, line.ticks);
        break;
      }
    waits.push_back(Seconds(wentOn > ended ? wentOn - ended : 0));
  }
  return waits;
}

void PrintDivision(const InstallationTiming& timing) {
  std::vector<double> afterTools = WaitsAfterTools(timing);
  double waits = Sum(afterTools),
         longest = afterTools.empty() ? 0 : *std::max_element(afterTools.begin(), afterTools.end());
  double rest = timing.seconds - timing.toolSeconds - waits;
  Print("  the whole installation (/SILENT, its process from start to end; the fastest round): " +
        Fixed(timing.seconds, 1) + " s\n");
  Print("    tools " + Padded(Fixed(timing.toolSeconds, 1) + " s", 8) + std::to_string(timing.toolRuns) + " runs, " +
        std::to_string(timing.packerRuns) + " of the packer: while at least one child process of the installer ran\n");
  Print("    waits " + Padded(Fixed(waits, 1) + " s", 8) +
        "by the clock at most: from each tool's end to the installer's next line or tool (the longest " +
        Fixed(longest * 1000, 0) + " ms);\n" + std::string(18, ' ') + "the design waits " +
        Fixed(DesignWaits(timing.toolRuns, timing.packerRuns), 1) + " s here: " + std::to_string(timing.packerRuns) +
        " x (1 s before the marker test + 1 s pause), " + std::to_string(timing.toolRuns) + " x 100 ms last poll\n");
  Print("    rest  " + Padded(Fixed(rest, 1) + " s", 8) + "the installer's own work: the whole less the two above\n");
}

void PrintSegments(const InstallationTiming& timing, const WholeRun& run, const WholeReplay& replay, double entryMs) {
  std::vector<SegmentFigures> segments = DivideRun(timing, run, replay, entryMs);
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
      "  own work = in the run - tools - waits; waits = after the tools' ends, as above; bare = the same\n"
      "  operations by the bare loop; entries = the step's progress entries x " +
      Fixed(entryMs, 1) +
      " ms, what one cost the window above;\n"
      "  \"less entries\" = (own work - entries) / bare; \"!\" marks own work over 1.5 times the bare time and\n"
      "  0.1 s longer. \"Before the steps\" is the process's start, the checks and the archives' test.\n");
}
