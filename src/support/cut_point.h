#pragma once
// Named places between two writes of what is whose (the record, the holding
// folder, the entry, the removal's deletions), where a run may end as a
// kill or a power cut would end it there. A place does nothing unless a
// test armed the cuts: then the chosen pass ends the run with RunCut, which
// no trap catches, so that nothing after it is written. The cuts are the
// process's, not one run's: the writes below the run (the record's file)
// pass them too.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

void CutPoint(const char* name);

// Thrown at the armed pass; it is no std::exception, so every trap lets it by.
struct RunCut {
  std::string point;
};

namespace CutPoints {
// From now on, the passes are counted and their names kept; the pass
// numbered cutAt (from 1) ends the run, 0 none.
void Arm(size_t cutAt);
// Counting stops, and no pass ends a run.
void Disarm();
// At the next pass of the point named, and only then, meddle runs first:
// what a player or another program might do to the folder at that moment.
void MeddleAt(const char* point, std::function<void()> meddle);
// The names of the points passed since Arm, in order.
std::vector<std::string> Passed();
}  // namespace CutPoints
