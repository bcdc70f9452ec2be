#include "support/texts.h"

#include <windows.h>

#include "support/runtime_error.h"
#include "support/text.h"

namespace {

// A string table holds its texts in blocks of 16, each a count of UTF-16
// units followed by that many; an absent text counts 0.
const wchar_t* TableBlock(LANGID language, TextId id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  HGLOBAL loaded = block ? LoadResource(module, block) : nullptr;
  return loaded ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
}

std::wstring EntryOf(const wchar_t* block, unsigned index) {
  for (unsigned i = 0; i < index; ++i) block += 1 + *block;
  return std::wstring(block + 1, *block);
}

}  // namespace

std::string TableText(Language language, TextId id) {
  const wchar_t* block = TableBlock(InfoOf(language).id, id);
  return block ? Narrow(EntryOf(block, id % 16)) : std::string();
}

std::vector<TextId> EnglishTextIds() {
  std::vector<TextId> ids;
  LANGID english = InfoOf(Language::English).id;
  EnumResourceNamesW(
      GetModuleHandleW(nullptr), RT_STRING,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        auto& list = *reinterpret_cast<std::vector<TextId>*>(found);
        if (IS_INTRESOURCE(name)) list.push_back(static_cast<TextId>(reinterpret_cast<ULONG_PTR>(name)));
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&ids));
  std::vector<TextId> present;
  for (TextId blockNumber : ids)
    for (TextId id = (blockNumber - 1) * 16; id < blockNumber * 16; ++id)
      if (const wchar_t* block = TableBlock(english, id); block && !EntryOf(block, id % 16).empty())
        present.push_back(id);
  return present;
}

std::string FillInserts(const std::string& pattern, const std::vector<std::string>& inserts) {
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    size_t number = next >= '1' && next <= '9' ? static_cast<size_t>(next - '1') : inserts.size();
    if (pattern[i] != '%' || number >= inserts.size()) {
      text += pattern[i];
      continue;
    }
    text += inserts[number];
    ++i;
  }
  return text;
}

std::string TextIn(Language language, TextId id, const std::vector<std::string>& inserts) {
  std::string pattern = TableText(language, id);
  if (pattern.empty()) pattern = TableText(Language::English, id);
  // A text missing from the program's own tables is a fault of the build: shown, never hidden.
  if (pattern.empty()) return "[text " + std::to_string(id) + "]";
  return FillInserts(pattern, inserts);
}

Message::Message(TextId id, std::vector<Message> inserts) : id_(id), parts_(std::move(inserts)) {}

Message::Message(std::string plain) : plain_(std::move(plain)) {}

Message Message::Pattern(std::string pattern, std::vector<Message> inserts) {
  Message message(std::move(pattern));
  message.parts_ = std::move(inserts);
  return message;
}

Message Message::SystemError(uint32_t code) {
  Message message;
  message.systemError_ = code;
  return message;
}

Message Message::Lines(std::vector<Message> lines) {
  Message message;
  message.lines_ = true;
  for (Message& line : lines)
    if (!line.Empty()) message.parts_.push_back(std::move(line));
  return message;
}

Message Message::WithoutFullStop() const {
  Message message = *this;
  message.withoutFullStop_ = true;
  return message;
}

std::string Message::In(Language language) const {
  std::string text;
  if (lines_) {
    for (const Message& line : parts_) text += (text.empty() ? "" : "\r\n") + line.In(language);
  } else if (systemError_) {
    text = SystemMessage(*systemError_, language);
  } else {
    std::vector<std::string> inserts;
    for (const Message& insert : parts_) inserts.push_back(insert.In(language));
    text = id_ ? TextIn(language, id_, inserts) : FillInserts(plain_, inserts);
  }
  if (withoutFullStop_)
    while (text.ends_with(".")) text.pop_back();
  return text;
}
