#include "install/installation_record.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"

namespace {

InstallationRecord Sample() {
  InstallationRecord record;
  record.gameFolder = "C:\\Games\\FlatOut\\";
  record.shortcuts = {"C:\\ProgramData\\Start Menu\\Programs\\Torvale\\FlatOut - ZEM7\\FlatOut.lnk"};
  record.files = {{"FlatOut.exe", 1234, 133456789012345678ull},
                  {"ZEM7-Patches\\zem7-tracks1.bfs", 99, 1},
                  {"data\\Игры\\save.cfg", 0, 2}};
  return record;
}

// A record that was cut short, edited by hand, or that names a path outside
// the folder, is never taken for a whole one: a removal would delete by it.
TEST(RecordTest, RoundTripsAndRefusesATornEditedOrEscapingRecord) {
  TempFolder folder;
  WriteRecord(folder.Path() + "\\", Sample());
  auto read = ReadRecord(folder.Path() + "\\");
  ASSERT_TRUE(std::holds_alternative<InstallationRecord>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<InstallationRecord>(read), Sample());
  EXPECT_TRUE(ReadFile(folder / kRecordName)
                  .starts_with("\xEF\xBB\xBF"
                               "ZEM7 installation record, version 1\r\n"));
  EXPECT_FALSE(FileExists(folder / (std::string(kRecordName) + ".new")));

  const std::string whole = RecordText(Sample());
  auto withFile = [](const std::string& path) {
    InstallationRecord record = Sample();
    record.files.push_back({path, 1, 1});
    return RecordText(record);
  };
  struct Case {
    const char* name;
    std::string text;
    const char* why;
  };
  std::string edited = whole;
  edited.replace(edited.find("1234"), 4, "1235");
  const Case cases[] = {
      {"torn", whole.substr(0, whole.size() / 2), "incomplete"},
      {"without its end", whole.substr(0, whole.rfind("end\t")), "incomplete"},
      {"edited", edited, "changed after the installation wrote it"},
      {"another format", "ZEM7 installation record, version 9\r\n" + whole.substr(whole.find("\r\n") + 2), "format"},
      {"absolute", withFile("C:\\Windows\\win.ini"), "names a drive or a stream"},
      {"rooted", withFile("\\Windows\\win.ini"), "is not a path inside"},
      {"climbing", withFile("data\\..\\..\\Games\\FlatOut\\FlatOut.exe"), "climbs out of the folder"},
      {"stream", withFile("FlatOut.exe:hidden"), "names a drive or a stream"},
  };
  for (const Case& c : cases) {
    auto parsed = ParseRecord(c.text);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.name;
    EXPECT_NE(std::get<std::string>(parsed).find(c.why), std::string::npos)
        << c.name << ": " << std::get<std::string>(parsed);
  }
}

TEST(RecordTest, MadeOrChangedSinceAreTheFilesNotListedAsTheyAre) {
  // Windows names compare in any case: the same file in other letters is unchanged.
  std::vector<FileSystem::FileFacts> now = {{"FLATOUT.exe", 1234, 133456789012345678ull},
                                            {"ZEM7-Patches\\zem7-tracks1.bfs", 99, 7},
                                            {"data\\Игры\\save.cfg", 0, 2},
                                            {"screenshots\\shot1.bmp", 5, 5},
                                            {kRecordName, 1, 1},
                                            {kUninstallerName, 1, 1}};
  std::vector<FileSystem::FileFacts> made = FilesMadeOrChangedSince(Sample(), now);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0].path, "ZEM7-Patches\\zem7-tracks1.bfs");
  EXPECT_EQ(made[1].path, "screenshots\\shot1.bmp");
}

}  // namespace
