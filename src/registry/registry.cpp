#include "registry/registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

constexpr char kSeparator = '\\';
constexpr const char* kRemotePrefix = "\\\\";

struct RootName {
  const char* abbreviation;
  const char* fullName;
  uint32_t handle;
};

// "HKU" is deliberately absent: only these spellings name a root.
constexpr RootName kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", 0x80000000u},     {"HKCU", "HKEY_CURRENT_USER", 0x80000001u},
    {"HKLM", "HKEY_LOCAL_MACHINE", 0x80000002u},    {"HKUS", "HKEY_USERS", 0x80000003u},
    {"HKPD", "HKEY_PERFORMANCE_DATA", 0x80000004u}, {"HKCC", "HKEY_CURRENT_CONFIG", 0x80000005u},
    {"HKDD", "HKEY_DYN_DATA", 0x80000006u},
};

// text names the path as its %1.
[[noreturn]] void ThrowForPath(int32_t number, TextId text, const std::string& path) {
  throw RuntimeError(number, Message(text, {path}));
}

// Where the root begins: after "\\COMPUTER\", or at the start for a local path.
size_t RootStart(const std::string& path) {
  if (!path.starts_with(kRemotePrefix)) return 0;
  size_t end = path.find(kSeparator, 2);
  // "\\SERVER" alone or "\\\..." leave no computer name to connect to.
  if (end == std::string::npos || end == 2) ThrowInvalidArgument();
  return end + 1;
}

// The "\" that ends the root; a path without one cannot be split.
size_t RootEnd(const std::string& path) {
  size_t end = path.find(kSeparator, RootStart(path));
  if (end == std::string::npos) ThrowInvalidArgument();
  return end;
}

// A trailing "\" belongs to the path grammar, not to the key's name.
std::wstring KeyNameForApi(const std::string& subKey) {
  std::wstring name = Widen(subKey);
  if (!name.empty() && name.back() == L'\\') name.pop_back();
  return name;
}

// The game's installer was 32-bit, so its key sits where only the 32-bit view
// finds it from this 64-bit program; keys that exist only in the native view
// (the all-users shell folders, for one) are found by the second attempt.
UniqueKey OpenLocalKey(HKEY root, const std::wstring& subKey, REGSAM access, const std::string& path) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(root, subKey.c_str(), 0, access | KEY_WOW64_32KEY, &key);
  if (status == ERROR_FILE_NOT_FOUND) status = RegOpenKeyExW(root, subKey.c_str(), 0, access, &key);
  if (status != ERROR_SUCCESS) ThrowForPath(kErrOpenRegistryKey, IDS_REGISTRY_OPEN_KEY, path);
  return UniqueKey(key);
}

UniqueKey OpenRemoteKey(const std::string& computer, HKEY root, const std::wstring& subKey, REGSAM access,
                        const std::string& path) {
  HKEY connected = nullptr;
  if (RegConnectRegistryW(Widen(computer).c_str(), root, &connected) != ERROR_SUCCESS)
    throw RuntimeError(kErrConnectRemoteRegistry, Message(IDS_REGISTRY_CONNECT, {computer}));
  // Owning the connection closes it once the key is open, and on failure too.
  UniqueKey connection(connected);
  HKEY key = nullptr;
  if (RegOpenKeyExW(connection.Get(), subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
    ThrowForPath(kErrOpenRemoteRegistryKey, IDS_REGISTRY_OPEN_REMOTE_KEY, path);
  return UniqueKey(key);
}

// The value's bytes and type. Another program may grow the value between the
// size query and the read; the read then reports the new size and we try again.
std::vector<BYTE> QueryValueData(HKEY key, const std::wstring& name, DWORD& type, const std::string& path) {
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    ThrowForPath(kErrReadRegistryValue, IDS_REGISTRY_READ_VALUE, path);
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::vector<BYTE> data(size);
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_SUCCESS) {
      data.resize(std::min<size_t>(size, data.size()));
      return data;
    }
    if (status != ERROR_MORE_DATA) break;
  }
  ThrowForPath(kErrReadRegistryValue, IDS_REGISTRY_READ_VALUE, path);
}

// Stored text may or may not carry its terminating zero; the text ends at the first one.
std::string TextFromData(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  text.resize(std::min(text.size(), text.find(L'\0')));
  return Narrow(text);
}

