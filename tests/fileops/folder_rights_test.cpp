#include "fileops/folder_rights.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

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

// An access list in the security descriptor language, as it reads a folder's.
std::string Sddl(const ACL* acl) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, const_cast<ACL*>(acl), FALSE);
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(&descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            &text, nullptr))
    return "(none)";
  std::string sddl = Narrow(text);
  LocalFree(text);
  return sddl;
}

// The folder's list at each phase of a run: as an earlier run or the system
// left it, while the mod's tools run (no entry of the installer's for the
// Users group), and at the end (the entry after the folder's own entries,
// before those it inherits, where the Users group could not modify yet). A
// denial somebody made on purpose outweighs the entry.
TEST(FolderRightsTest, UsersGetOneInheritableModifyEntryOnlyAtTheEnd) {
  struct Case {
    const wchar_t* before;
    bool usersMayModify;
    const char* whileToolsRun;
    const char* atTheEnd;
  };
  const Case cases[] = {
      // Program Files: administrators only
      {L"D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", false, "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
       "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;BU)"},
      // an earlier run's entry
      {L"D:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", true, "D:(A;OICI;FA;;;BA)",
       "D:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)"},
      // Users may read and run
      {L"D:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false, "D:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
       "D:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1301bf;;;BU)"},
      // everyone may do all, generically too: nobody's entry to take off, none to add
      {L"D:(A;OICI;FA;;;WD)", true, "D:(A;OICI;FA;;;WD)", "D:(A;OICI;FA;;;WD)"},
      {L"D:(A;OICI;GA;;;AU)", true, "D:(A;OICI;GA;;;AU)", "D:(A;OICI;GA;;;AU)"},
      // a denial of writing holds
      {L"D:(D;OICI;FW;;;BU)(A;OICI;FA;;;BU)", false, "D:(D;OICI;FW;;;BU)(A;OICI;FA;;;BU)",
       "D:(D;OICI;FW;;;BU)(A;OICI;FA;;;BU)(A;OICI;0x1301bf;;;BU)"},
      // inherited by what is below only
      {L"D:(A;OICIIO;0x1301bf;;;BU)(A;;0x1200a9;;;BU)", false, "D:(A;OICIIO;0x1301bf;;;BU)(A;;0x1200a9;;;BU)",
       "D:(A;OICIIO;0x1301bf;;;BU)(A;;0x1200a9;;;BU)(A;OICI;0x1301bf;;;BU)"},
      // all inherited from the parent
      {L"D:AI(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)", false, "D:(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)",
       "D:(A;OICI;0x1301bf;;;BU)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"},
      // this folder only, and the folders below without their files
      {L"D:(A;;0x1301bf;;;BU)", false, "D:(A;;0x1301bf;;;BU)", "D:(A;;0x1301bf;;;BU)(A;OICI;0x1301bf;;;BU)"},
      {L"D:(A;CI;0x1301bf;;;BU)", false, "D:(A;CI;0x1301bf;;;BU)", "D:(A;CI;0x1301bf;;;BU)(A;OICI;0x1301bf;;;BU)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.before));
    Descriptor descriptor(c.before);
    ASSERT_TRUE(descriptor.acl);
    EXPECT_EQ(FileSystem::UsersMayModify(descriptor.acl), c.usersMayModify);
    FileSystem::UniqueAcl whileToolsRun = FileSystem::WithoutUsersModifying(descriptor.acl);
    EXPECT_EQ(Sddl(whileToolsRun.get()), c.whileToolsRun);
    FileSystem::UniqueAcl atTheEnd = FileSystem::UsersMayModify(whileToolsRun.get())
                                         ? std::move(whileToolsRun)
                                         : FileSystem::WithUsersModifying(whileToolsRun.get());
    EXPECT_EQ(Sddl(atTheEnd.get()), c.atTheEnd);
  }
}

// The uninstaller and the record: the system and administrators do all,
// users read and run (0x1200a9: no writing, deleting or changing of rights),
// and no one else is named.
TEST(FolderRightsTest, WhatAnElevatedRunBelievesUsersMayOnlyReadAndRun) {
  FileSystem::UniqueAcl acl = FileSystem::ProtectedFromUsers();
  EXPECT_EQ(Sddl(acl.get()), "D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)");
  EXPECT_FALSE(FileSystem::UsersMayModify(acl.get()));
}

}  // namespace
