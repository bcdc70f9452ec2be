#include "common/temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/text.h"

namespace fs = std::filesystem;

namespace {

fs::path AsPath(const std::string& utf8) { return fs::path(Widen(utf8)); }

void MakeWritable(const fs::path& root) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored))
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

TempFolder::TempFolder(const std::string& prefix, const std::string& baseFolder) {
  static std::atomic<int> counter{0};
  fs::path base = baseFolder.empty() ? fs::temp_directory_path() : AsPath(baseFolder);
  std::string name = prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  path_ = Narrow((base / Widen(name)).wstring());
  fs::remove_all(AsPath(path_));
  fs::create_directories(AsPath(path_));
  path_ = Narrow(fs::canonical(AsPath(path_)).wstring());
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  MakeWritable(AsPath(path_));
  fs::remove_all(AsPath(path_), ignored);
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(AsPath(path).parent_path());
  std::ofstream out(AsPath(path), std::ios::binary);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(AsPath(path), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

bool FileExists(const std::string& path) { return fs::is_regular_file(AsPath(path)); }
bool FolderExists(const std::string& path) { return fs::is_directory(AsPath(path)); }
void MakeFolders(const std::string& path) { fs::create_directories(AsPath(path)); }
void MakeReadOnly(const std::string& path) { SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY); }

std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> files;
  fs::path root = AsPath(folder);
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = Narrow(fs::relative(entry.path(), root).wstring());
    files.push_back(entry.is_directory() ? relative + "\\" : relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> LogTexts(const std::string& logPath) {
  std::vector<std::string> texts;
  std::istringstream lines(FromAnsi(ReadFile(logPath)));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "hh:mm:ss : 42% : text"; continuation lines of a two-line entry stand bare.
    size_t first = line.find(" : ");
    size_t second = first == std::string::npos ? first : line.find(" : ", first + 3);
    bool stamped = second != std::string::npos && line.substr(first + 3, second - first - 3).ends_with('%');
    texts.push_back(stamped ? line.substr(second + 3) : line);
  }
  return texts;
}
