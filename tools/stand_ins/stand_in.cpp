#include "stand_in.h"

#include <windows.h>

#include <charconv>

#include "archive.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/path_helpers.h"
#include "support/text.h"

std::string CurrentFolder() {
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(length, L'\0');
  length = GetCurrentDirectoryW(length, folder.data());
  folder.resize(length);
  return Narrow(folder);
}

std::string OwnExePath() { return ExecutablePath(); }

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsAbsolutePath(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
  std::wstring wideName = Widen(name);
  DWORD length = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  length = GetEnvironmentVariableW(wideName.c_str(), value.data(), length);
  value.resize(length);
  return Narrow(value);
}

unsigned long ParseMilliseconds(std::string_view text, unsigned long fallback) {
  unsigned long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value : fallback;
}

void PrintOut(std::string_view utf8Text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  std::string bytes = ToAnsi(utf8Text);
  DWORD written = 0;
  WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void AppendBytes(const std::string& path, std::string_view bytes) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw ArchiveError("Cannot open \"" + path + "\": " + SystemMessage(GetLastError()));
  DWORD written = 0;
  if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    throw ArchiveError("Cannot write \"" + path + "\": " + SystemMessage(GetLastError()));
}
