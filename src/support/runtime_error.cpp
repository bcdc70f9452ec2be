#include "support/runtime_error.h"

#include <new>
#include <system_error>

#include "support/text.h"

RuntimeError AsRuntimeError(const std::exception& error) {
  if (auto runtime = dynamic_cast<const RuntimeError*>(&error)) return *runtime;
  if (auto system = dynamic_cast<const std::system_error*>(&error))
    return RuntimeError(system->code().value(), system->code().message());
  if (dynamic_cast<const std::bad_alloc*>(&error)) return RuntimeError(7, IDS_OUT_OF_MEMORY);
  return RuntimeError(5, error.what());
}

namespace {

// "" where the system has no text for the code in that language.
std::wstring FormattedSystemText(DWORD code, LANGID language) {
  wchar_t* buffer = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace

std::string SystemMessage(DWORD code, Language language) {
  // A Windows without that language's messages has its default ones.
  LANGID wanted = language == Language::English ? 0 : InfoOf(language).id;
  std::wstring text = FormattedSystemText(code, wanted);
  if (text.empty() && wanted != 0) text = FormattedSystemText(code, 0);
  if (text.empty()) return TextIn(language, IDS_UNKNOWN_SYSTEM_ERROR, {std::to_string(code)});
  return Narrow(text);
}

void ThrowWin32Error(DWORD code) { throw RuntimeError(static_cast<int32_t>(code), Message::SystemError(code)); }

void ThrowLastError() { ThrowWin32Error(GetLastError()); }

void ThrowInvalidArgument() { throw RuntimeError(5, IDS_INVALID_ARGUMENT); }
