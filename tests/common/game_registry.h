#pragma once
// The game's folder as its own setup registers it.
#include <windows.h>

#include <string>

#include "support/text.h"

// Written where the game's 32-bit installer writes it; "" removes the value.
inline void SetGamePath(const std::string& path) {
  HKEY key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\BugBear\\FlatOut", 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                  nullptr, &key, nullptr);
  std::wstring value = Widen(path);
  if (path.empty())
    RegDeleteValueW(key, L"Path");
  else
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}
