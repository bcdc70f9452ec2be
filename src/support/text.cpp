#include "support/text.h"

#include <cstdint>
#include <cstdio>

#include <windows.h>

namespace {

std::wstring ToWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

// UTF-8 (which the system's code pages may be set to) has every character,
// and takes neither the best-fit flag nor a default character.
std::string FromWide(std::wstring_view wide, UINT codePage, BOOL* defaultUsed = nullptr) {
  if (wide.empty()) return {};
  UINT actual = codePage == CP_ACP ? GetACP() : codePage == CP_OEMCP ? GetOEMCP() : codePage;
  DWORD flags = actual == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  if (actual == CP_UTF8) defaultUsed = nullptr;
  int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                   defaultUsed);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr,
                      defaultUsed);
  return bytes;
}

std::string MapCase(std::string_view utf8, DWORD flags) {
  std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  std::wstring mapped(wide.size(), L'\0');
  LCMapStringEx(LOCALE_NAME_INVARIANT, flags, wide.data(), static_cast<int>(wide.size()), mapped.data(),
                static_cast<int>(mapped.size()), nullptr, nullptr, 0);
  return Narrow(mapped);
}

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }
std::string Narrow(std::wstring_view wide) { return FromWide(wide, CP_UTF8); }
std::string ToAnsi(std::string_view utf8) { return FromWide(Widen(utf8), CP_ACP); }
std::optional<std::string> ToCodePageExactly(std::string_view utf8, unsigned codePage) {
  std::wstring wide = Widen(utf8);
  BOOL defaultUsed = FALSE;
  std::string bytes = FromWide(wide, codePage, &defaultUsed);
  // The round trip also catches what the default-character flag cannot: a
  // character the code page writes, but reads back as another one.
  if (defaultUsed || ToWide(bytes, codePage) != wide) return std::nullopt;
  return bytes;
}
std::string FromAnsi(std::string_view ansi) { return Narrow(ToWide(ansi, CP_ACP)); }
std::string ToUpper(std::string_view utf8) { return MapCase(utf8, LCMAP_UPPERCASE); }
std::string ToLower(std::string_view utf8) { return MapCase(utf8, LCMAP_LOWERCASE); }

std::string Trim(std::string_view text, char what) {
  size_t first = text.find_first_not_of(what);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(what);
  return std::string(text.substr(first, last - first + 1));
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return ToUpper(a) == ToUpper(b); }

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted += '"';
  return quoted;
}

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

uint64_t NameKey(std::string_view path) { return Fnv1a(ToUpper(path)); }

std::string Fnv1aHex(std::string_view bytes) {
  uint64_t hash = Fnv1a(bytes);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}
