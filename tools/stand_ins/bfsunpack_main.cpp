// Stand-in for "bfsunpack.exe": "Bfsunpack.exe ARCHIVE" unpacks the BFS
// archive ARCHIVE (relative to the current folder) below the current folder.
// The game's archives name their entries "data\...", so the result is the
// tree "data\...". Exit codes: 0 done, 1 failed, 2 unknown command line.
#include <windows.h>

#include <exception>

#include "archive.h"
#include "stand_in.h"
#include "support/text.h"

namespace {

int Unpack(const std::string& name) {
  std::string folder = CurrentFolder();
  std::string archive = IsAbsolutePath(name) ? name : JoinPath(folder, name);
  try {
    size_t files = 0;
    UnpackArchive(archive, ArchiveKind::Bfs, folder, [&files](const ArchiveEntry& entry) {
      if (!entry.isFolder) ++files;
    });
    PrintOut("Unpacked " + std::to_string(files) + " files from " + name + "\n");
    return 0;
  } catch (const std::exception& error) {
    PrintOut(std::string("bfsunpack: ") + error.what() + "\n");
    return 1;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    PrintOut("bfsunpack (test stand-in)\nUsage: bfsunpack <archive.bfs>\n");
    return 2;
  }
  return Unpack(Narrow(argv[1]));
}
