#include "install/installation_record.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "fileops/folder_bounds.h"
#include "fileops/folder_rights.h"
#include "support/cut_point.h"
#include "support/handles.h"
#include "support/runtime_error.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kFormatLine = "ZEM7 installation record, version 1";
constexpr size_t kLargestRecord = 64u << 20;

// Enough to tell a torn or edited record from a whole one; nobody's secret depends on it.
std::string Checksum(std::string_view text) { return Fnv1aHex(text); }

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  for (size_t at = 0;;) {
    size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) return fields;
    at = tab + 1;
  }
}

std::optional<uint64_t> Number(const std::string& text) {
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Why a recorded path could lead anywhere but to a file inside the folder, or nothing.
Message WhyNotInside(const std::string& path) {
  if (path.empty()) return IDS_RECORDED_EMPTY_PATH;
  if (path.find(':') != std::string::npos) return Message(IDS_RECORDED_DRIVE_OR_STREAM, {path});
  if (path.front() == '\\' || path.find('/') != std::string::npos) return Message(IDS_RECORDED_NOT_INSIDE, {path});
  if (std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }))
    return Message(IDS_RECORDED_CONTROL_CHARACTER, {path});
  for (size_t at = 0; at <= path.size();) {
    size_t end = std::min(path.find('\\', at), path.size());
    std::string name = path.substr(at, end - at);
    if (name.empty() || name == "." || name == "..") return Message(IDS_RECORDED_CLIMBS_OUT, {path});
    // Windows strips these on the way to the file system: "..." would reach "..".
    if (name.back() == '.' || name.back() == ' ') return Message(IDS_RECORDED_DOT_OR_BLANK, {path});
    at = end + 1;
  }
  return std::string();
}

std::string FullLine(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
  return line + "\r\n";
}

constexpr const char* kUsersModify = "Users modify";

constexpr std::pair<RecordStage, const char*> kStageNames[] = {
    {RecordStage::Stopped, "stopped"}, {RecordStage::UnderWay, "under way"}, {RecordStage::Removed, "removed"}};

bool TakeStage(const std::string& name, RecordStage& stage) {
  for (const auto& [value, text] : kStageNames)
    if (name == text) return stage = value, true;
  return false;
}

bool TakeFile(const std::vector<std::string>& fields, std::vector<FileSystem::FileFacts>& files, Message& why) {
  std::optional<uint64_t> size = Number(fields[1]), written = Number(fields[2]);
  why = WhyNotInside(fields[3]);
  if (!size || !written || !why.Empty()) return false;
  files.push_back({fields[3], *size, *written});
  return true;
}

// One fact line into the record; false with why when it is not one.
bool TakeLine(const std::vector<std::string>& fields, InstallationRecord& record, Message& why) {
  const std::string& kind = fields[0];
  if (kind == "stage" && fields.size() == 2) return TakeStage(fields[1], record.stage);
  if (kind == "game" && fields.size() == 2) return record.gameFolder = fields[1], true;
  if (kind == "rights" && fields.size() == 2 && fields[1] == kUsersModify) return record.usersMayModify = true, true;
  if (kind == "folder" && fields.size() == 2) return record.folderId = fields[1], true;
  if (kind == "key" && fields.size() == 2) return record.uninstallKey = fields[1], true;
  if (kind == "shortcut" && fields.size() == 2) return record.shortcuts.push_back(fields[1]), true;
  if (kind == "file" && fields.size() == 4) return TakeFile(fields, record.files, why);
  if (kind == "kept" && fields.size() == 4) return TakeFile(fields, record.kept, why);
  if (kind == "found" && fields.size() == 4) return TakeFile(fields, record.found, why);
  return false;
}

}  // namespace

std::string RecordText(const InstallationRecord& record) {
  std::string text = std::string(kFormatLine) + "\r\n";
  for (const auto& [value, name] : kStageNames)
    if (record.stage == value) text += FullLine({"stage", name});
  text += FullLine({"game", record.gameFolder});
  if (!record.folderId.empty()) text += FullLine({"folder", record.folderId});
  if (!record.uninstallKey.empty()) text += FullLine({"key", record.uninstallKey});
  if (record.usersMayModify) text += FullLine({"rights", kUsersModify});
  for (const std::string& shortcut : record.shortcuts) text += FullLine({"shortcut", shortcut});
  auto addFiles = [&](const char* kind, const std::vector<FileSystem::FileFacts>& files) {
    for (const FileSystem::FileFacts& file : files)
      text += FullLine({kind, std::to_string(file.size), std::to_string(file.written), file.path});
  };
  addFiles("file", record.files);
  addFiles("kept", record.kept);
  addFiles("found", record.found);
  size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  return text + FullLine({"end", std::to_string(lines), Checksum(text)});
}

