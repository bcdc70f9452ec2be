#include "install/installation_record.h"
#include "install/players_files.h"
#include "install/record_keeper.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "support/runtime_error.h"
#include "support/text.h"

namespace {

InstallationRecord Sample() {
  InstallationRecord record;
  record.stage = RecordStage::Stopped;
  record.gameFolder = "C:\\Games\\FlatOut\\";
  record.shortcuts = {"C:\\ProgramData\\Start Menu\\Programs\\Torvale\\FlatOut - ZEM7\\FlatOut.lnk"};
  record.files = {{"FlatOut.exe", 1234, 133456789012345678ull},
                  {"ZEM7-Patches\\zem7-tracks1.bfs", 99, 1},
                  {"data\\Игры\\save.cfg", 0, 2}};
  record.kept = {{"Savegame\\slot1.sav", 12, 3}};
  record.usersMayModify = true;
  return record;
}

// A record that was cut short, edited by hand, or that names a path outside
// the folder, is never taken for a whole one: a removal would delete by it.
TEST(RecordTest, RoundTripsAndRefusesATornEditedOrEscapingRecord) {
  TempFolder folder;
  WriteRecord(folder.Path() + "\\", Sample());
  auto read = ReadRecord(folder.Path() + "\\");
  ASSERT_TRUE(std::holds_alternative<InstallationRecord>(read)) << std::get<RecordFault>(read).Why().English();
  EXPECT_EQ(std::get<InstallationRecord>(read), Sample());
  EXPECT_TRUE(ReadFile(folder / kRecordName)
                  .starts_with("\xEF\xBB\xBF"
                               "ZEM7 installation record, version 1\r\n"));
  EXPECT_FALSE(FileExists(folder / (std::string(kRecordName) + ".new")));
  // Its temporary name made a link to a file elsewhere is never written through.
  TempFolder elsewhere;
  WriteFile(elsewhere / "theirs.txt", "somebody else's");
  if (MakeLink(folder / kPartialRecordName, elsewhere / "theirs.txt")) {
    EXPECT_THROW(WriteRecord(folder.Path() + "\\", Sample()), RuntimeError);
    EXPECT_EQ(ReadFile(elsewhere / "theirs.txt"), "somebody else's");
    EXPECT_TRUE(RemoveLink(folder / kPartialRecordName));
  }

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
      // Windows strips a trailing dot or blank: "..." would reach "..".
      {"dots", withFile("...\\Games\\FlatOut\\FlatOut.exe"), "ends in a dot or a blank"},
      {"blank", withFile("data \\save.cfg"), "ends in a dot or a blank"},
  };
  for (const Case& c : cases) {
    auto parsed = ParseRecord(c.text);
    ASSERT_TRUE(std::holds_alternative<Message>(parsed)) << c.name;
    std::string why = std::get<Message>(parsed).English();
    EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
  }
}

// The player's files: those the record does not claim as they are now,
// and always what waits in the holding folder. While a run is under way the
// record lists the earlier installation's files and then what the run made:
// the same answer. On a drive that keeps local times, a time whole hours
// off (a change of daylight saving time) is the same time.
TEST(RecordTest, ThePlayersFilesAreTheUnclaimedOnesAndTheHeldOnesAtEveryStage) {
  constexpr uint64_t kHour = 36'000'000'000ull;
  // Windows names compare in any case: the same file in other letters is unchanged.
  std::vector<FileSystem::FileFacts> now = {{"FLATOUT.exe", 1234, 133456789012345678ull},
                                            {"ZEM7-Patches\\zem7-tracks1.bfs", 99, 7},
                                            {"data\\Игры\\save.cfg", 0, 2 + kHour},
                                            {"screenshots\\shot1.bmp", 5, 5},
                                            {"savegame\\SLOT1.sav", 12, 3},
                                            {"ZEM7 Kept Files\\options.cfg", 1, 1},
                                            {"datafull\\tracks\\a.w32", 1, 1},
                                            {kRecordName, 1, 1},
                                            {kPartialRecordName, 1, 1},
                                            {kUninstallerName, 1, 1}};
  TempFolder folder;
  auto paths = [&](const InstallationRecord& record) {
    WriteRecord(folder.Path() + "\\", record);
    std::vector<std::string> players;
    for (const FileSystem::FileFacts& file : RecordKeeper::Open(folder.Path() + "\\").PlayersFiles(now))
      players.push_back(file.path);
    return players;
  };
  const std::vector<std::string> changed = {"ZEM7-Patches\\zem7-tracks1.bfs", "data\\Игры\\save.cfg",
                                            "screenshots\\shot1.bmp", "savegame\\SLOT1.sav",
                                            "ZEM7 Kept Files\\options.cfg"};
  InstallationRecord complete = Sample();
  complete.stage = RecordStage::Complete;
  EXPECT_EQ(paths(complete), changed);
  // What a run that did not finish changed in "data", its work folder, is
  // its own, unless it listed it as kept.
  std::vector<std::string> changedOutsideData = changed;
  std::erase(changedOutsideData, "data\\Игры\\save.cfg");
  EXPECT_EQ(paths(Sample()), changedOutsideData);
  InstallationRecord underWay = Sample();
  underWay.stage = RecordStage::UnderWay;
  EXPECT_EQ(paths(underWay), changedOutsideData);
  underWay.kept.push_back({"data\\Игры\\save.cfg", 0, 2 + kHour});
  EXPECT_EQ(paths(underWay), changed);
  InstallationRecord removed;
  removed.stage = RecordStage::Removed;
  EXPECT_EQ(paths(removed).size(), 6u);
  // A record brought from another folder claims nothing here.
  InstallationRecord copied = Sample();
  copied.folderId = "0-00000000000000000000000000000001";
  std::string text = RecordText(copied);
  WriteFile(folder / kRecordName, "\xEF\xBB\xBF" + text);
  EXPECT_TRUE(RecordKeeper::Open(folder.Path() + "\\").NamesAnotherFolder());
  EXPECT_EQ(RecordKeeper::Open(folder.Path() + "\\").PlayersFiles(now).size(), 6u);
}

