#include "support/text_file.h"

#include <windows.h>

#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

UniqueFile OpenForWriting(const std::string& path, DWORD access, DWORD disposition) {
  return UniqueFile(
      CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteAll(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  if (!bytes.empty() && !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    ThrowLastError();
}

void WriteBytes(const std::string& path, DWORD access, DWORD disposition, std::string_view bytes) {
  UniqueFile file = OpenForWriting(path, access, disposition);
  if (!file) ThrowLastError();
  WriteAll(file.Get(), bytes);
}

}  // namespace

void AppendAnsiText(const std::string& path, std::string_view utf8Text) {
  WriteBytes(path, FILE_APPEND_DATA, OPEN_ALWAYS, ToAnsi(utf8Text));
}

void WriteAnsiText(const std::string& path, std::string_view utf8Text) {
  std::optional<std::string> bytes = ToCodePageExactly(utf8Text, CP_ACP);
  if (!bytes)
    throw RuntimeError(static_cast<int32_t>(ERROR_NO_UNICODE_TRANSLATION),
                       "\"" + path + "\" cannot be written: the system's code page lacks a character of \"" +
                           std::string(utf8Text) + "\".");
  WriteBytes(path, GENERIC_WRITE, CREATE_ALWAYS, *bytes);
}

bool CreateNewFile(const std::string& path, std::string_view bytes) {
  UniqueFile file = OpenForWriting(path, GENERIC_WRITE, CREATE_NEW);
  if (!file) {
    if (GetLastError() == ERROR_FILE_EXISTS) return false;
    ThrowLastError();
  }
  WriteAll(file.Get(), bytes);
  return true;
}