// Little-endian, from at most the first four bytes: a shorter value fills the
// low-order bytes. A longer binary value still yields its first four bytes
// rather than an error, because its low-order part comes first and a number
// stored wider than 32 bits therefore reads the same when it fits; nothing
// past those four bytes is ever looked at.
int32_t IntegerFromData(const std::vector<BYTE>& data) {
  uint32_t value = 0;
  size_t used = std::min<size_t>(data.size(), sizeof(value));
  for (size_t i = 0; i < used; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
  return static_cast<int32_t>(value);
}

// A registry key's name holds at most 255 characters.
constexpr DWORD kMaxKeyNameLength = 256;

// Adds the key's subkey names that names lacks yet; the registry ignores letter case.
void AddSubKeyNames(HKEY key, std::vector<std::string>& names, const std::string& path) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kMaxKeyNameLength];
    DWORD length = kMaxKeyNameLength;
    LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return;
    if (status != ERROR_SUCCESS) ThrowForPath(kErrListRegistrySubKeys, IDS_REGISTRY_LIST_SUBKEYS, path);
    std::string found = Narrow(std::wstring_view(name, length));
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& known) { return EqualsIgnoreCase(known, found); }))
      names.push_back(found);
  }
}

}  // namespace

int32_t RegistryRootOf(const std::string& path) {
  size_t start = RootStart(path);
  std::string name = ToUpper(path.substr(start, RootEnd(path) - start));
  for (const RootName& root : kRoots) {
    if (name == root.abbreviation || name == root.fullName) return static_cast<int32_t>(root.handle);
  }
  ThrowForPath(kErrInvalidRegistryRoot, IDS_REGISTRY_INVALID_ROOT, path);
}

std::string RegistrySubKeyOf(const std::string& path) {
  size_t rootEnd = RootEnd(path);
  size_t last = path.rfind(kSeparator);
  return path.substr(rootEnd + 1, last - rootEnd);
}

std::string RegistryValueNameOf(const std::string& path) {
  size_t last = path.rfind(kSeparator);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string RegistryComputerOf(const std::string& path) {
  if (!path.starts_with(kRemotePrefix)) return {};
  return path.substr(2, RootStart(path) - 3);
}

RegistryPathItem ParseRegistryPath(const std::string& path, int part) {
  switch (part) {
    case kRegistryRoot: return RegistryRootOf(path);
    case kRegistrySubKey: return RegistrySubKeyOf(path);
    case kRegistryValueName: return RegistryValueNameOf(path);
    case kRegistryComputer: return RegistryComputerOf(path);
    default: ThrowInvalidArgument();
  }
}

// The predefined handles are negative 32-bit numbers; a 64-bit HKEY must carry
// them sign-extended (HKLM is 0xFFFFFFFF80000002), or the API rejects them.
HKEY RegistryRootHandle(int32_t root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root)); }

UniqueKey OpenRegistryKey(const std::string& path, REGSAM accessMask) {
  std::string computer = RegistryComputerOf(path);
  HKEY root = RegistryRootHandle(RegistryRootOf(path));
  std::wstring subKey = KeyNameForApi(RegistrySubKeyOf(path));
  if (computer.empty()) return OpenLocalKey(root, subKey, accessMask, path);
  return OpenRemoteKey(computer, root, subKey, accessMask, path);
}

void CloseRegistryKey(UniqueKey& key) { key.Reset(); }

RegistryValue ReadRegistryValue(const std::string& path) {
  UniqueKey key = OpenRegistryKey(path, KEY_QUERY_VALUE);
  DWORD type = REG_NONE;
  std::vector<BYTE> data = QueryValueData(key.Get(), Widen(RegistryValueNameOf(path)), type, path);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:  // kept as stored: the caller decides whether to expand
      return TextFromData(data);
    case REG_DWORD:
    case REG_BINARY: return IntegerFromData(data);
    default: ThrowForPath(kErrUnsupportedRegistryType, IDS_REGISTRY_UNSUPPORTED_TYPE, path);
  }
}

std::string ReadRegistryString(const std::string& path) {
  RegistryValue value = ReadRegistryValue(path);
  if (const int32_t* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
  return std::get<std::string>(value);
}

// Some programs write their keys in the 32-bit view and others in the native
// one; a list from one view alone would miss the other's.
std::vector<std::string> ReadRegistrySubKeyNames(const std::string& path) {
  std::vector<std::string> names;
  if (!RegistryComputerOf(path).empty()) {
    AddSubKeyNames(OpenRegistryKey(path, KEY_ENUMERATE_SUB_KEYS).Get(), names, path);
    return names;
  }
  HKEY root = RegistryRootHandle(RegistryRootOf(path));
  std::wstring subKey = KeyNameForApi(RegistrySubKeyOf(path));
  bool opened = false;
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view, &key) != ERROR_SUCCESS) continue;
    UniqueKey owner(key);
    opened = true;
    AddSubKeyNames(key, names, path);
  }
  if (!opened) ThrowForPath(kErrOpenRegistryKey, IDS_REGISTRY_OPEN_KEY, path);
  return names;
}
