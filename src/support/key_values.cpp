#include "support/key_values.h"

#include <cctype>

#include "support/text.h"

namespace {

enum class TokenKind { Text, Open, Close, End };

struct Token {
  TokenKind kind;
  std::string text;
};

// Steam's own files nest four or five levels; the bound keeps a hostile file
// from exhausting the stack.
constexpr int kMaxDepth = 32;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    // Editors that save as UTF-8 may put a byte-order mark first.
    if (text_.starts_with("\xEF\xBB\xBF")) position_ = 3;
  }

  // Reads entries into section up to its closing brace, or up to the end of
  // the text for the top level; false when the text is malformed.
  bool ReadEntries(KeyValues& section, int depth) {
    if (depth > kMaxDepth) return false;
    for (;;) {
      std::optional<Token> key = Next();
      if (!key) return false;
      if (key->kind == TokenKind::End) return depth == 0;
      if (key->kind == TokenKind::Close) return depth > 0;
      if (key->kind == TokenKind::Open) return false;
      KeyValues entry;
      entry.key = std::move(key->text);
      if (!ReadValue(entry, depth)) return false;
      section.children.push_back(std::move(entry));
    }
  }

 private:
  bool ReadValue(KeyValues& entry, int depth) {
    std::optional<Token> value = Next();
    if (!value) return false;
    if (value->kind == TokenKind::Text) {
      entry.value = std::move(value->text);
      return true;
    }
    entry.isSection = true;
    return value->kind == TokenKind::Open && ReadEntries(entry, depth + 1);
  }

  // The next token; nothing for a quote that is never closed.
  std::optional<Token> Next() {
    SkipBlanksAndComments();
    if (position_ == text_.size()) return Token{TokenKind::End, {}};
    char next = text_[position_];
    if (next == '{' || next == '}') {
      ++position_;
      return Token{next == '{' ? TokenKind::Open : TokenKind::Close, {}};
    }
    if (next == '"') return Quoted();
    return Token{TokenKind::Text, Unquoted()};
  }

  void SkipBlanksAndComments() {
    for (;;) {
      while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
      if (text_.substr(position_, 2) != "//") return;
      size_t lineEnd = text_.find('\n', position_);
      position_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd;
    }
  }

  // A backslash before any other character is kept as it is, so that a
  // hand-edited path with single backslashes survives.
  std::optional<Token> Quoted() {
    std::string text;
    for (++position_; position_ < text_.size(); ++position_) {
      char next = text_[position_];
      if (next == '"') {
        ++position_;
        return Token{TokenKind::Text, std::move(text)};
      }
      if (next == '\\' && position_ + 1 < text_.size()) {
        text += Unescaped(text_[++position_]);
        continue;
      }
      text += next;
    }
    return std::nullopt;
  }

  static std::string Unescaped(char escaped) {
    switch (escaped) {
      case 'n': return "\n";
      case 't': return "\t";
      case '\\':
      case '"': return std::string(1, escaped);
      default: return std::string{'\\', escaped};
    }
  }

  std::string Unquoted() {
    size_t start = position_;
    while (position_ < text_.size() && !IsBlank(text_[position_]) && !IsDelimiter(text_[position_])) ++position_;
    return std::string(text_.substr(start, position_ - start));
  }

  static bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
  static bool IsDelimiter(char c) { return c == '"' || c == '{' || c == '}'; }

  std::string_view text_;
  size_t position_ = 0;
};

}  // namespace

const KeyValues* KeyValues::Find(std::string_view name) const {
  for (const KeyValues& child : children) {
    if (EqualsIgnoreCase(child.key, name)) return &child;
  }
  return nullptr;
}

std::optional<std::string> KeyValues::ValueOf(std::string_view name) const {
  for (const KeyValues& child : children) {
    if (!child.isSection && EqualsIgnoreCase(child.key, name)) return child.value;
  }
  return std::nullopt;
}

std::optional<KeyValues> ParseKeyValues(std::string_view text) {
  KeyValues root;
  root.isSection = true;
  if (!Parser(text).ReadEntries(root, 0)) return std::nullopt;
  return root;
}
