#include "support/runtime_error.h"

#include <new>
#include <system_error>

#include "support/text.h"

RuntimeError AsRuntimeError(const std::exception& error) {
  if (auto runtime = dynamic_cast<const RuntimeError*>(&error)) return *runtime;
  if (auto system = dynamic_cast<const std::system_error*>(&error))
    return RuntimeError(system->code().value(), system->code().message());
  if (dynamic_cast<const std::bad_alloc*>(&error)) return RuntimeError(7, "Out of memory");
  return RuntimeError(5, error.what());
}

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "Error " + std::to_string(code);
  return Narrow(text);
}

void ThrowWin32Error(DWORD code) { throw RuntimeError(static_cast<int32_t>(code), SystemMessage(code)); }

void ThrowLastError() { ThrowWin32Error(GetLastError()); }

void ThrowInvalidArgument() { throw RuntimeError(5, "Invalid procedure call or argument"); }
