#include "gui_driver.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "common/screenshot.h"
#include "window/window_layout.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr DWORD kPollMs = 50;
// How long a person would wait for the window to reach a state it reaches a
// moment later (a control enabled again, a box gone) before calling it stuck.
// Generous, as a busy machine can hold the installer's thread for seconds.
constexpr DWORD kStateWaitMs = 15000;

template <typename Condition>
bool WaitUntil(Condition&& condition, DWORD timeoutMs = kStateWaitMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (condition()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return Narrow(name);
}

// The message box's text: the one static control that holds text.
std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM found) {
        if (EqualsIgnoreCase(ClassOf(child), "Static") && GetWindowTextLengthW(child) > 0)
          *reinterpret_cast<std::string*>(found) = WindowText(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

struct Search {
  DWORD processId;
  const wchar_t* className;
  const wchar_t* title;
  std::vector<HWND> found;
};

std::vector<HWND> TopWindows(DWORD processId, const wchar_t* className, const wchar_t* title = nullptr) {
  Search search{processId, className, title, {}};
  EnumWindows(
      [](HWND window, LPARAM data) {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s.processId || !IsWindowVisible(window)) return TRUE;
        if (s.className && Widen(ClassOf(window)) != s.className) return TRUE;
        if (s.title && Widen(WindowText(window)) != s.title) return TRUE;
        s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Matches(const std::string& pattern, const std::string& actual) {
  if (pattern.ends_with("*")) return actual.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
  return pattern == actual;
}

// Script texts write a line break as "\n"; boxes separate lines with CR LF.
std::string Unescape(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      result += "\r\n";
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

int ButtonFor(const std::string& answer) {
  if (answer == "YES") return IDYES;
  if (answer == "NO") return IDNO;
  return IDOK;
}

}  // namespace

std::vector<ScriptStep> ParseScript(const std::string& text) {
  std::vector<ScriptStep> steps;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t space = line.find(' ');
    steps.push_back({line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
  }
  return steps;
}

InstallerDriver::InstallerDriver(const std::string& installerExe, DWORD timeoutMs, const std::string& arguments) {
  std::string folder = installerExe.substr(0, installerExe.find_last_of('\\'));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  std::wstring line = Widen("\"" + installerExe + "\"" + (arguments.empty() ? "" : " " + arguments));
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Widen(folder).c_str(), &startup,
                      &started)) {
    failure_ = "cannot start " + installerExe + ": " + SystemMessage(GetLastError());
    return;
  }
  CloseHandle(started.hThread);
  process_.Reset(started.hProcess);
  processId_ = started.dwProcessId;
  for (DWORD waited = 0; waited < timeoutMs && !window_; waited += kPollMs) {
    // By its class: its title is in the language the run shows.
    auto windows = TopWindows(processId_, L"ZEM7InstallerWindow");
    if (!windows.empty())
      window_ = windows.front();
    else
      Sleep(kPollMs);
  }
  if (!window_) failure_ = "the installer's window did not appear";
}

InstallerDriver::~InstallerDriver() {
  // A failed run leaves no installer behind to hold the test's folders.
  if (process_ && !HasExited()) TerminateProcess(process_.Get(), 1);
}

bool InstallerDriver::HasExited() const { return !process_ || WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }

HWND InstallerDriver::Control(const std::string& name) const {
  for (const ControlSpec& spec : MainWindowControls()) {
    if (name != spec.name) continue;
    struct Find {
      ControlId id;
      HWND found;
    } find{spec.id, nullptr};
    EnumChildWindows(
        window_,
        [](HWND child, LPARAM data) {
          auto& f = *reinterpret_cast<Find*>(data);
          if (GetDlgCtrlID(child) == static_cast<int>(f.id)) f.found = child;
          return f.found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
  }
  return nullptr;
}

// Asked of the control itself: the text the system keeps for a window of
// another process is its caption, which an edit box's entries never change.
std::string InstallerDriver::ControlText(const std::string& control) const {
  HWND found = Control(control);
  if (!found) return {};
  std::wstring text(static_cast<size_t>(SendMessageW(found, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<size_t>(SendMessageW(found, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return Narrow(text);
}

HWND InstallerDriver::WaitForNewBox() {
  for (DWORD waited = 0; waited < boxTimeoutMs_; waited += kPollMs) {
    for (HWND box : TopWindows(processId_, L"#32770")) {
      if (std::find(seen_.begin(), seen_.end(), box) != seen_.end()) continue;
      if (BoxText(box).empty()) continue;  // still being filled in
      seen_.push_back(box);
      return box;
    }
    if (HasExited()) return nullptr;
    Sleep(kPollMs);
  }
  return nullptr;
}

bool InstallerDriver::ExpectBox(const std::string& pattern, HWND& box) {
  box = WaitForNewBox();
  if (!box) {
    failure_ = HasExited() ? "the installer ended while a box was expected: " + pattern
                           : "no box appeared in time; expected: " + pattern;
    return false;
  }
  MetBox met{WindowText(box), BoxText(box), ""};
  boxes_.push_back(met);
  size_t bar = pattern.find('|');
  std::string title = pattern.substr(0, bar);
  std::string text = bar == std::string::npos ? "*" : Unescape(pattern.substr(bar + 1));
  if (Matches(title, met.title) && Matches(text, met.text)) return true;
  failure_ = "unexpected box \"" + met.title + "\": " + met.text + "\nexpected: " + pattern;
  return false;
}

void InstallerDriver::Answer(HWND box, const std::string& answer) {
  int button = ButtonFor(answer);
  for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it)
    if (it->answer.empty()) {
      it->answer = answer;
      break;
    }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  WaitUntil([box] { return !IsWindow(box); });
  // A closed box's handle may come back for the next one.
  if (!IsWindow(box)) seen_.erase(std::remove(seen_.begin(), seen_.end(), box), seen_.end());
}

bool InstallerDriver::Step(const ScriptStep& step) {
  const std::string& verb = step.verb;
  const std::string& argument = step.argument;
  if (verb == "type" || verb == "click") {
    std::string name = argument.substr(0, argument.find(' '));
    HWND control = Control(name);
    if (!control) {
      failure_ = "no control named " + name;
      return false;
    }
    // A person cannot type into or click a disabled control, but waits a
    // moment for one that the program is about to give back.
    if (!WaitUntil([control] { return IsWindowEnabled(control) != FALSE; })) {
      failure_ = name + " is disabled";
      return false;
    }
    if (verb == "type") {
      std::string text = argument.size() > name.size() ? argument.substr(name.size() + 1) : "";
      SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    } else {
      // What a click produces: the button's notification to the window.
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
    }
    return true;
  }
  if (verb == "disabled" || verb == "accelerator") {
    HWND control = Control(argument);
    if (!control) {
      failure_ = "no control named " + argument;
      return false;
    }
    // What the window's accelerator (Alt+M) sends: the command, from no control.
    if (verb == "accelerator") return PostMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), 1), 0);
    if (!WaitUntil([control] { return !IsWindowEnabled(control); })) failure_ = argument + " is enabled";
    return failure_.empty();
  }
  if (verb == "close") return PostMessageW(window_, WM_CLOSE, 0, 0);
  if (verb == "box") {
    std::string answer = argument.substr(0, argument.find(' '));
    HWND box = nullptr;
    if (!ExpectBox(argument.substr(answer.size() + 1), box)) return false;
    Answer(box, answer);
    return true;
  }
  if (verb == "hold") {
    HWND box = nullptr;
    if (!ExpectBox(argument, box)) return false;
    held_.push_back(box);
    return true;
  }
  if (verb == "answer") {
    if (held_.empty()) {
      failure_ = "no box is held";
      return false;
    }
    Answer(held_.back(), argument);
    held_.pop_back();
    return true;
  }
  if (verb == "screenshot") {
    SetForegroundWindow(window_);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    if (!SavePng(CaptureWindow(window_), argument)) failure_ = "cannot write " + argument;
    return failure_.empty();
  }
  if (verb == "exit") {
    DWORD waitMs = static_cast<DWORD>(std::stoul(argument.empty() ? "60" : argument)) * 1000;
    if (WaitForSingleObject(process_.Get(), waitMs) == WAIT_OBJECT_0) return true;
    failure_ = "the installer is still running";
    return false;
  }
  failure_ = "unknown script step: " + verb;
  return false;
}

bool InstallerDriver::Run(const std::vector<ScriptStep>& steps) {
  if (!failure_.empty()) return false;
  for (const ScriptStep& step : steps)
    if (!Step(step)) {
      failure_ = "step \"" + step.verb + " " + step.argument + "\": " + failure_;
      return false;
    }
  return true;
}

std::string InstallerDriver::Transcript() const {
  std::string transcript;
  for (const MetBox& box : boxes_) {
    std::string text = box.text;
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\\n");
    transcript +=
        "[" + (box.answer.empty() ? std::string("unanswered") : box.answer) + "] " + box.title + "|" + text + "\n";
  }
  return transcript;
}
