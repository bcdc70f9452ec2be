// Stand-in for "unrar.exe". It knows the one command line the installer uses,
// "x -o+ NAME": extract NAME (relative to the current folder) with its stored
// folders below the current folder, replacing existing files. Exit codes
// follow unrar's: 0 done, 2 fatal error (also a command line it does not
// know), 6 the archive cannot be opened.
#include <windows.h>

#include <cwchar>
#include <exception>

#include "archive.h"
#include "stand_in.h"
#include "support/text.h"

namespace {

constexpr int kFatalError = 2;
constexpr int kOpenError = 6;

constexpr const char* kUsage =
    "\nUNRAR (test stand-in)\n\n"
    "Usage:     unrar x -o+ <archive>\n\n"
    "  x        Extract files with full path below the current folder\n"
    "  -o+      Overwrite existing files\n";

int Extract(const std::string& name) {
  std::string folder = CurrentFolder();
  std::string archive = IsAbsolutePath(name) ? name : JoinPath(folder, name);
  if (!PathIsFile(archive)) {
    PrintOut("\nCannot open " + name + "\nNo files to extract\n");
    return kOpenError;
  }
  PrintOut("\nExtracting from " + name + "\n\n");
  try {
    UnpackArchive(archive, ArchiveKind::Rar, folder, [](const ArchiveEntry& entry) {
      PrintOut((entry.isFolder ? "Creating    " : "Extracting  ") + entry.name + "  OK\n");
    });
  } catch (const std::exception& error) {
    PrintOut(std::string("\nERROR: ") + error.what() + "\n");
    return kFatalError;
  }
  PrintOut("All OK\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || wcscmp(argv[1], L"x") != 0 || wcscmp(argv[2], L"-o+") != 0) {
    PrintOut(kUsage);
    return kFatalError;
  }
  return Extract(Narrow(argv[3]));
}