TEST(RecordTest, ADriveWithLocalTimesReadsWholeHoursOffAsTheSameTime) {
  constexpr uint64_t kSecond = 10'000'000, kHour = 3600 * kSecond, t = 133456789012345678ull;
  struct Case {
    uint64_t now;
    bool localTimes, same;
  };
  const Case cases[] = {
      {t, false, true},
      {t + kHour, false, false},
      {t + kHour, true, true},
      {t - kHour, true, true},
      {t + kHour + 2 * kSecond, true, true},
      {t + 2 * kHour - kSecond, true, true},
      {t + 3 * kSecond, true, false},
      {t + kHour + 3 * kSecond, true, false},
      {t + 25 * kHour, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SameFileTime(t, c.now, c.localTimes), c.same) << (int64_t(c.now - t) / int64_t(kSecond));
}

// A rename over the record torn between its delete and its rename (FAT,
// exFAT) leaves the whole new record alone: it is the record. A torn or
// edited one under the temporary name is not, and stays as it is.
TEST(RecordTest, AWholeRecordLeftUnderItsTemporaryNameAloneIsTheRecord) {
  TempFolder folder;
  std::string path = folder.Path() + "\\";
  const std::string whole = "\xEF\xBB\xBF" + RecordText(Sample());
  struct Case {
    const char* name;
    bool withRecord;
    std::string partial;
    bool taken;
  };
  const Case cases[] = {
      {"torn rename", false, whole, true},
      {"cut before the rename", true, whole, false},
      {"torn write", false, whole.substr(0, whole.size() / 2), false},
  };
  for (const Case& c : cases) {
    DeleteFileW(Widen(path + kRecordName).c_str());
    InstallationRecord earlier;
    earlier.stage = RecordStage::Complete;
    if (c.withRecord) WriteRecord(path, earlier);
    WriteFile(path + kPartialRecordName, c.partial);
    RecordKeeper keeper = RecordKeeper::Open(path);
    ASSERT_EQ(keeper.Record() != nullptr, c.taken || c.withRecord) << c.name;
    if (c.taken) {
      EXPECT_EQ(keeper.Record()->stage, RecordStage::Stopped) << c.name;
    }
    if (c.withRecord) {
      EXPECT_EQ(keeper.Record()->stage, RecordStage::Complete) << c.name;
    }
    EXPECT_EQ(FileExists(path + kPartialRecordName), !c.taken) << c.name;
    DeleteFileW(Widen(path + kPartialRecordName).c_str());
  }
}

// Where two kept versions of one file meet, the earlier one takes a name
// that says so and that nothing else has.
TEST(RecordTest, EarlierCopyNamesSayWhatTheyAreAndTakeNoOtherName) {
  struct Case {
    const char* path;
    std::vector<std::string> taken;
    const char* name;
  };
  const Case cases[] = {
      {"ZEM7\\readme.txt", {}, "ZEM7\\readme (earlier copy).txt"},
      {"ZEM7\\readme.txt", {"ZEM7\\README (EARLIER COPY).TXT"}, "ZEM7\\readme (earlier copy 2).txt"},
      {"Savegame\\slot1", {}, "Savegame\\slot1 (earlier copy)"},
      {"my.saves\\slot1", {}, "my.saves\\slot1 (earlier copy)"},
      {"profile\\.settings", {}, "profile\\.settings (earlier copy)"},
  };
  for (const Case& c : cases) EXPECT_EQ(EarlierCopyName(c.path, c.taken), c.name) << c.path;
}

}  // namespace
