// Writes and deletes whole keys of the local registry, in the native view: the
// keys this 64-bit program makes for itself are found there by the system.
#include <string>
#include <utility>
#include <vector>

#include "registry/registry.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

struct LocalKey {
  HKEY root;
  std::wstring subKey;
};

// What could not be done to the key (text names it), then the system's reason.
[[noreturn]] void ThrowForKey(LSTATUS status, const Message& text) {
  throw RuntimeError(static_cast<int32_t>(status),
                     Message::Pattern("%1: %2", {text, Message::SystemError(static_cast<uint32_t>(status))}));
}

// The path names a key, with or without its trailing "\". A root alone is
// refused: its values are not ours to set, and deleting its tree would take
// every key below it.
LocalKey LocalKeyOf(const std::string& keyPath) {
  std::string path = keyPath.ends_with('\\') ? keyPath : keyPath + '\\';
  if (!RegistryComputerOf(path).empty()) ThrowForKey(ERROR_NOT_SUPPORTED, Message(IDS_REGISTRY_NOT_LOCAL, {keyPath}));
  std::wstring subKey = Widen(RegistrySubKeyOf(path));
  while (!subKey.empty() && subKey.back() == L'\\') subKey.pop_back();
  if (subKey.empty()) ThrowForKey(ERROR_INVALID_PARAMETER, Message(IDS_REGISTRY_NOT_BELOW_ROOT, {keyPath}));
  return {RegistryRootHandle(RegistryRootOf(path)), subKey};
}

// REG_SZ is stored with its terminating zero, as readers expect.
LSTATUS SetValue(HKEY key, const std::string& name, const RegistryValue& value) {
  std::wstring wideName = Widen(name);
  if (const int32_t* number = std::get_if<int32_t>(&value)) {
    DWORD data = static_cast<DWORD>(*number);
    return RegSetValueExW(key, wideName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  }
  std::wstring text = Widen(std::get<std::string>(value));
  return RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void WriteRegistryValues(const std::string& keyPath, const std::vector<std::pair<std::string, RegistryValue>>& values) {
  LocalKey where = LocalKeyOf(keyPath);
  HKEY created = nullptr;
  LSTATUS status = RegCreateKeyExW(where.root, where.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) ThrowForKey(status, Message(IDS_REGISTRY_CREATE_KEY, {keyPath}));
  UniqueKey key(created);
  for (const auto& [name, value] : values) {
    status = SetValue(key.Get(), name, value);
    if (status != ERROR_SUCCESS) ThrowForKey(status, Message(IDS_REGISTRY_WRITE_VALUE, {name, keyPath}));
  }
}

// RegDeleteTreeW takes no view, so the key is opened in the native view
// first; it empties the key, and the key itself goes last.
void DeleteRegistryKey(const std::string& keyPath) {
  LocalKey where = LocalKeyOf(keyPath);
  HKEY opened = nullptr;
  LSTATUS status =
      RegOpenKeyExW(where.root, where.subKey.c_str(), 0,
                    DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &opened);
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status != ERROR_SUCCESS) ThrowForKey(status, Message(IDS_REGISTRY_OPEN_KEY, {keyPath}));
  UniqueKey key(opened);
  status = RegDeleteTreeW(key.Get(), nullptr);
  if (status != ERROR_SUCCESS) ThrowForKey(status, Message(IDS_REGISTRY_DELETE_CONTENTS, {keyPath}));
  key.Reset();
  status = RegDeleteKeyExW(where.root, where.subKey.c_str(), KEY_WOW64_64KEY, 0);
  // Another program may have deleted it meanwhile: gone is what was asked for.
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    ThrowForKey(status, Message(IDS_REGISTRY_DELETE_KEY, {keyPath}));
}

// A key we may not read exists all the same.
bool RegistryKeyExists(const std::string& keyPath) {
  LocalKey where = LocalKeyOf(keyPath);
  HKEY opened = nullptr;
  LSTATUS status = RegOpenKeyExW(where.root, where.subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
  UniqueKey key(opened);
  if (status == ERROR_FILE_NOT_FOUND) return false;
  if (status == ERROR_SUCCESS || status == ERROR_ACCESS_DENIED) return true;
  ThrowForKey(status, Message(IDS_REGISTRY_OPEN_KEY, {keyPath}));
}
