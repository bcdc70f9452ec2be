#pragma once
// Plain text files in the ANSI code page, written in one go and closed again;
// and small files that other programs wrote, read whole.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Appends to the file, creating it when it is absent; a character the code
// page lacks is written as '?' (the log is read by people).
void AppendAnsiText(const std::string& path, std::string_view utf8Text);
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
