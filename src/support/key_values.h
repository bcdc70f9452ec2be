#pragma once
// Steam's text key-value format, as in libraryfolders.vdf and the app
// manifests: a key followed either by a value or by a braced list of entries.
//
//   "libraryfolders" { "0" { "path" "C:\\Games\\Steam" } }  // a comment
//
// Quoted text knows the escapes \\ \" \n \t; a token without quotes ends at
// white space, a quote or a brace.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct KeyValues {
  std::string key;
  std::string value;
  bool isSection = false;
  std::vector<KeyValues> children;

  // The first entry of that name, in any letter case as Steam compares them; null when none.
  const KeyValues* Find(std::string_view name) const;
  // The text of the first entry of that name that is a plain value.
  std::optional<std::string> ValueOf(std::string_view name) const;
};

// The text's top-level entries as the children of one unnamed section;
// nothing when the text is malformed (an open quote or brace, a stray brace,
// a key without a value, or nesting deeper than any Steam file goes).
std::optional<KeyValues> ParseKeyValues(std::string_view text);
