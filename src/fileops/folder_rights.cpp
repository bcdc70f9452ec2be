#include "fileops/folder_rights.h"

#include <aclapi.h>

#include <algorithm>

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

bool LetUsersModify(const std::string& folder) {
  std::wstring path = Widen(folder);
  ACL* current = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &current, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) ThrowWin32Error(error);
  std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
  if (UsersMayModify(current)) return false;
  UniqueAcl wider = WithUsersModifying(current);
  error = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, wider.get(),
                                nullptr);
  if (error != ERROR_SUCCESS) ThrowWin32Error(error);
  return true;
}

}  // namespace FileSystem
