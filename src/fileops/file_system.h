#pragma once
// The file and folder operations that every safe operation builds on, with
// the rules the installation steps rely on:
//  - a destination ending in a backslash is an existing folder that receives
//    the source under its own name;
//  - a folder copy into an existing folder merges into it;
//  - folder creation makes one level;
//  - folder deletion is recursive, read-only files included;
//  - a move onto an existing item fails.
// Every failure throws RuntimeError with the Windows error code and text.
#include <string>

namespace FileSystem {

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
void CreateFolder(const std::string& path);
void DeleteFolder(const std::string& path, bool force);
void CopyFolder(const std::string& source, const std::string& destination, bool overwrite);
void MoveFolder(const std::string& source, const std::string& destination);
void RemoveFile(const std::string& path, bool force);
void CopyOneFile(const std::string& source, const std::string& destination, bool overwrite);
void MoveOneFile(const std::string& source, const std::string& destination);
// A plain rename: both paths name the folder itself, whatever they end in.
void RenameFolder(const std::string& from, const std::string& to);
// The text before the last backslash ("C:\" for "C:\Games"); empty when none.
std::string GetParentFolderName(const std::string& path);

}  // namespace FileSystem
