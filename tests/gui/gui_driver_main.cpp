// gui_driver <installer.exe> <script> <transcript>: runs the installer's window
// through a script and writes every message box it met to the transcript.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "gui_driver.h"
#include "support/text.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fputs("Usage: gui_driver <installer.exe> <script> <transcript>\n", stderr);
    return 2;
  }
  std::ifstream scriptFile(argv[2], std::ios::binary);
  std::stringstream script;
  script << scriptFile.rdbuf();
  InstallerDriver driver(Narrow(argv[1]));
  bool passed = driver.Run(ParseScript(FromAnsi(script.str())));
  std::ofstream(argv[3], std::ios::binary) << ToAnsi(driver.Transcript());
  if (!passed)
    fprintf(stderr, "%s\nBoxes met:\n%s", ToAnsi(driver.Failure()).c_str(), ToAnsi(driver.Transcript()).c_str());
  return passed ? 0 : 1;
}
