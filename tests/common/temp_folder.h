#pragma once
// A fresh folder under the system's temporary folder, removed with its whole
// tree (read-only files included) when the test ends.
#include <string>
#include <vector>

class TempFolder {
 public:
  // base: the folder to make it in, when not the temporary folder.
  explicit TempFolder(const std::string& prefix = "zem7", const std::string& base = {});
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path without trailing backslash.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

 private:
  std::string path_;
};

// Small file helpers for arranging and inspecting test folders.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
void MakeFolders(const std::string& path);
// Removes the folder with everything in it, read-only files and links (never followed) included.
void RemoveTree(const std::string& folder);
void MakeReadOnly(const std::string& path);
// A symbolic link to a folder or a file (under Wine, a Linux symbolic link,
// which Wine shows for a file as a plain file); false when it cannot be made.
bool MakeLink(const std::string& link, const std::string& target);
// Removes the link itself, never what it names.
bool RemoveLink(const std::string& link);
// The Program Files folder: below it Windows keeps a VirtualStore for a game without rights.
std::string ProgramFilesFolder();
// Under Wine, the name of an existing item through the drive that maps the
// Linux root ("Z:\\..."): a second name for the same item. "" on Windows.
std::string LinuxRootAlias(const std::string& path);
// A drive letter for a folder, as Wine makes one (a link in the prefix's
// dosdevices folder) or, on Windows, as subst does; gone again when the test
// ends. Root() is "" when no drive could be made.
class DriveAlias {
 public:
  explicit DriveAlias(const std::string& folder);
  ~DriveAlias();
  DriveAlias(const DriveAlias&) = delete;
  DriveAlias& operator=(const DriveAlias&) = delete;
  // "L:\\"
  std::string Root() const { return letter_ ? std::string(1, letter_) + ":\\" : std::string(); }

 private:
  std::string DeviceLink() const;
  char letter_ = 0;
  std::string folder_;
};
// Every file below the folder, as relative paths with backslashes, sorted.
std::vector<std::string> ListTree(const std::string& folder);
// Every item below the folder with each file's content ("a\\b.txt=text"):
// what a refusal must leave as it was.
std::vector<std::string> TreeContents(const std::string& folder);
// The log file's text in UTF-8, from either form it may have: UTF-8 after a
// byte-order mark, or the ANSI code page without one.
std::string ReadLogText(const std::string& logPath);
// Reads the log file written by ProgressLog and drops the time and percentage.
std::vector<std::string> LogTexts(const std::string& logPath);
