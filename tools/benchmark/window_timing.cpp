#include "window_timing.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

#include "window/main_window.h"
#include "window/window_user_interface.h"
#include "window/window_layout.h"
#include "figures.h"
#include "support/handles.h"
#include "common/scripted_ui.h"
#include "support/run_context.h"
#include "support/progress_log.h"
#include "support/text.h"

namespace {

constexpr wchar_t kGameKey[] = L"SOFTWARE\\BugBear\\FlatOut";

// Registers the game where its own installer would, for the lifetime of the
// object, and puts back whatever was there before (the demo game, say).
class GameRegistration {
 public:
  explicit GameRegistration(const std::string& gameFolder) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
      return;
    key_.Reset(key);
    createdKey_ = disposition == REG_CREATED_NEW_KEY;
    wchar_t previous[MAX_PATH * 4] = {};
    DWORD size = sizeof previous - sizeof(wchar_t);
    LSTATUS status = RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(previous), &size);
    // A value that cannot be read back could not be put back either: leave it alone.
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
      key_.Reset();
      return;
    }
    hadValue_ = status == ERROR_SUCCESS;
    previous_ = previous;
    Set(Widen(gameFolder));
  }
  ~GameRegistration() {
    if (!key_) return;
    if (hadValue_) {
      Set(previous_);
    } else {
      RegDeleteValueW(key_.Get(), L"Path");
      key_.Reset();
      if (createdKey_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kGameKey, KEY_WOW64_32KEY, 0);
    }
  }
  GameRegistration(const GameRegistration&) = delete;
  GameRegistration& operator=(const GameRegistration&) = delete;

 private:
  void Set(const std::wstring& value) {
    RegSetValueExW(key_.Get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

  UniqueKey key_;
  bool createdKey_ = false;
  bool hadValue_ = false;
  std::wstring previous_;
};

struct WindowSearch {
  DWORD processId;
  HWND found = nullptr;
};

// Only the window of the process just started counts: a demo run may have one open too.
BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t title[128] = {};
  GetWindowTextW(window, title, 128);
  if (Narrow(title) != TextIn(Language::English, IDS_WINDOW_TITLE)) return TRUE;
  search->found = window;
  return FALSE;
}

// As long as a typical entry of the track steps.
std::string EntryText(int entry) {
  const std::string path = "C:\\Games\\FlatOut - ZEM7\\data\\tracks\\";
  return "Copying Folder: " + path + "racing >> " + path + "racingextended" + std::to_string(entry);
}

EntryTiming Summary(const std::vector<double>& milliseconds) {
  EntryTiming timing;
  timing.firstMs = milliseconds[0];
  timing.at200Ms = milliseconds[199];
  for (int entry = 195; entry <= 205; ++entry) timing.average195To205Ms += milliseconds[entry - 1] / 11;
  return timing;
}

// A plain multi-line edit box with the progress box's styles and size (the
// text wraps alike), in a plain window beside ours, with none of our code.
class PlainEditBox {
 public:
  explicit PlainEditBox(SIZE box) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    window_ = CreateWindowExW(0, L"STATIC", L"plain", WS_OVERLAPPEDWINDOW, 700, 0, 660, 560, nullptr, nullptr, instance,
                              nullptr);
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 10, 10,
                            box.cx, box.cy, window_, nullptr, instance, nullptr);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
  }
  ~PlainEditBox() { DestroyWindow(window_); }
  PlainEditBox(const PlainEditBox&) = delete;
  PlainEditBox& operator=(const PlainEditBox&) = delete;

  void Prepend(const std::string& text) {
    std::wstring entry = Widen("12:00:00 : 50% : " + text + "\r\n");
    SendMessageW(edit_, EM_SETSEL, 0, 0);
    SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(entry.c_str()));
    UpdateWindow(edit_);
  }

 private:
  HWND window_ = nullptr;
  HWND edit_ = nullptr;
};

}  // namespace

std::optional<WindowStart> TimeWindowStart(const std::string& installerExe, const std::string& gameFolder) {
  GameRegistration registration(gameFolder);
  std::wstring exe = Widen(installerExe);
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  double start = Now();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return std::nullopt;
  UniqueHandle process(started.hProcess), thread(started.hThread);
  WindowSearch search{started.dwProcessId};
  std::optional<WindowStart> shown;
  // Polls in 1 ms waits on the process, which also ends the search if the installer gives up.
  while (Now() - start < 30 && WaitForSingleObject(process.Get(), 1) == WAIT_TIMEOUT) {
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) continue;
    shown = WindowStart{Now() - start};
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process.Get(), &counters, sizeof counters)) shown->workingSet = counters.WorkingSetSize;
    break;
  }
  if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
  // A start-up error box or a window that will not close: the process is ours to end.
  if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 1);
  WaitForSingleObject(process.Get(), 5000);
  return shown;
}

EntryComparison TimeProgressEntries(const std::string& logFolder) {
  MainWindow window;
  WindowUserInterface ui(window);
  RunContext run(ui, InstallPlan::ForInstallerFolder(logFolder));
  IdleCommands commands;
  window.Create(commands, run.reporter);
  window.Show();
  RECT box{};
  GetWindowRect(window.Control(ControlId::ProgressText), &box);
  SIZE size{box.right - box.left, box.bottom - box.top};
  PlainEditBox plain(size);
  // Entries of a running installation: the title and the taskbar button follow them too.
  InstallationScope installation(ui);
  std::vector<double> ours, plainMs;
  for (int entry = 1; entry <= 205; ++entry) {
    std::string text = EntryText(entry);
    double start = Now();
    run.log.Write(text);
    double between = Now();
    plain.Prepend(text);
    ours.push_back((between - start) * 1000);
    plainMs.push_back((Now() - between) * 1000);
  }
  return {Summary(ours), Summary(plainMs), size};
}
