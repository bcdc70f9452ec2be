#include "install/uninstall_entry.h"

#include <windows.h>

#include <cstdio>
#include <optional>

#include "fileops/folder_identity.h"
#include "install/installation_record.h"
#include "registry/registry.h"
#include "support/path_helpers.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char date[9];
  std::snprintf(date, sizeof date, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return date;
}

}  // namespace

// Named after the folder's final path, which the folder keeps when it is
// emptied and made again: a re-run finds its own key under any name typed.
std::string UninstallKeyFor(const std::string& folder) {
  std::string final = FileSystem::FinalPathOf(folder);
  std::string name = ToUpper(final.empty() ? folder : final);
  while (name.size() > 3 && name.back() == '\\') name.pop_back();
  return "ZEM7Mod-" + Fnv1aHex(name);
}

void RegisterUninstallEntry(const std::string& folder, const std::string& key, uint64_t bytes) {
  std::string location = folder.size() > 3 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
  std::string uninstaller = Quoted(folder + kUninstallerName) + " /UNINSTALL";
  WriteRegistryValues(kUninstallKeys + key, {
                                                {"DisplayName", "FlatOut ZEM7 Mod (" + location + ")"},
                                                {"DisplayIcon", folder + "FlatOut.exe"},
                                                {"DisplayVersion", "7"},
                                                {"Publisher", "Torvale"},
                                                {"InstallLocation", location},
                                                {"InstallDate", Today()},
                                                {"EstimatedSize", static_cast<int32_t>((bytes + 1023) / 1024)},
                                                {"UninstallString", uninstaller},
                                                {"QuietUninstallString", uninstaller + " /VERYSILENT"},
                                                {"NoModify", int32_t{1}},
                                                {"NoRepair", int32_t{1}},
                                            });
}

void RemoveUninstallEntry(const std::string& key) { DeleteRegistryKey(kUninstallKeys + key); }

namespace {

// The InstallLocation of key, one of this installer's entries; "" for one it did not write.
std::string LocationOf(const std::string& key) {
  if (!RegistryKeyExists(kUninstallKeys + key)) return {};
  try {
    return ReadRegistryString(kUninstallKeys + key + "\\InstallLocation");
  } catch (const RuntimeError&) {
    return {};
  }
}

bool NamesFolder(const std::string& location, const std::string& folder) {
  std::optional<FileSystem::FolderId> here = FileSystem::IdentityOf(folder);
  std::optional<FileSystem::FolderId> named = FileSystem::IdentityOf(location);
  return here && named ? *here == *named : EqualsIgnoreCase(FormatPath(location), FormatPath(folder));
}

}  // namespace

bool RemoveUninstallEntryOf(const std::string& folder) {
  std::string key = UninstallKeyFor(folder);
  std::string location = LocationOf(key);
  if (location.empty() || !NamesFolder(location, folder)) return false;
  RemoveUninstallEntry(key);
  return true;
}

bool RemoveRecordedEntry(const std::string& key, const std::string& folder) {
  // Only a name this installer gives: a record cannot lead the removal to another product's entry.
  if (!key.starts_with("ZEM7Mod-") || key.find('\\') != std::string::npos) return false;
  std::string location = LocationOf(key);
  if (location.empty() || (FileSystem::FolderExists(location) && !NamesFolder(location, folder))) return false;
  RemoveUninstallEntry(key);
  return true;
}
