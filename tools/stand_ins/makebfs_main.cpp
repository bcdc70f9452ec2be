// Stand-in for "makebfs.exe". Started without arguments, it reads "in.txt" in
// the current folder: one ANSI line without a line break, the lower-case short
// (8.3) path of a folder with every backslash doubled. It packs that folder
// into "br549temp.bfs" with entry names that start with the folder's own name,
// leaves its log in "cout.txt" and writes "finished.txt" once the archive is
// complete; the installer waits for that marker, not for the process.
//
// ZEM7_MAKEBFS_MODE lets tests play the tool's misbehaviours:
//   normal (or unset)   as above
//   slow:<ms>           waits <ms> before packing
//   crash               exits with code 3, leaving neither archive nor marker
//   nomarker            packs but never writes the marker
//   latemarker:<ms>     exits right after packing; a detached process writes
//                       the marker <ms> later
// Exit codes: 0 done, 1 bad input or packing failed, 3 crash, 4 unknown mode.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <optional>
#include <stdexcept>

#include "archive.h"
#include "stand_in.h"
#include "support/handles.h"
#include "support/text.h"

namespace {

constexpr const char* kInputName = "in.txt";
constexpr const char* kArchiveName = "br549temp.bfs";
constexpr const char* kMarkerName = "finished.txt";
constexpr const char* kLogName = "cout.txt";
// Internal command line of the detached process that writes a late marker.
constexpr const wchar_t* kLateMarkerSwitch = L"--write-marker-later";

enum class ModeKind { Normal, Slow, Crash, NoMarker, LateMarker };

struct Mode {
  ModeKind kind = ModeKind::Normal;
  unsigned long milliseconds = 0;
};

// A mode the stand-in does not know is a typo in a test; it must not pass for "normal".
std::optional<Mode> ReadMode() {
  std::string text = EnvironmentValue("ZEM7_MAKEBFS_MODE").value_or("normal");
  std::string name = text.substr(0, text.find(':'));
  std::string argument = text.find(':') == std::string::npos ? "" : text.substr(text.find(':') + 1);
  constexpr unsigned long kInvalid = ~0ul;
  unsigned long milliseconds = ParseMilliseconds(argument, kInvalid);
  if (text == "normal" || text.empty()) return Mode{};
  if (text == "crash") return Mode{ModeKind::Crash};
  if (text == "nomarker") return Mode{ModeKind::NoMarker};
  if (name == "slow" && milliseconds != kInvalid) return Mode{ModeKind::Slow, milliseconds};
  if (name == "latemarker" && milliseconds != kInvalid) return Mode{ModeKind::LateMarker, milliseconds};
  return std::nullopt;
}

class Log {
 public:
  explicit Log(const std::string& folder) : path_(JoinPath(folder, kLogName)) { DeleteFileW(Widen(path_).c_str()); }
  void Line(const std::string& text) const { AppendBytes(path_, ToAnsi(text + "\r\n")); }

 private:
  std::string path_;
};

std::string ReadSmallFile(const std::string& path) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error(std::string(kInputName) + " is missing");
  std::string bytes(4096, '\0');
  DWORD got = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
    throw std::runtime_error(std::string("cannot read ") + kInputName);
  bytes.resize(got);
  return bytes;
}

void WriteSmallFile(const std::string& path, std::string_view bytes) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    throw std::runtime_error("cannot write " + path);
}

// The old tool cannot cope with spaces or long names, hence the 8.3 form.
bool IsShortName(const std::wstring& part) {
  if (part.empty() || part.find_first_of(L" +,;=[]") != std::wstring::npos) return false;
  size_t dot = part.find(L'.');
  if (dot == std::wstring::npos) return part.size() <= 8;
  return dot >= 1 && dot <= 8 && part.size() - dot - 1 <= 3 && part.find(L'.', dot + 1) == std::wstring::npos;
}

std::string UndoubleBackslashes(const std::string& text) {
  std::string path;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && (i + 1 == text.size() || text[++i] != '\\'))
      throw std::runtime_error("a backslash in in.txt is not doubled: " + text);
    path += text[i];
  }
  return path;
}

