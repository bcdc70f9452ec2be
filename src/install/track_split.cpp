#include <windows.h>

#include <initializer_list>

#include "fileops/file_system.h"
#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/progress_log.h"

namespace {

// The packer always packs the whole "data" folder, so each patch archive is
// made from a fresh "data" that holds only its own track folders.
struct TrackArchive {
  std::initializer_list<const char*> tracks;
  bool withFiller;
  const char* archive;
};

const TrackArchive kTrackArchives[] = {
    {{"arenaaphaltroundabout", "arenaderby", "arenacrashfest", "arenaroundabout", "arenawinter", "derbywinter"},
     false,
     "zem7-tracks1.bfs"},
    {{"forestasphalt", "forestextended1", "forestextended2", "forestrev", "forestwinter"}, false, "zem7-tracks2.bfs"},
    {{"pitbunkerhilloc", "pitcops", "pitderby", "pitextended", "pitking", "pitrev", "pitwinter"},
     false,
     "zem7-tracks3.bfs"},
    {{"racing", "racingbaycupoc", "racingbbddarena", "racingderby", "racingdirt", "racingdrag", "racingextended1",
      "racingextended2", "racingrev", "racingspeedway", "racingwinter"},
     true,
     "zem7-tracks4.bfs"},
    {{"stunt", "stuntderby", "townbarn", "towncops", "townderby", "townrev", "townwinter", "winterasphalt",
      "wintercops", "winterderby", "winterrev"},
     false,
     "zem7-tracks5.bfs"},
};

void BuildTrackArchive(RunContext& run, const TrackArchive& part) {
  const std::string& target = run.plan.zem7Folder;
  // "> Part 2 of 5.": the parts are numbered as the table lists them.
  size_t number = static_cast<size_t>(&part - kTrackArchives) + 1;
  run.log.Write({IDS_LOG_PART, {std::to_string(number), std::to_string(std::size(kTrackArchives))}});
  SafeCreateFolder(run, target + "data");
  SafeCreateFolder(run, target + "data\\tracks");
  for (const char* track : part.tracks)
    SafeMoveFolder(run, target + "datafull\\tracks\\" + track, target + "data\\tracks\\");
  if (part.withFiller) SafeCopyFile(run, target + "filler76k", target + "data\\", true);
  if (PackBFSFile(run, part.archive)) SafeMoveFile(run, target + part.archive, target + "ZEM7-Patches\\");
  SafeDeleteFolder(run, target + "data");
  // The window has answered all along (each entry and the packer's wait pump
  // its messages); a stop asked for during this archive ends the split here,
  // before the next one's moves.
  run.ui.PumpMessages();
  StopIfRequested(run);
}

}  // namespace

void SplitAndPackTrackFolders(RunContext& run) {
  Trap(run.reporter, "modZEM7::SplitAndPackTrackFolders", [&] {
    run.log.Write(IDS_LOG_CREATING_BFS);
    FileSystem::RenameFolder(run.plan.zem7Folder + "data", run.plan.zem7Folder + "datafull");
    for (const TrackArchive& part : kTrackArchives) BuildTrackArchive(run, part);
  });
}
