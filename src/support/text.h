#pragma once
// UTF-8 inside, UTF-16 at the Win32 boundary, ANSI for files other programs read.
#include <optional>
#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// Bytes in the system's ANSI code page, for a log of the older form. A
// character the code page lacks becomes '?', never a look-alike ("ā" is not "a").
std::string ToAnsi(std::string_view utf8);
// The bytes of utf8 in codePage, or nothing when a character has no exact form there.
std::optional<std::string> ToCodePageExactly(std::string_view utf8, unsigned codePage);
std::string FromAnsi(std::string_view ansi);
// Letter case as the system's locale sees it, not only ASCII.
std::string ToUpper(std::string_view utf8);
std::string ToLower(std::string_view utf8);
std::string Trim(std::string_view text, char what = ' ');
bool EndsWith(std::string_view text, std::string_view tail);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Text in double quotes, as a command line needs a path that may hold blanks.
std::string Quoted(std::string_view text);
// A 64-bit FNV-1a hash of the bytes, in 16 lower-case hex digits: a name or
// a checksum that tells texts apart, no secret.
std::string Fnv1aHex(std::string_view bytes);
uint64_t Fnv1a(std::string_view bytes);
// One key for a full path in every case it may be spelt in; two paths may
// share one, seldom, so a key only ever makes the careful choice.
uint64_t NameKey(std::string_view path);
