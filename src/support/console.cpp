#include "support/console.h"

#include <windows.h>

#include "support/text.h"

namespace {

// A GUI program gets no console of its own: borrow the parent's, once.
HANDLE StreamHandle(Stream stream) {
  DWORD which = stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
  HANDLE handle = GetStdHandle(which);
  if (handle && handle != INVALID_HANDLE_VALUE) return handle;
  static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS);
  if (!attached) return nullptr;
  // The console's own screen buffer, opened once for both streams and kept
  // for the life of the program.
  static const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

}  // namespace

void WriteToConsole(Stream stream, std::string_view text) {
  HANDLE handle = StreamHandle(stream);
  if (!handle || text.empty()) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(handle, &mode)) {
    std::wstring wide = Widen(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}
