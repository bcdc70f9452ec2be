#pragma once
// The ZEM7 Game Folder's rights for the players: the 2004 game writes its
// saves and settings into its own folder, and a folder under Program Files
// lets users only read. Windows then sends a non-elevated game's writes to
// the player's VirtualStore, where the installation never looks; a folder
// that the local Users group may modify keeps them in the folder.
#include <windows.h>

#include <memory>
#include <string>

namespace FileSystem {

struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};
using UniqueAcl = std::unique_ptr<ACL, LocalFreeDeleter>;

// Read, write, execute and delete: what "Modify" grants in a folder's properties.
constexpr DWORD kModifyRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

// Whether the local Users group (S-1-5-32-545), or a group that holds all its
// members, may modify what the access list guards, no entry denying it.
bool UsersMayModify(const ACL* acl);
// The access list with one entry more, inherited by every subfolder and file,
// that lets the local Users group modify. Throws RuntimeError.
UniqueAcl WithUsersModifying(const ACL* acl);
// Gives the local Users group modify rights on folder (and what it holds)
// unless they have them; the folder's other entries stay. Returns whether it
// added the entry. Throws RuntimeError.
bool LetUsersModify(const std::string& folder);
// The access list without the entries WithUsersModifying adds (allowed, to
// the local Users group, modify, inherited by every subfolder and file, and
// not itself inherited); every other entry stays. Throws RuntimeError.
UniqueAcl WithoutUsersModifying(const ACL* acl);
// Takes that entry off folder, so that while an elevated run works there
// only administrators may write what it starts and believes. Returns
// whether there was one. Throws RuntimeError.
bool StopUsersModifying(const std::string& folder);
// The access list of a file that an elevated run starts or believes (the
// uninstaller, the record) in a folder the players may modify: the system
// and administrators may do all, users only read and run it. Throws RuntimeError.
UniqueAcl ProtectedFromUsers();
// Gives file that list, protected from what its folder passes down: modify
// on a folder grants no right to delete what is in it, so the players can
// neither change, rename nor replace it. Nothing on a volume that keeps no
// access lists. Throws RuntimeError.
void ProtectFromUsers(const std::string& file);

}  // namespace FileSystem