void CheckShortLowerCasePath(const std::string& path) {
  if (ToLower(path) != path) throw std::runtime_error("the path in in.txt is not lower case: " + path);
  std::wstring wide = Widen(path);
  if (wide.size() < 3 || wide[1] != L':' || wide[2] != L'\\')
    throw std::runtime_error("the path in in.txt is not a full path: " + path);
  for (size_t start = 3; start <= wide.size();) {
    size_t end = std::min(wide.find(L'\\', start), wide.size());
    if (!IsShortName(wide.substr(start, end - start)))
      throw std::runtime_error("the path in in.txt is not a short (8.3) path: " + path);
    start = end + 1;
  }
}

// The folder named by in.txt; throws with the reason when the line breaks the rules.
std::string ReadInputFolder(const std::string& folder) {
  std::string bytes = ReadSmallFile(JoinPath(folder, kInputName));
  if (bytes.empty()) throw std::runtime_error("in.txt is empty");
  if (bytes.find_first_of("\r\n") != std::string::npos)
    throw std::runtime_error("in.txt must hold one line without a line break");
  std::string path = UndoubleBackslashes(FromAnsi(bytes));
  CheckShortLowerCasePath(path);
  if (!PathIsFolder(path)) throw std::runtime_error("no folder " + path);
  return path;
}

// The entries are named after the folder's real (long) name, as the game expects "data\...".
std::string LongFolderName(const std::string& path) {
  std::wstring wide = Widen(path);
  DWORD length = GetLongPathNameW(wide.c_str(), nullptr, 0);
  std::wstring longPath(length, L'\0');
  length = GetLongPathNameW(wide.c_str(), longPath.data(), length);
  longPath.resize(length);
  return FileNamePart(length != 0 ? Narrow(longPath) : path);
}

// Starts a copy of this program that outlives it and writes the marker later.
bool StartLateMarker(const std::string& folder, unsigned long milliseconds) {
  std::wstring exe = Widen(OwnExePath());
  std::wstring quotedFolder = Widen(folder);
  if (quotedFolder.ends_with(L'\\')) quotedFolder += L'\\';  // "C:\" would escape the closing quote
  std::wstring commandLine =
      L"\"" + exe + L"\" " + kLateMarkerSwitch + L" " + std::to_wstring(milliseconds) + L" \"" + quotedFolder + L"\"";
  wchar_t systemFolder[MAX_PATH];
  GetSystemDirectoryW(systemFolder, MAX_PATH);  // not the work folder: a current folder cannot be deleted
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, systemFolder,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int WriteMarkerLater(const wchar_t* milliseconds, const wchar_t* folder) {
  Sleep(ParseMilliseconds(Narrow(milliseconds), 0));
  WriteSmallFile(JoinPath(Narrow(folder), kMarkerName), "finished\r\n");
  return 0;
}

int PackAndMark(const Log& log, const std::string& folder, const Mode& mode) {
  std::string source = ReadInputFolder(folder);
  if (mode.kind == ModeKind::Slow) Sleep(mode.milliseconds);
  std::string rootName = LongFolderName(source);
  log.Line("Packing " + source + " as " + rootName + "\\...");
  ArchiveWriter writer(JoinPath(folder, kArchiveName), ArchiveKind::Bfs);
  writer.AddFolder(rootName);
  writer.AddTree(source, rootName);
  writer.Finish();
  log.Line("Wrote " + std::string(kArchiveName) + " with " + std::to_string(writer.EntryCount()) + " entries");
  switch (mode.kind) {
    case ModeKind::NoMarker: return 0;
    case ModeKind::LateMarker:
      if (!StartLateMarker(folder, mode.milliseconds)) throw std::runtime_error("cannot start the marker writer");
      return 0;
    default: WriteSmallFile(JoinPath(folder, kMarkerName), "finished\r\n"); return 0;
  }
}

int MakeBfs() {
  std::string folder = CurrentFolder();
  Log log(folder);
  log.Line("makebfs (test stand-in) in " + folder);
  std::optional<Mode> mode = ReadMode();
  if (!mode) {
    log.Line("Unknown ZEM7_MAKEBFS_MODE");
    return 4;
  }
  if (mode->kind == ModeKind::Crash) return 3;
  try {
    int result = PackAndMark(log, folder, *mode);
    log.Line("Done");
    return result;
  } catch (const std::exception& error) {
    log.Line(std::string("Error: ") + error.what());
    return 1;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    if (argc == 4 && wcscmp(argv[1], kLateMarkerSwitch) == 0) return WriteMarkerLater(argv[2], argv[3]);
    return MakeBfs();
  } catch (const std::exception& error) {  // not even the log could be written
    PrintOut(std::string("makebfs: ") + error.what() + "\n");
    return 1;
  }
}
