#include "support/text_file.h"

#include <windows.h>

#include <cstdint>

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

std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes) {
  // Another program (Steam, say) may be rewriting the file: reading must not stop it.
  UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<uint64_t>(size.QuadPart) > maxBytes)
    return std::nullopt;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return std::nullopt;
  // A file that shrank meanwhile is taken as far as it still reaches.
  bytes.resize(read);
  return bytes;
}
