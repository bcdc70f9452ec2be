#include "support/runtime_error.h"

#include "support/text.h"

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "Error " + std::to_string(code);
  return Narrow(text);
}

void ThrowWin32Error(DWORD code) { throw RuntimeError(static_cast<int32_t>(code), SystemMessage(code)); }

void ThrowLastError() { ThrowWin32Error(GetLastError()); }

void ThrowInvalidArgument() { throw RuntimeError(5, "Invalid procedure call or argument"); }
