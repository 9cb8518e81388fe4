// INI text as the drivers' settings files use it, with the rules of the Win32
// profile calls the drivers were written against: [section] and key=value lines,
// names compared without case, names and values trimmed, one pair of matching quotes
// around a value removed, the first section of a name and its first key winning.
// Pure text in, text out; the POSIX seam does the file work.
#pragma once

#include <string>

namespace ini {

// True and the value when `key` is in `section`.
bool Find(const std::string& text, const char* section, const char* key, std::string* value);

// The text with `key` in `section` set to `value`: the key's line rewritten (its name
// kept), or the key
// added after the section's last key, or the section added at the end. Every other
// line stays as it was.
std::string Set(const std::string& text, const char* section, const char* key, const char* value);

// The value's leading decimal number with its sign after any blanks; 0 when there is none.
int LeadingInt(const std::string& value);

} // namespace ini
