// A stand-in for the programs the installer starts. Usage:
//   sleeper <milliseconds> [/exit:<code>] [/show:<file>] [/done:<file>]
// /show writes the show style it was started with ("<flags> <wShowWindow>")
// before sleeping; /done writes "done" after sleeping, just before it exits.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool Option(const wchar_t* argument, const wchar_t* name, std::wstring& value) {
  size_t length = wcslen(name);
  if (wcsncmp(argument, name, length) != 0) return false;
  value = argument + length;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD sleepMs = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 0;
  int exitCode = 0;
  std::wstring showFile, doneFile, value;
  for (int i = 2; i < argc; ++i) {
    if (Option(argv[i], L"/exit:", value)) exitCode = _wtoi(value.c_str());
    if (Option(argv[i], L"/show:", value)) showFile = value;
    if (Option(argv[i], L"/done:", value)) doneFile = value;
  }
  if (!showFile.empty()) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    WriteText(showFile,
              std::to_string(startup.dwFlags & STARTF_USESHOWWINDOW) + " " + std::to_string(startup.wShowWindow));
  }
  Sleep(sleepMs);
  if (!doneFile.empty()) WriteText(doneFile, "done");
  return exitCode;
}
