#include <initializer_list>

#include "fileops/safe_file_ops.h"
#include "install/install_steps.h"
#include "support/error_report.h"
#include "support/progress_log.h"
#include "support/runtime_error.h"

namespace {

// The new tracks, each a full copy of one of the game's seven track groups.
// A heading is logged before the first copy of each group.
struct TrackCopy {
  const char* heading;
  const char* group;
  const char* track;
};

constexpr TrackCopy kTrackCopies[] = {
    {"> Arena tracks.", "arena", "arenaaphaltroundabout"},
    {nullptr, "arena", "arenacrashfest"},
    {nullptr, "arena", "arenaderby"},
    {nullptr, "arena", "arenaroundabout"},
    {nullptr, "arena", "arenawinter"},
    {"> Derby tracks.", "derby", "derbywinter"},
    {"> Forest tracks.", "forest", "forestasphalt"},
    {nullptr, "forest", "forestextended1"},
    {nullptr, "forest", "forestextended2"},
    {nullptr, "forest", "forestwinter"},
    {"> Pit tracks.", "pit", "pitbunkerhilloc"},
    {nullptr, "pit", "pitcops"},
    {nullptr, "pit", "pitextended"},
    {nullptr, "pit", "pitking"},
    {nullptr, "pit", "pitwinter"},
    {"> Racing tracks.", "racing", "racingbaycupoc"},
    {nullptr, "racing", "racingbbddarena"},
    {nullptr, "racing", "racingderby"},
    {nullptr, "racing", "racingdirt"},
    {nullptr, "racing", "racingdrag"},
    {nullptr, "racing", "racingextended1"},
    {nullptr, "racing", "racingextended2"},
    {nullptr, "racing", "racingspeedway"},
    {nullptr, "racing", "racingwinter"},
    {"> Town tracks.", "town", "townbarn"},
    {nullptr, "town", "towncops"},
    {nullptr, "town", "townwinter"},
    {"> Winter tracks.", "winter", "winterasphalt"},
    {nullptr, "winter", "wintercops"},
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

}  // namespace

// The new tracks are only read, by the trims and the packer, and then
// deleted: their files can be second names of their groups', which costs
// neither bytes nor time. The track archive's extraction, the one write into
// them, gives each file it writes over a file of its own first.
void CopyTracks(RunContext& run) {
  Trap(run.reporter, "modZEM7::CopyTracks", [&] {
    run.log.Write("Creating the new tracks.");
    const std::string base = run.plan.zem7Folder + "data\\tracks\\";
    FileSystem::LinkedCopy links{run.linkTrackFiles};
    links.linkedNames = &run.facts.linkedTrackNames;
    for (const TrackCopy& copy : kTrackCopies) {
      if (copy.heading) run.log.Write(copy.heading);
      bool refusedBefore = links.refusal != 0;
      SafeCopyFolderAsLinks(run, base + copy.group, base + copy.track, true, links);
      if (!refusedBefore && links.refusal != 0)
        run.log.Write("The drive gives no second names to files (" + SystemMessage(links.refusal) +
                      "): the new tracks' files are copied in full.");
    }
  });
}

void DeleteTrackFolders(RunContext& run) {
  Trap(run.reporter, "modZEM7::DeleteTrackFolders", [&] {
    run.log.Write("Deleting unnecessary track folders.");
    const std::string base = run.plan.zem7Folder + "data\\tracks\\";
    for (const TrackTrim& trim : kTrackTrims)
      for (const char* subfolder : trim.subfolders) SafeDeleteFolder(run, base + trim.track + "\\" + subfolder);
  });
}
