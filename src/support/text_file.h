#pragma once
// Plain text files, written in one go and closed again: the log in UTF-8,
// files that other programs read in the ANSI code page; and small files that
// other programs wrote, read whole.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The mark at the start of a log that says its text is UTF-8.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// Appends to a file that people read, creating it, byte-order mark first,
// when it is absent or empty.
void AppendLogText(const std::string& path, std::string_view utf8Text);
// Replaces the file's content from the start (creating it when absent). A
// character the code page lacks is an error: a program reads the file, and
// would take a look-alike for another name.
void WriteAnsiText(const std::string& path, std::string_view utf8Text);
// Creates a new file holding bytes; false, and nothing written, when a file
// of that name exists already.
bool CreateNewFile(const std::string& path, std::string_view bytes);
// The file's bytes as they are; nothing when it is absent, cannot be read,
// or holds more than maxBytes.
std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes);
