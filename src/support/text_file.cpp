#include "support/text_file.h"

#include <windows.h>

#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

void WriteBytes(const std::string& path, DWORD access, DWORD disposition, std::string_view utf8Text) {
  UniqueFile file(CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError();
  std::string bytes = ToAnsi(utf8Text);
  DWORD written = 0;
  if (!bytes.empty() && !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    ThrowLastError();
}

}  // namespace

void AppendAnsiText(const std::string& path, std::string_view utf8Text) {
  WriteBytes(path, FILE_APPEND_DATA, OPEN_ALWAYS, utf8Text);
}

void WriteAnsiText(const std::string& path, std::string_view utf8Text) {
  WriteBytes(path, GENERIC_WRITE, CREATE_ALWAYS, utf8Text);
}
