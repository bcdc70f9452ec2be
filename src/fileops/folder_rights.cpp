#include "fileops/folder_rights.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>

#include "support/runtime_error.h"
#include "support/text.h"

namespace FileSystem {

namespace {

// Users, and the groups every user is a member of.
constexpr WELL_KNOWN_SID_TYPE kUsersAndWider[] = {WinBuiltinUsersSid, WinAuthenticatedUserSid, WinWorldSid};

bool IsUsersOrWider(PSID sid) {
  for (WELL_KNOWN_SID_TYPE type : kUsersAndWider)
    if (IsWellKnownSid(sid, type)) return true;
  return false;
}

struct UsersSid {
  UsersSid() {
    DWORD size = sizeof bytes;
    if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, bytes, &size)) ThrowLastError();
  }
  PSID Get() { return bytes; }
  BYTE bytes[SECURITY_MAX_SID_SIZE];
};

}  // namespace

bool UsersMayModify(const ACL* acl) {
  if (!acl) return true;  // no list at all guards nothing
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  DWORD allowed = 0, denied = 0;
  for (DWORD index = 0; index < acl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(acl), index, &entry)) continue;
    auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    // Both kinds keep the mask and the SID at the same place.
    auto* allowedAce = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (!IsUsersOrWider(&allowedAce->SidStart)) continue;
    DWORD mask = allowedAce->Mask;
    MapGenericMask(&mask, &mapping);
    // An allowance counts only where it reaches the folder, its subfolders and their files alike.
    bool reachesAll = (header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
                      (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE && reachesAll) allowed |= mask;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) denied |= mask;
  }
  return ((allowed & ~denied) & kModifyRights) == kModifyRights;
}

// The entry goes after the folder's own entries and before those it
// inherits, the order Windows keeps; the others stay as they are.
UniqueAcl WithUsersModifying(const ACL* acl) {
  UsersSid users;
  ACL_SIZE_INFORMATION used{};
  if (acl && !GetAclInformation(const_cast<ACL*>(acl), &used, sizeof used, AclSizeInformation)) ThrowLastError();
  DWORD size = (acl ? used.AclBytesInUse : sizeof(ACL)) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(users.Get());
  DWORD revision = acl ? std::max<DWORD>(acl->AclRevision, ACL_REVISION) : ACL_REVISION;
  UniqueAcl wider(static_cast<ACL*>(LocalAlloc(LPTR, size)));
  if (!wider || !InitializeAcl(wider.get(), size, revision)) ThrowLastError();
  auto copy = [&](bool inherited) {
    for (DWORD index = 0; acl && index < acl->AceCount; ++index) {
      void* entry = nullptr;
      if (!GetAce(const_cast<ACL*>(acl), index, &entry)) ThrowLastError();
      auto* header = static_cast<ACE_HEADER*>(entry);
      if (((header->AceFlags & INHERITED_ACE) != 0) != inherited) continue;
      if (!AddAce(wider.get(), revision, MAXDWORD, entry, header->AceSize)) ThrowLastError();
    }
  };
  copy(false);
  if (!AddAccessAllowedAceEx(wider.get(), revision, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, kModifyRights,
                             users.Get()))
    ThrowLastError();
  copy(true);
  return wider;
}

namespace {

// The folder's own access list, with the descriptor that holds it.
struct FolderAcl {
  explicit FolderAcl(const std::wstring& path) {
    PSECURITY_DESCRIPTOR held = nullptr;
    DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                                        nullptr, &held);
    if (error != ERROR_SUCCESS) ThrowWin32Error(error);
    descriptor.reset(held);
  }
  ACL* acl = nullptr;
  std::unique_ptr<void, LocalFreeDeleter> descriptor;
};

void SetAcl(std::wstring path, ACL* acl, SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION) {
  DWORD error = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr);
  if (error != ERROR_SUCCESS) ThrowWin32Error(error);
}

bool IsOurUsersModifyEntry(const ACE_HEADER* header) {
  if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || header->AceFlags != (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE))
    return false;
  auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
  return allowed->Mask == kModifyRights && IsWellKnownSid(const_cast<DWORD*>(&allowed->SidStart), WinBuiltinUsersSid);
}

}  // namespace

bool LetUsersModify(const std::string& folder) {
  FolderAcl current(Widen(folder));
  if (UsersMayModify(current.acl)) return false;
  UniqueAcl wider = WithUsersModifying(current.acl);
  SetAcl(Widen(folder), wider.get());
  return true;
}

UniqueAcl WithoutUsersModifying(const ACL* acl) {
  ACL_SIZE_INFORMATION used{};
  if (acl && !GetAclInformation(const_cast<ACL*>(acl), &used, sizeof used, AclSizeInformation)) ThrowLastError();
  DWORD size = acl ? used.AclBytesInUse : sizeof(ACL);
  DWORD revision = acl ? acl->AclRevision : ACL_REVISION;
  UniqueAcl narrower(static_cast<ACL*>(LocalAlloc(LPTR, size)));
  if (!narrower || !InitializeAcl(narrower.get(), size, revision)) ThrowLastError();
  for (DWORD index = 0; acl && index < acl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(acl), index, &entry)) ThrowLastError();
    auto* header = static_cast<ACE_HEADER*>(entry);
    if (IsOurUsersModifyEntry(header)) continue;
    if (!AddAce(narrower.get(), revision, MAXDWORD, entry, header->AceSize)) ThrowLastError();
  }
  return narrower;
}

UniqueAcl ProtectedFromUsers() {
  PSECURITY_DESCRIPTOR made = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)",
                                                            SDDL_REVISION_1, &made, nullptr))
    ThrowLastError();
  std::unique_ptr<void, LocalFreeDeleter> descriptor(made);
  BOOL present = FALSE, defaulted = FALSE;
  ACL* acl = nullptr;
  if (!GetSecurityDescriptorDacl(made, &present, &acl, &defaulted) || !acl) ThrowLastError();
  ACL_SIZE_INFORMATION used{};
  if (!GetAclInformation(acl, &used, sizeof used, AclSizeInformation)) ThrowLastError();
  UniqueAcl copy(static_cast<ACL*>(LocalAlloc(LPTR, used.AclBytesInUse)));
  if (!copy) ThrowLastError();
  std::memcpy(copy.get(), acl, used.AclBytesInUse);
  copy->AclSize = static_cast<WORD>(used.AclBytesInUse);
  return copy;
}

namespace {

// FAT, exFAT and some shares keep no access lists: there every user may
// write every file, and nothing can be protected.
bool KeepsAccessLists(const std::wstring& path) {
  wchar_t root[MAX_PATH + 1] = {};
  DWORD flags = 0;
  if (!GetVolumePathNameW(path.c_str(), root, MAX_PATH) ||
      !GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
    return true;
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

void ProtectFromUsers(const std::string& file) {
  if (!KeepsAccessLists(Widen(file))) return;
  UniqueAcl acl = ProtectedFromUsers();
  SetAcl(Widen(file), acl.get(), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION);
}

bool StopUsersModifying(const std::string& folder) {
  FolderAcl current(Widen(folder));
  // No list at all (a file system without rights, or Wine's) holds no entry to take off.
  if (!current.acl) return false;
  UniqueAcl narrower = WithoutUsersModifying(current.acl);
  if (narrower->AceCount == current.acl->AceCount) return false;
  SetAcl(Widen(folder), narrower.get());
  return true;
}

}  // namespace FileSystem
