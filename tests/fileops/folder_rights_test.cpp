#include "fileops/folder_rights.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "support/text.h"

namespace {

// An access list written as the security descriptor language writes one.
struct Descriptor {
  explicit Descriptor(const wchar_t* sddl) {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
  }
  ~Descriptor() { LocalFree(descriptor); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ACL* acl = nullptr;
};

// The one entry added, when there is one: allowed, for Users, Modify, and
// inherited by every folder and file below.
void ExpectOneUsersModifyEntryMore(const ACL* before, const ACL* after) {
  ASSERT_EQ(after->AceCount, before->AceCount + 1u);
  bool found = false;
  for (DWORD index = 0; index < after->AceCount; ++index) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(const_cast<ACL*>(after), index, &entry));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !IsWellKnownSid(&allowed->SidStart, WinBuiltinUsersSid))
      continue;
    found |= (allowed->Mask & FileSystem::kModifyRights) == FileSystem::kModifyRights &&
             (allowed->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
                 (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  }
  EXPECT_TRUE(found);
}

TEST(FolderRightsTest, UsersGetOneInheritableModifyEntryOnlyWhereTheyCannotModify) {
  struct Case {
    const wchar_t* sddl;
    bool usersMayModify;
    bool deniedStill = false;  // a denial somebody made on purpose outweighs the entry
  };
  const Case cases[] = {
      {L"D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", false},              // Program Files: administrators only
      {L"D:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},        // Users may read and run
      {L"D:(A;OICI;0x1301bf;;;BU)", true},                         // Users may modify
      {L"D:(A;OICI;FA;;;WD)", true},                               // everyone may do all
      {L"D:(A;OICI;GA;;;AU)", true},                               // every signed-in user, generically
      {L"D:(D;OICI;FW;;;BU)(A;OICI;FA;;;BU)", false, true},        // a denial of writing holds
      {L"D:(A;OICIIO;0x1301bf;;;BU)(A;;0x1200a9;;;BU)", false},    // inherited by what is below only
      {L"D:AI(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)", false},  // all inherited from the parent
      {L"D:(A;;0x1301bf;;;BU)", false},                            // this folder only
      {L"D:(A;CI;0x1301bf;;;BU)", false},                          // the folders below, not their files
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.sddl));
    Descriptor descriptor(c.sddl);
    ASSERT_TRUE(descriptor.acl);
    EXPECT_EQ(FileSystem::UsersMayModify(descriptor.acl), c.usersMayModify);
    if (c.usersMayModify) continue;
    FileSystem::UniqueAcl wider = FileSystem::WithUsersModifying(descriptor.acl);
    ExpectOneUsersModifyEntryMore(descriptor.acl, wider.get());
    // After the folder's own entries, before those it inherits: the order Windows keeps.
    bool inheritedSeen = false;
    for (DWORD index = 0; index < wider->AceCount; ++index) {
      void* entry = nullptr;
      ASSERT_TRUE(GetAce(wider.get(), index, &entry));
      bool inherited = (static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE) != 0;
      EXPECT_FALSE(inheritedSeen && !inherited) << "an own entry after an inherited one, at " << index;
      inheritedSeen |= inherited;
    }
    EXPECT_EQ(FileSystem::UsersMayModify(wider.get()), !c.deniedStill);
    // Taken off while a run works, the list is as it was: only that entry goes.
    FileSystem::UniqueAcl narrower = FileSystem::WithoutUsersModifying(wider.get());
    ASSERT_EQ(narrower->AceCount, descriptor.acl->AceCount);
    for (DWORD index = 0; index < narrower->AceCount; ++index) {
      void *was = nullptr, *is = nullptr;
      ASSERT_TRUE(GetAce(descriptor.acl, index, &was) && GetAce(narrower.get(), index, &is));
      EXPECT_EQ(std::memcmp(was, is, static_cast<ACE_HEADER*>(was)->AceSize), 0) << index;
    }
  }
}

// The uninstaller and the record: the system and administrators do all,
// users read and run, and no one else is named.
TEST(FolderRightsTest, WhatAnElevatedRunBelievesUsersMayOnlyReadAndRun) {
  FileSystem::UniqueAcl acl = FileSystem::ProtectedFromUsers();
  ASSERT_EQ(acl->AceCount, 3u);
  EXPECT_FALSE(FileSystem::UsersMayModify(acl.get()));
  const struct {
    WELL_KNOWN_SID_TYPE who;
    DWORD mask;
  } expected[] = {{WinLocalSystemSid, FILE_ALL_ACCESS},
                  {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
                  {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
  for (DWORD index = 0; index < acl->AceCount; ++index) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(acl.get(), index, &entry));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << index;
    EXPECT_TRUE(IsWellKnownSid(&allowed->SidStart, expected[index].who)) << index;
    EXPECT_EQ(allowed->Mask, expected[index].mask) << index;
    EXPECT_EQ(
        allowed->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER),
        index == 2 ? 0u : static_cast<DWORD>(FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER))
        << index;
  }
}

}  // namespace
