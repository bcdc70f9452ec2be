#include "support/path_helpers.h"

#include <windows.h>

#include <algorithm>

#include "support/error_report.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// Calls a Win32 function that fills a buffer and, when the buffer is too
// small, answers with the size it needs (terminating zero included) instead.
// Returns false with the last error left in place when the call fails.
template <typename Fill>
bool FillGrowingBuffer(std::wstring& result, Fill&& fill) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      buffer.resize(length);
      result = std::move(buffer);
      return true;
    }
    // The path may have grown again before the next call, so this loops.
    buffer.assign(length, L'\0');
  }
}

// The errors that only say "there is nothing by that name".
bool IsMissingPathError(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_DRIVE ||
         code == ERROR_BAD_NETPATH || code == ERROR_BAD_NET_NAME;
}

std::string ShortPathOf(const std::string& path) {
  if (path.empty()) return {};
  std::wstring longPath = Widen(path);
  std::wstring shortPath;
  bool found = FillGrowingBuffer(
      shortPath, [&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(longPath.c_str(), buffer, size); });
  if (found) return Narrow(shortPath);
  DWORD code = GetLastError();
  if (IsMissingPathError(code)) return {};
  ThrowWin32Error(code);
}

// "C:\" keeps its backslash; so does the "\\" that starts a network path.
bool EndsInRemovableBackslash(const std::wstring& path) {
  if (path.size() < 2 || path.back() != L'\\') return false;
  wchar_t before = path[path.size() - 2];
  return before != L':' && before != L'\\';
}

}  // namespace

std::string FormatPath(std::string path) {
  std::string formatted = Trim(path, ' ');
  if (!EndsWith(formatted, "\\")) formatted += '\\';
  return formatted;
}

bool HasSystemPrefix(const std::string& path) {
  return path.size() >= 4 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') &&
         (path[2] == '?' || path[2] == '.') && (path[3] == '\\' || path[3] == '/');
}

std::string CollapseBackslashes(const std::string& path) {
  size_t keep = path.starts_with("\\\\") ? 2 : 0;
  std::string collapsed = path.substr(0, keep);
  for (size_t i = keep; i < path.size(); ++i) {
    bool repeated = path[i] == '\\' && collapsed.size() > keep && collapsed.back() == '\\';
    if (!repeated) collapsed += path[i];
  }
  return collapsed;
}

std::string GetShortPath(ErrorReporter& reporter, const std::string& path) {
  return TrapResult<std::string>(reporter, "modMain::GetShortPath", "", [&] { return ShortPathOf(path); });
}

std::string GetAbsolutePathName(const std::string& path) {
  std::wstring relative = path.empty() ? L"." : Widen(path);
  std::wstring full;
  bool resolved = FillGrowingBuffer(
      full, [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(relative.c_str(), size, buffer, nullptr); });
  if (!resolved) ThrowLastError();
  while (EndsInRemovableBackslash(full)) full.pop_back();
  return Narrow(full);
}

std::string LongPathName(const std::string& path) {
  std::wstring wide = Widen(path), longName;
  if (!FillGrowingBuffer(longName,
                         [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(wide.c_str(), buffer, size); }))
    return path;
  return Narrow(longName);
}

std::wstring PlainPathName(const std::wstring& path) {
  bool systemForm = path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\") || path.starts_with(L"\\??\\");
  if (!systemForm) return path;
  std::wstring rest = path.substr(4);
  if (rest.size() >= 4 && CompareStringOrdinal(rest.c_str(), 4, L"UNC\\", 4, TRUE) == CSTR_EQUAL)
    return L"\\\\" + rest.substr(4);
  return rest;
}

// The name's part before its first dot (the extension) or colon (a stream),
// trailing spaces dropped, is what Windows compares with its devices.
bool IsDeviceName(const std::string& name) {
  std::string base = ToUpper(name.substr(0, name.find_first_of(".:")));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (base == device) return true;
  if (!base.starts_with("COM") && !base.starts_with("LPT")) return false;
  std::string number = base.substr(3);
  // Windows also takes the superscripts 1, 2 and 3 as port numbers.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2" ||
         number == "\xC2\xB3";
}

bool NamesADevice(const std::string& path) {
  std::string text = path;
  std::replace(text.begin(), text.end(), '/', '\\');
  bool deviceNamespace =
      text.starts_with("\\??\\") || (text.size() >= 3 && text.starts_with("\\\\") &&
                                     (text[2] == '.' || text[2] == '?') && (text.size() == 3 || text[3] == '\\'));
  if (deviceNamespace) return true;
  // A drive-relative "C:NUL" names the device too.
  size_t at = text.size() >= 2 && text[1] == ':' ? 2 : 0;
  while (at <= text.size()) {
    size_t end = std::min(text.find('\\', at), text.size());
    if (IsDeviceName(text.substr(at, end - at))) return true;
    at = end + 1;
  }
  return false;
}

std::string ExecutablePath() {
  std::wstring path;
  FillGrowingBuffer(path, [](wchar_t* buffer, DWORD size) {
    DWORD length = GetModuleFileNameW(nullptr, buffer, size);
    return length < size ? length : size * 2;  // a truncated path: ask again with more room
  });
  return Narrow(path);
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  return path.substr(0, path.find_last_of('\\'));
}