std::variant<InstallationRecord, Message> ParseRecord(const std::string& text) {
  size_t end = text.rfind("end\t", text.size() < 2 ? 0 : text.size() - 2);
  if (!text.starts_with(std::string(kFormatLine) + "\r\n")) return Message(IDS_RECORD_OTHER_FORMAT);
  if (end == std::string::npos || (end > 0 && text[end - 1] != '\n') || !text.ends_with("\r\n"))
    return Message(IDS_RECORD_INCOMPLETE);
  std::string body = text.substr(0, end);
  std::vector<std::string> last = SplitFields(text.substr(end, text.size() - end - 2));
  size_t lines = static_cast<size_t>(std::count(body.begin(), body.end(), '\n'));
  if (last.size() != 3 || last[1] != std::to_string(lines) || last[2] != Checksum(body))
    return Message(IDS_RECORD_CHANGED);
  InstallationRecord record;
  for (size_t at = body.find("\r\n") + 2; at < body.size();) {
    size_t lineEnd = body.find("\r\n", at);
    Message why = std::string();
    std::vector<std::string> fields = SplitFields(body.substr(at, lineEnd - at));
    if (!TakeLine(fields, record, why)) return Message(IDS_RECORD_BAD_LINE, {why.Empty() ? fields[0] : why});
    at = lineEnd + 2;
  }
  return record;
}

void WriteRecord(const std::string& folder, const InstallationRecord& record) {
  std::string path = folder + kRecordName;
  std::string partial = folder + kPartialRecordName;
  FileSystem::ClearNameInside(FileSystem::FolderBounds(folder), kPartialRecordName);
  if (!CreateNewFile(partial, kByteOrderMark + RecordText(record))) ThrowWin32Error(ERROR_FILE_EXISTS);
  // Flushed before the rename: the name never stands for a record still in the cache only.
  UniqueFile written(CreateFileW(Widen(partial).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!written || !FlushFileBuffers(written.Get())) ThrowLastError();
  written.Reset();
  // Protected before it takes the record's name: the players may modify the folder, never the record.
  FileSystem::ProtectFromUsers(partial);
  CutPoint("record.flushed");
  FileSystem::MoveFileWhole(partial, path, true);
  FileSystem::FlushFolder(folder);
  CutPoint("record.renamed");
}

bool RestoreTornRecord(const std::string& folder) {
  std::string path = folder + kRecordName, partial = folder + kPartialRecordName;
  if (FileSystem::FileExists(path) || !FileSystem::FileExists(partial)) return false;
  std::optional<std::string> bytes = ReadSmallFile(partial, kLargestRecord);
  if (!bytes || !bytes->starts_with(kByteOrderMark) ||
      !std::holds_alternative<InstallationRecord>(ParseRecord(bytes->substr(3))))
    return false;
  // Whoever wrote it, from here on it is the record: the players may not change it.
  FileSystem::ProtectFromUsers(partial);
  FileSystem::MoveFileWhole(partial, path, false);
  FileSystem::FlushFolder(folder);
  return true;
}

Message RecordFault::Why() const {
  if (unusable.Empty()) return Message(IDS_RECORD_UNREADABLE, {path});
  return Message(IDS_RECORD_CANNOT_BE_USED, {path, unusable});
}

Message RecordFault::WhyOfTheRecord() const {
  if (unusable.Empty()) return IDS_RECORD_IS_UNREADABLE;
  return Message(IDS_RECORD_IS_UNUSABLE, {unusable});
}

std::variant<InstallationRecord, RecordFault> ReadRecord(const std::string& folder) {
  std::string path = folder + kRecordName;
  std::optional<std::string> bytes = ReadSmallFile(path, kLargestRecord);
  if (!bytes) return RecordFault{path, std::string()};
  std::string text = bytes->starts_with(kByteOrderMark) ? bytes->substr(3) : std::string();
  auto parsed = ParseRecord(text);
  if (auto* why = std::get_if<Message>(&parsed)) return RecordFault{path, *why};
  return std::get<InstallationRecord>(parsed);
}

bool IsInstallersOwnFile(const std::string& path) {
  return EqualsIgnoreCase(path, kRecordName) || EqualsIgnoreCase(path, kPartialRecordName) ||
         EqualsIgnoreCase(path, kUninstallerName);
}

std::vector<std::string> EntriesNeverEmptied() { return {kRecordName, kPartialRecordName, kHoldingFolderName}; }

bool IsInHoldingFolder(const std::string& path) {
  return ToUpper(path).starts_with(ToUpper(std::string(kHoldingFolderName) + "\\"));
}
