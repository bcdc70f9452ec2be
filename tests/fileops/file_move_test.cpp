#include <windows.h>

#include <functional>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "fileops/file_system.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

using Move = std::function<void(const std::string&, const std::string&, bool)>;

// The rename within a volume and the copy onto another one promise the same
// outcome; the tests' drives share one file system, so the copy is called
// by itself.
const struct {
  const char* name;
  Move move;
} kMoves[] = {
    {"rename", FileSystem::MoveFileWhole},
    {"copy", FileSystem::MoveFileByCopy},
};

const FILETIME kOldTime{0x12345678, 0x01c9a000};

void SetWriteTime(const std::string& path, const FILETIME& time) {
  HANDLE file = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

WIN32_FILE_ATTRIBUTE_DATA FactsOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data);
  return data;
}

TEST(MoveFileWhole, MovesReplacesOnlyWhenAskedAndNamesWhatFailed) {
  struct Case {
    const char* name;
    const char* earlier;  // the file already at the destination; nullptr: none
    bool replace;
    DWORD error;  // 0: moved
  };
  const Case cases[] = {
      {"onto a free name", nullptr, false, 0},
      {"onto a free name, replacing", nullptr, true, 0},
      {"onto a file, replacing", "earlier", true, 0},
      {"onto a file, not replacing", "earlier", false, ERROR_ALREADY_EXISTS},
  };
  for (const auto& move : kMoves) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(move.name) + ", " + c.name);
      TempFolder work{"zem7 move"};
      std::string from = work / "From\\slot1.sav", to = work / "To\\slot1.sav";
      WriteFile(from, "the player's save");
      SetWriteTime(from, kOldTime);
      MakeFolders(work / "To");
      if (c.earlier) WriteFile(to, c.earlier);
      try {
        move.move(from, to, c.replace);
        EXPECT_EQ(c.error, 0u);
        EXPECT_FALSE(FileExists(from));
        EXPECT_EQ(ReadFile(to), "the player's save");
        FILETIME written = FactsOf(to).ftLastWriteTime;
        EXPECT_EQ(CompareFileTime(&written, &kOldTime), 0);
      } catch (const RuntimeError& error) {
        EXPECT_EQ(static_cast<DWORD>(error.Number()), c.error) << error.Description().English();
        EXPECT_NE(error.Description().English().find("\"" + from + "\" to \"" + to + "\""), std::string::npos)
            << error.Description().English();
        EXPECT_EQ(ReadFile(from), "the player's save");
        if (c.earlier) {
          EXPECT_EQ(ReadFile(to), c.earlier);
        }
      }
      EXPECT_FALSE(FileExists(to + ".zem7move"));
    }
  }
}

TEST(MoveFileWhole, MissingSourceIsAnErrorThatNamesIt) {
  TempFolder work{"zem7 move"};
  for (const auto& move : kMoves) {
    SCOPED_TRACE(move.name);
    try {
      move.move(work / "absent.sav", work / "moved.sav", true);
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(static_cast<DWORD>(error.Number()), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
      EXPECT_NE(error.Description().English().find(work / "absent.sav"), std::string::npos)
          << error.Description().English();
    }
    EXPECT_FALSE(FileExists(work / "moved.sav"));
  }
}

TEST(MoveFileByCopy, KeepsReadOnlyAndReplacesWhatACutRunLeft) {
  TempFolder work{"zem7 move"};
  std::string from = work / "save.cfg", to = work / "Kept\\save.cfg";
  WriteFile(from, "settings");
  SetWriteTime(from, kOldTime);
  MakeReadOnly(from);
  // A run cut off after its copy, before the rename: a read-only leftover.
  WriteFile(to + ".zem7move", "a part of an earlier copy");
  MakeReadOnly(to + ".zem7move");

  FileSystem::MoveFileByCopy(from, to, false);
  EXPECT_FALSE(FileExists(from));
  EXPECT_FALSE(FileExists(to + ".zem7move"));
  EXPECT_EQ(ReadFile(to), "settings");
  WIN32_FILE_ATTRIBUTE_DATA moved = FactsOf(to);
  EXPECT_TRUE(moved.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(CompareFileTime(&moved.ftLastWriteTime, &kOldTime), 0);
}

TEST(MoveFileByCopy, ARefusedRenameKeepsTheSourceAndTakesItsCopyAway) {
  TempFolder work{"zem7 move"};
  std::string from = work / "save.cfg", to = work / "Occupied";
  WriteFile(from, "settings");
  WriteFile(to + "\\a folder where the file would go.txt", "x");
  EXPECT_THROW(FileSystem::MoveFileByCopy(from, to, true), RuntimeError);
  EXPECT_EQ(ReadFile(from), "settings");
  EXPECT_TRUE(FolderExists(to));
  EXPECT_FALSE(FileExists(to + ".zem7move"));
}

}  // namespace
