// Runs cut off at chosen moments, as a kill, a crash, a power cut or a
// polite stop would end them, then the same command again: it must end with
// exit code 0, with every file of the player's at its place, byte for byte.
#include "end_to_end_fixture.h"

#include <functional>
#include <map>
#include <set>

#include "fileops/file_system.h"
#include "install/record_keeper.h"

namespace {

enum class Cut { Hard, Polite };

// The player's files in a played installation: new saves, a changed
// settings file and a changed file of the mod.
const std::map<std::string, std::string> kPlayersFiles = {
    {"Savegame\\slot1.sav", "career, day 3"},
    {"Savegame\\options.cfg", "resolution=1920x1200"},
    {"ZEM7\\docs\\changes.txt", "my own notes on the changes"},
    {"ZEM7\\readme.txt", "edited by the player"},
};

// The entries after which a run is cut: the first of each phase. A polite
// stop is honoured only at the next safe point, so fewer of them tell apart.
struct Phase {
  const char* entry;  // "text|n": the n-th entry that begins with text
  bool alsoStopped;
};
const Phase kRerunPhases[] = {
    {"Testing the ZEM7 Mod files.", false},
    {"Deleting folder: ", true},
    {"Copying FlatOut Game Files.", false},
    {"Copying ZEM7 Mod Files.", true},
    {"Unpacking the ZEM7 Track Files.", false},
    {"Unpacking the 'Common2.bfs' file.", false},
    {"Creating the new tracks.", true},
    {"Unpacking the ZEM7 Track Files.|2", false},
    {"Deleting unnecessary track folders.", false},
    {"Creating new BFS files.", false},
    {"Creating the new 'zem7-tracks3", true},
    {"Creating shortcuts.", false},
    {"Cleaning up installation files.", false},
    {"Keeping your file: ", false},
    {"Recording the installation: ", false},
    {"Finished installing the ZEM7 mod.", false},
};
const Phase kFirstInstallPhases[] = {
    {"Creating folder: ", false}, {"Copying FlatOut Game Files.", false}, {"Creating new BFS files.", true}};
const char* const kRemovalPhases[] = {
    "Starting to remove", "Deleting the files of the installation.",
    "Deleting File: ", "Removing the entry in Apps & features: ", "Keeping the record of your files: "};

class CutTest : public UnattendedTest {
 protected:
  struct Run {
    DWORD exitCode = 9999;
    std::vector<std::string> entries;  // the progress entries' texts, in order
    std::string said;                  // every other line: the questions, reports and refusals
  };

