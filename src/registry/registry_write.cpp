// Writing and deleting whole keys of the local registry, in the native view:
// the installation's entry in Apps & features.
#include <windows.h>

#include "registry/registry.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// A key path names the key itself, with or without its last backslash.
std::string KeyPart(const std::string& keyPath) {
  std::string path = keyPath.ends_with("\\") ? keyPath : keyPath + "\\";
  return RegistrySubKeyOf(path);
}

[[noreturn]] void ThrowForKey(LSTATUS status, const std::string& what, const std::string& keyPath) {
  throw RuntimeError(static_cast<int32_t>(status), what + " '" + keyPath + "': " + SystemMessage(status));
}

}  // namespace

void WriteRegistryValues(const std::string& keyPath, const std::vector<std::pair<std::string, RegistryValue>>& values) {
  HKEY created = nullptr;
  LSTATUS status = RegCreateKeyExW(RegistryRootHandle(RegistryRootOf(keyPath + "\\")), Widen(KeyPart(keyPath)).c_str(),
                                   0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) ThrowForKey(status, "Unable to create registry key", keyPath);
  UniqueKey key(created);
  for (const auto& [name, value] : values) {
    std::wstring wideName = Widen(name);
    if (const std::string* text = std::get_if<std::string>(&value)) {
      std::wstring wide = Widen(*text);
      status = RegSetValueExW(key.Get(), wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                              static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    } else {
      DWORD number = static_cast<DWORD>(std::get<int32_t>(value));
      status = RegSetValueExW(key.Get(), wideName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number);
    }
    if (status != ERROR_SUCCESS)
      ThrowForKey(status, "Unable to write the value '" + name + "' of registry key", keyPath);
  }
}

void DeleteRegistryKey(const std::string& keyPath) {
  HKEY root = RegistryRootHandle(RegistryRootOf(keyPath + "\\"));
  std::wstring subKey = Widen(KeyPart(keyPath));
  while (!subKey.empty() && subKey.back() == L'\\') subKey.pop_back();
  LSTATUS status = RegDeleteTreeW(root, subKey.c_str());
  if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(root, subKey.c_str(), 0, 0);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    ThrowForKey(status, "Unable to delete registry key", keyPath);
}

bool RegistryKeyExists(const std::string& keyPath) {
  HKEY opened = nullptr;
  std::wstring subKey = Widen(KeyPart(keyPath));
  if (RegOpenKeyExW(RegistryRootHandle(RegistryRootOf(keyPath + "\\")), subKey.c_str(), 0, KEY_READ, &opened) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}
