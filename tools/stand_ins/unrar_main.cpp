// Stand-in for "unrar.exe". It knows the command lines the installer uses:
//   x -o+ [-idq] ARCHIVE  extract ARCHIVE with its stored folders below the current
//                         folder, replacing existing files;
//   t [-idq] ARCHIVE      test ARCHIVE: read every file's bytes against their
//                         checksums, as far as the end record, and write nothing;
//   lb ARCHIVE            list the bare names of ARCHIVE's files and folders,
//                         one per line, as extraction would make them.
// ARCHIVE is a full path or relative to the current folder; -idq leaves only
// the error messages. Exit codes follow unrar's: 0 done (for t: the archive is
// whole), 2 fatal error (also a command line it does not know), 3 a checksum
// error (also an archive that is cut short or otherwise damaged), 6 the
// archive cannot be opened.
#include <windows.h>

#include <exception>
#include <optional>

#include "archive.h"
#include "stand_in.h"
#include "support/text.h"

namespace {

constexpr int kFatalError = 2;
constexpr int kCrcError = 3;
constexpr int kOpenError = 6;

constexpr const char* kUsage =
    "\nUNRAR (test stand-in)\n\n"
    "Usage:     unrar x -o+ [-idq] <archive>\n"
    "           unrar t [-idq] <archive>\n"
    "           unrar lb <archive>\n\n"
    "  x        Extract files with full path below the current folder\n"
    "  t        Test the archive's files against their checksums\n"
    "  lb       List bare file names\n"
    "  -o+      Overwrite existing files\n"
    "  -idq     Quiet: print error messages only\n";

struct CommandLine {
  std::string command;  // "x", "t" or "lb"
  std::string archive;
  bool overwrite = false;
  bool quiet = false;
};

// Switches may stand anywhere after the command, as unrar allows; anything
// else it does not know is refused rather than guessed at.
std::optional<CommandLine> ParseCommandLine(int argc, wchar_t** argv) {
  if (argc < 3) return std::nullopt;
  CommandLine line;
  line.command = Narrow(argv[1]);
  for (int i = 2; i < argc; ++i) {
    std::string argument = Narrow(argv[i]);
    if (argument == "-o+") {
      line.overwrite = true;
    } else if (argument == "-idq") {
      line.quiet = true;
    } else if (argument.starts_with("-") || !line.archive.empty()) {
      return std::nullopt;
    } else {
      line.archive = argument;
    }
  }
  // Without -o+ the real tool would stop and ask about every existing file.
  bool known = (line.command == "x" && line.overwrite) || (line.command == "t" && !line.overwrite) ||
               (line.command == "lb" && !line.overwrite && !line.quiet);
  if (!known || line.archive.empty()) return std::nullopt;
  return line;
}

int ExitCodeOf(ArchiveFault fault) {
  switch (fault) {
    case ArchiveFault::CannotOpen: return kOpenError;
    case ArchiveFault::Damaged: return kCrcError;
    case ArchiveFault::Failed: break;
  }
  return kFatalError;
}

void Work(const CommandLine& line, const std::string& archive, const std::string& folder) {
  auto say = [&line](const std::string& text) {
    if (!line.quiet) PrintOut(text);
  };
  if (line.command == "lb") {
    for (const ArchiveEntry& entry : ListArchive(archive, ArchiveKind::Rar)) PrintOut(entry.name + "\r\n");
    return;
  }
  if (line.command == "x") {
    say("\nExtracting from " + line.archive + "\n\n");
    UnpackArchive(archive, ArchiveKind::Rar, folder, [&say](const ArchiveEntry& entry) {
      say((entry.isFolder ? "Creating    " : "Extracting  ") + entry.name + "  OK\n");
    });
  } else {
    say("\nTesting archive " + line.archive + "\n\n");
    TestArchive(archive, ArchiveKind::Rar, [&say](const ArchiveEntry& entry) {
      if (!entry.isFolder) say("Testing     " + entry.name + "  OK\n");
    });
  }
  say("All OK\n");
}

int Run(const CommandLine& line) {
  std::string folder = CurrentFolder();
  std::string archive = IsAbsolutePath(line.archive) ? line.archive : JoinPath(folder, line.archive);
  try {
    Work(line, archive, folder);
    return 0;
  } catch (const ArchiveError& error) {
    PrintOut(std::string("\nERROR: ") + error.what() + "\n");
    return ExitCodeOf(error.Fault());
  } catch (const std::exception& error) {
    PrintOut(std::string("\nERROR: ") + error.what() + "\n");
    return kFatalError;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::optional<CommandLine> line = ParseCommandLine(argc, argv);
  if (!line) {
    PrintOut(kUsage);
    return kFatalError;
  }
  return Run(*line);
}