  // Starts program in root with its standard output in a pipe, reading the
  // progress entries as they come; after entry cutAfter (1-based) it is
  // ended at once, hard or politely. Unattended runs never wait for a
  // person, so the wait is bounded.
  Run RunCutting(const std::string& program, const std::string& arguments, size_t cutAfter = 0, Cut how = Cut::Hard) {
    Run run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return ADD_FAILURE() << "no pipe", run;
    UniqueHandle reading(readEnd), writing(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    std::wstring line = Widen("\"" + program + "\" " + arguments);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, Widen(root.Path()).c_str(), &startup,
                        &process))
      return ADD_FAILURE() << "cannot start " << program, run;
    UniqueHandle running(process.hProcess), thread(process.hThread);
    writing.Reset();
    // Wine's desktop process may inherit the pipe: its end is no sign of the program's.
    std::string pending;
    bool ended = false, cut = false;
    for (ULONGLONG start = GetTickCount64(); !ended;) {
      ended = WaitForSingleObject(running.Get(), 2) == WAIT_OBJECT_0;
      for (DWORD available = 0; PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available;) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(readEnd, chunk.data(), available, &read, nullptr)) break;
        pending += chunk.substr(0, read);
      }
      for (size_t end; (end = pending.find("\r\n")) != std::string::npos; pending.erase(0, end + 2)) {
        std::string text = pending.substr(0, end);
        size_t percent = text.find("% : ");
        if (percent == std::string::npos) {
          run.said += text + "\n";
          continue;
        }
        run.entries.push_back(text.substr(percent + 4));
        if (cut || run.entries.size() != cutAfter) continue;
        cut = true;
        if (how == Cut::Hard) TerminateProcess(running.Get(), 9);
        if (how == Cut::Polite) CloseTopWindowsOf(FileNameOf(program).c_str());
      }
      if (GetTickCount64() - start > 180000) {
        TerminateProcess(running.Get(), 99);
        ADD_FAILURE() << "the run did not end";
      }
    }
    GetExitCodeProcess(running.Get(), &run.exitCode);
    return run;
  }

  static std::wstring FileNameOf(const std::string& path) { return Widen(path.substr(path.find_last_of('\\') + 1)); }

  std::string Installer() const { return distribution + "\\ZEM7Installer.exe"; }
  std::string InstallSwitches() const {
    return "/VERYSILENT \"/GAMEDIR=" + game + "\" \"/LOG=" + root / "install.log" + "\"";
  }
  std::string Uninstaller() const { return target + "ZEM7Uninstall.exe"; }

  // The number of the entry that begins with phase ("text|n": the n-th such entry), 0 when none.
  static size_t EntryOf(const std::vector<std::string>& entries, std::string phase) {
    size_t occurrence = 1, bar = phase.find('|');
    if (bar != std::string::npos) occurrence = std::stoul(phase.substr(bar + 1)), phase.resize(bar);
    for (size_t at = 0; at < entries.size(); ++at)
      if (entries[at].starts_with(phase) && --occurrence == 0) return at + 1;
    return 0;
  }

  // A played installation: the game and download as made, the mod installed, the player's files written.
  void InstallAndPlay() {
    Build();
    downloadBefore = SnapshotFolder(distribution);
    ASSERT_EQ(RunCutting(Installer(), InstallSwitches()).exitCode, 0u);
    for (const auto& [file, content] : kPlayersFiles) WriteFile(target + file, content);
  }

  // No process started from the installation (the mod's tools) outlives the cut run.
  bool ToolRunningFromTarget() const {
    for (const wchar_t* tool : {L"unrar.exe", L"bfsunpack.exe", L"makebfs.exe"})
      for (DWORD id : ProcessesNamed(tool)) {
        UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (process && QueryFullProcessImageNameW(process.Get(), 0, image, &size) &&
            ToUpper(Narrow(image)).starts_with(ToUpper(target)))
          return true;
      }
    return false;
  }

  void ExpectNoToolLeft() const {
    for (int i = 0; i < 100 && ToolRunningFromTarget(); ++i) Sleep(50);
    EXPECT_FALSE(ToolRunningFromTarget());
  }

  // ... and the record tells exactly them apart: nothing of an earlier run
  // passes for the player's, nor the other way round.
  void ExpectPlayersFilesAtTheirPlaces() const {
    for (const auto& [file, content] : kPlayersFiles) EXPECT_EQ(ReadFile(target + file), content) << file;
    EXPECT_FALSE(FolderExists(target + "ZEM7 Kept Files"));
    RecordKeeper keeper = RecordKeeper::Open(target);
    ASSERT_TRUE(keeper.Record()) << keeper.WhyUnusable();
    std::set<std::string> players, expected;
    for (const auto& file : keeper.PlayersFiles(FileSystem::FilesBelow(target))) players.insert(file.path);
    for (const auto& [file, content] : kPlayersFiles) expected.insert(file);
    EXPECT_EQ(players, expected);
  }

  void ExpectInstalledAndPlayed(const Run& again) const {
    EXPECT_EQ(again.exitCode, 0u) << again.said;
    for (int part = 1; part <= 5; ++part)
      EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks" + std::to_string(part) + ".bfs")) << part;
    ExpectPlayersFilesAtTheirPlaces();
  }

  // Each phase cut hard, then those that say so politely, in turn.
  template <size_t count>
  static void ForEachCut(const Phase (&phases)[count], const std::function<void(const Phase&, Cut)>& cut) {
    for (Cut how : {Cut::Hard, Cut::Polite})
      for (const Phase& phase : phases) {
        if (how == Cut::Polite && !phase.alsoStopped) continue;
        SCOPED_TRACE(std::string(how == Cut::Hard ? "killed after " : "stopped after ") + phase.entry);
        cut(phase, how);
      }
  }

  // The uninstaller's copy ("ZEM7Uninstall-<process id>.exe") ends soon after the uninstaller.
  static void WaitForTheUninstallersCopy() {
    auto copyRuns = [] {
      UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
      PROCESSENTRY32W entry{};
      entry.dwSize = sizeof(entry);
      for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        if (_wcsnicmp(entry.szExeFile, L"ZEM7Uninstall-", 14) == 0) return true;
      return false;
    };
    for (int i = 0; i < 200 && copyRuns(); ++i) Sleep(50);
  }

  // The uninstaller's copy deletes it once the removal has ended.
  void WaitForTheUninstallerToGo() const {
    for (int i = 0; i < 200 && FileExists(Uninstaller()); ++i) Sleep(50);
  }

  void ExpectGameAndDownloadUntouched() const {
    ExpectGameUntouched();
    EXPECT_EQ(CompareSnapshots(downloadBefore, SnapshotFolder(distribution)), std::vector<std::string>{});
  }

  FolderSnapshot downloadBefore;
};

