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

// The file's first bytes, as many as it has up to count.
std::string ReadHead(HANDLE file, DWORD count) {
  std::string head(count, '\0');
  DWORD read = 0;
  if (!::ReadFile(file, head.data(), count, &read, nullptr)) ThrowLastError();
  head.resize(read);
  return head;
}

// The bytes to append, in the form the file already has.
std::string LogBytes(std::string_view head, std::string_view utf8Text) {
  if (head.empty()) return std::string(kUtf8ByteOrderMark).append(utf8Text);
  if (head == kUtf8ByteOrderMark) return std::string(utf8Text);
  // A log without the mark was written in the ANSI code page (by an earlier
  // version of the installer): it stays in that form to its end, with '?' for
  // a character the code page lacks, since a file half in one encoding and
  // half in another reads wrong in either.
  return ToAnsi(utf8Text);
}

}  // namespace

void AppendLogText(const std::string& path, std::string_view utf8Text) {
  // Append-only access writes at the end whatever the reading moved.
  UniqueFile file = OpenForWriting(path, GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
  if (!file) ThrowLastError();
  std::string head = ReadHead(file.Get(), static_cast<DWORD>(kUtf8ByteOrderMark.size()));
  WriteAll(file.Get(), LogBytes(head, utf8Text));
}

void WriteAnsiText(const std::string& path, std::string_view utf8Text) {
  std::optional<std::string> bytes = ToCodePageExactly(utf8Text, CP_ACP);
  if (!bytes)
    throw RuntimeError(static_cast<int32_t>(ERROR_NO_UNICODE_TRANSLATION),
                       Message(IDS_NOT_IN_CODE_PAGE, {path, std::string(utf8Text)}));
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
