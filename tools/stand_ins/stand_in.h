#pragma once
// What the stand-in programs share besides the archive format: their own
// place, the environment that steers them, and plain output.
#include <optional>
#include <string>
#include <string_view>

std::string CurrentFolder();
std::string OwnExePath();
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);
bool IsAbsolutePath(const std::string& path);
std::optional<std::string> EnvironmentValue(const std::string& name);
// A whole number of milliseconds, or `fallback` when the text is not one.
unsigned long ParseMilliseconds(std::string_view text, unsigned long fallback);
// Writes to standard output in the ANSI code page, when there is an output.
void PrintOut(std::string_view utf8Text);
// Appends the bytes in one write, so that lines of processes that share the file never interleave.
void AppendBytes(const std::string& path, std::string_view bytes);
