#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/progress_log.h"
#include "support/runtime_error.h"

namespace {

// The new tracks, each a full copy of one of the game's seven track groups.
// A heading is logged before the first copy of each group.
struct TrackCopy {
  TextId heading;  // 0: none
  const char* group;
  const char* track;
};

constexpr TrackCopy kTrackCopies[] = {
    {IDS_LOG_ARENA_TRACKS, "arena", "arenaaphaltroundabout"},
    {0, "arena", "arenacrashfest"},
    {0, "arena", "arenaderby"},
    {0, "arena", "arenaroundabout"},
    {0, "arena", "arenawinter"},
    {IDS_LOG_DERBY_TRACKS, "derby", "derbywinter"},
    {IDS_LOG_FOREST_TRACKS, "forest", "forestasphalt"},
    {0, "forest", "forestextended1"},
    {0, "forest", "forestextended2"},
    {0, "forest", "forestwinter"},
    {IDS_LOG_PIT_TRACKS, "pit", "pitbunkerhilloc"},
    {0, "pit", "pitcops"},
    {0, "pit", "pitextended"},
    {0, "pit", "pitking"},
    {0, "pit", "pitwinter"},
    {IDS_LOG_RACING_TRACKS, "racing", "racingbaycupoc"},
    {0, "racing", "racingbbddarena"},
    {0, "racing", "racingderby"},
    {0, "racing", "racingdirt"},
    {0, "racing", "racingdrag"},
    {0, "racing", "racingextended1"},
    {0, "racing", "racingextended2"},
    {0, "racing", "racingspeedway"},
    {0, "racing", "racingwinter"},
    {IDS_LOG_TOWN_TRACKS, "town", "townbarn"},
    {0, "town", "towncops"},
    {0, "town", "townwinter"},
    {IDS_LOG_WINTER_TRACKS, "winter", "winterasphalt"},
    {0, "winter", "wintercops"},
};

// What each derived track does not keep of its group's copy.
struct TrackTrim {
  const char* track;
  std::initializer_list<const char*> subfolders;
};

const TrackTrim kTrackTrims[] = {
    {"arenaaphaltroundabout", {"arena1", "arena3"}},
    {"arenacrashfest", {"arena2", "arena3"}},
    {"arenaroundabout", {"arena1", "arena3"}},
    {"forestasphalt", {"forest2", "forest3"}},
    {"forestextended1", {"forest1\\a", "forest1\\c", "forest2", "forest3"}},
    {"forestextended2", {"forest1", "forest2", "forest3\\b", "forest3\\c"}},
    {"pitbunkerhilloc", {"pit1\\a", "pit1\\c", "pit2", "pit3"}},
    {"pitcops", {"pit1", "pit2\\b", "pit2\\c", "pit3"}},
    {"pitextended", {"pit1", "pit2", "pit3\\b", "pit3\\c"}},
    {"pitking", {"pit1\\a", "pit1\\b", "pit2", "pit3"}},
    {"racingbaycupoc", {"racing2"}},
    {"racingbbddarena", {"racing2", "racing1\\b", "racing1\\c"}},
    {"racingderby", {"racing1\\a", "racing1\\b", "racing2"}},
    {"racingdrag", {"racing1", "racing2\\b", "racing2\\c"}},
    {"racingextended1", {"racing1\\a", "racing1\\c", "racing2"}},
    {"racingextended2", {"racing1\\a", "racing1\\b", "racing2"}},
    {"racingspeedway", {"racing1\\a", "racing1\\c", "racing2"}},
    {"townbarn", {"town2\\b", "town2\\c", "town3"}},
    {"towncops", {"town2\\b", "town2\\c", "town3\\b", "town3\\c"}},
    {"wintercops", {"winter1", "winter2\\a", "winter2\\b"}},
};

// The subfolders the trims take from a new track; none for most.
std::vector<std::string> TrimmedFrom(const char* track) {
  for (const TrackTrim& trim : kTrackTrims)
    if (std::string_view(trim.track) == track) return {trim.subfolders.begin(), trim.subfolders.end()};
  return {};
}

}  // namespace

// The new tracks are only read, by the trims and the packer, and then
// deleted: their files can be second names of their groups', which costs
// neither bytes nor time. The track archive's extraction, the one write into
// them, gives each file it writes over a file of its own first. What the
// trims delete a moment later is made as empty folders, so that the trims
// find and log the same folders without a link made and removed per file.
void CopyTracks(RunContext& run) {
  Trap(run.reporter, "modZEM7::CopyTracks", [&] {
    run.log.Write(IDS_LOG_CREATING_TRACKS);
    const std::string base = run.plan.zem7Folder + "data\\tracks\\";
    FileSystem::LinkedCopy links;
    links.linksAllowed = run.linkTrackFiles;
    links.linkedNames = &run.facts.linkedTrackNames;
    for (const TrackCopy& copy : kTrackCopies) {
      if (copy.heading) run.log.Write(copy.heading);
      bool refusedBefore = links.refusal != 0;
      links.madeEmpty = TrimmedFrom(copy.track);
      SafeCopyFolderAsLinks(run, base + copy.group, base + copy.track, true, links);
      if (!refusedBefore && links.refusal != 0)
        run.log.Write({IDS_LOG_NO_SECOND_NAMES, {Message::SystemError(links.refusal)}});
    }
  });
}

void DeleteTrackFolders(RunContext& run) {
  Trap(run.reporter, "modZEM7::DeleteTrackFolders", [&] {
    run.log.Write(IDS_LOG_DELETING_TRACK_FOLDERS);
    const std::string base = run.plan.zem7Folder + "data\\tracks\\";
    for (const TrackTrim& trim : kTrackTrims)
      for (const char* subfolder : trim.subfolders) SafeDeleteFolder(run, base + trim.track + "\\" + subfolder);
  });
}