// A first installation, cut in each of its phases, then started again the
// same way, with no /RECREATE: the folder it left is its own.
TEST_F(CutTest, FirstInstallationCutAnywhereIsFinishedByTheSameCommand) {
  Build();
  downloadBefore = SnapshotFolder(distribution);
  Run whole = RunCutting(Installer(), InstallSwitches());
  ASSERT_EQ(whole.exitCode, 0u);
  ForEachCut(kFirstInstallPhases, [&](const Phase& phase, Cut how) {
    RemoveTree(target);
    RunCutting(Installer(), InstallSwitches(), EntryOf(whole.entries, phase.entry), how);
    ExpectNoToolLeft();
    Run again = RunCutting(Installer(), InstallSwitches());
    EXPECT_EQ(again.exitCode, 0u) << again.said;
    EXPECT_TRUE(FileExists(target + "ZEM7-Patches\\zem7-tracks5.bfs"));
  });
  ExpectGameAndDownloadUntouched();
}

// A re-run over a played installation, cut in the holding, the emptying,
// each step, the put-back and the record, killed or stopped: the same
// command again keeps every file of the player's.
TEST_F(CutTest, RerunCutAnywhereKeepsEveryFileOfThePlayers) {
  InstallAndPlay();
  ASSERT_FALSE(HasFatalFailure());
  std::string rerun = InstallSwitches() + " /RECREATE";
  Run whole = RunCutting(Installer(), rerun);
  ExpectInstalledAndPlayed(whole);
  ForEachCut(kRerunPhases, [&](const Phase& phase, Cut how) {
    size_t entry = EntryOf(whole.entries, phase.entry);
    ASSERT_NE(entry, 0u);
    RunCutting(Installer(), rerun, entry, how);
    ExpectNoToolLeft();
    ExpectInstalledAndPlayed(RunCutting(Installer(), rerun));
  });
  ExpectGameAndDownloadUntouched();
}

// The uninstaller, started by its name alone, cut in each phase of the
// removal: the same command finishes it, and an installation into the
// folder afterwards keeps the player's files.
TEST_F(CutTest, RemovalCutAnywhereIsFinishedAndTheFolderTakesANewInstallation) {
  InstallAndPlay();
  ASSERT_FALSE(HasFatalFailure());
  Run whole = RunCutting(Uninstaller(), "/VERYSILENT");
  ASSERT_EQ(whole.exitCode, 0u);
  WaitForTheUninstallerToGo();
  ExpectPlayersFilesAtTheirPlaces();
  for (const char* phase : kRemovalPhases) {
    SCOPED_TRACE(std::string("killed after ") + phase);
    ExpectInstalledAndPlayed(RunCutting(Installer(), InstallSwitches()));
    RunCutting(Uninstaller(), "/VERYSILENT", EntryOf(whole.entries, phase));
    // Cut once its copy in the temporary folder was started, the removal is that copy's to finish.
    WaitForTheUninstallersCopy();
    if (FileExists(Uninstaller())) {
      Run again = RunCutting(Uninstaller(), "/VERYSILENT");
      EXPECT_EQ(again.exitCode, 0u) << again.said;
    }
    WaitForTheUninstallerToGo();
    ExpectPlayersFilesAtTheirPlaces();
    EXPECT_FALSE(FileExists(target + "FlatOut.exe"));
    EXPECT_FALSE(RegistryKeyExists(kUninstallKeys + UninstallKeyFor(target)));
  }
  ExpectGameAndDownloadUntouched();
}

}  // namespace
