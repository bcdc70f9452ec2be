#pragma once
// Reads single values from the local or a remote registry, and writes and
// deletes whole keys of the local one, named by one path:
//
//   [\\COMPUTER\]ROOT\[SUB\KEY\]VALUE NAME
//
// ROOT is an abbreviation (HKLM) or a full name (HKEY_LOCAL_MACHINE) in any
// letter case; an empty VALUE NAME (path ending in "\") is the key's default
// value. For the functions that write, delete or look for a key, the path names
// the key, with or without the trailing "\". Errors are RuntimeErrors; the
// message always quotes the whole path.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "support/handles.h"

// The numbers callers and reports see for registry failures.
constexpr int32_t kErrInvalidRegistryRoot = static_cast<int32_t>(0x80040001u);
constexpr int32_t kErrOpenRegistryKey = static_cast<int32_t>(0x80040002u);
constexpr int32_t kErrConnectRemoteRegistry = static_cast<int32_t>(0x80040003u);
constexpr int32_t kErrOpenRemoteRegistryKey = static_cast<int32_t>(0x80040004u);
constexpr int32_t kErrReadRegistryValue = static_cast<int32_t>(0x80040006u);
constexpr int32_t kErrUnsupportedRegistryType = static_cast<int32_t>(0x80040007u);
constexpr int32_t kErrListRegistrySubKeys = static_cast<int32_t>(0x80040008u);

// The part numbers ParseRegistryPath understands.
enum RegistryPathPart : int {
  kRegistryRoot = 1,       // int32_t: the predefined root handle, e.g. 0x80000002 for HKLM
  kRegistrySubKey = 2,     // text after the root's "\" up to and including the last "\"
  kRegistryValueName = 3,  // text after the last "\"
  kRegistryComputer = 4,   // name between "\\" and the next "\", empty for the local machine
};

using RegistryPathItem = std::variant<int32_t, std::string>;
using RegistryValue = std::variant<std::string, int32_t>;

// One part of the path; an unknown part number raises error 5.
RegistryPathItem ParseRegistryPath(const std::string& path, int part);
// The same parts, typed.
int32_t RegistryRootOf(const std::string& path);
std::string RegistrySubKeyOf(const std::string& path);
std::string RegistryValueNameOf(const std::string& path);
std::string RegistryComputerOf(const std::string& path);

// The handle for a root number as the API expects it on this platform.
HKEY RegistryRootHandle(int32_t root);

// Opens the key part of the path (the value name is ignored).
UniqueKey OpenRegistryKey(const std::string& path, REGSAM accessMask);
// Closes the key now rather than when its owner goes out of scope.
void CloseRegistryKey(UniqueKey& key);

// Text values (REG_SZ, REG_EXPAND_SZ unexpanded) come back as text, numbers
// (REG_DWORD, REG_BINARY) as a 32-bit integer.
RegistryValue ReadRegistryValue(const std::string& path);
// The value as text; an integer becomes its decimal digits.
std::string ReadRegistryString(const std::string& path);
// The names of the subkeys of the key part of the path. A local key's come
// from the 32-bit view first, then those only the native view has; reading a
// value below one of them finds it by the same rule.
std::vector<std::string> ReadRegistrySubKeyNames(const std::string& path);

// Creates the key (and the keys above it that are missing) in the native view
// and sets each value: text as REG_SZ, a number as REG_DWORD. Errors carry the
// system's error number.
void WriteRegistryValues(const std::string& keyPath, const std::vector<std::pair<std::string, RegistryValue>>& values);
// Deletes the key with all its subkeys and values in the native view; a key
// that is not there is no error.
void DeleteRegistryKey(const std::string& keyPath);
bool RegistryKeyExists(const std::string& keyPath);
