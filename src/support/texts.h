#pragma once
// The texts the player sees, by identifier (support/texts/text_ids.h), from
// the program's string tables, one per language. A text holds numbered
// inserts, %1 to %9, which a translation may put in any order.
//
// A Message is a text with its inserts, kept apart until it is shown, so that
// one message can be shown in the player's language and logged in English.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/language.h"
#include "support/texts/text_ids.h"

// The text of id in language, with the inserts put in; English where the
// language lacks it, and a visible mark where English lacks it too.
std::string TextIn(Language language, TextId id, const std::vector<std::string>& inserts = {});
// The text of id in language as the table holds it, or "" when it has none.
std::string TableText(Language language, TextId id);
// Every identifier the English table holds, in order.
std::vector<TextId> EnglishTextIds();
// %1 to %9 replaced by the inserts; every other character, % included, stays.
std::string FillInserts(const std::string& pattern, const std::vector<std::string>& inserts);

class Message {
 public:
  // A text of the tables, with inserts that are themselves messages or plain
  // text (a path, a number, a name).
  Message(TextId id, std::vector<Message> inserts = {});
  // Plain text that no language changes.
  Message(std::string plain);
  Message(const char* plain) : Message(std::string(plain)) {}
  // Punctuation that no language changes ("%1: %2"), around inserts that do.
  static Message Pattern(std::string pattern, std::vector<Message> inserts);
  // The system's own text for a Win32 error code, or an HRESULT: in the
  // language shown where Windows has it, and in English() the system's
  // default, as the log has always had it.
  static Message SystemError(uint32_t code);
  // Sentences on lines of their own; the empty ones are left out.
  static Message Lines(std::vector<Message> lines);

  // Without a trailing full stop, for a sentence that another one ends.
  Message WithoutFullStop() const;

  std::string In(Language language) const;
  std::string English() const { return In(Language::English); }
  TextId Id() const { return id_; }
  bool Empty() const { return id_ == 0 && plain_.empty() && parts_.empty() && !systemError_; }

 private:
  Message() = default;
  TextId id_ = 0;               // 0: plain text, a pattern, a system error, or lines
  std::string plain_;           // the text, or the pattern
  std::vector<Message> parts_;  // the inserts, or the lines
  std::optional<uint32_t> systemError_;
  bool lines_ = false;
  bool withoutFullStop_ = false;
};
