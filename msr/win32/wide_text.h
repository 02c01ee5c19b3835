// Text crossing the wide-character Windows API: the program keeps paths and messages in UTF-8
// inside; the sentinels and the window's other texts are bytes shown as U+0000 to U+00FF,
// independent of the system's code page, as on Linux.
#pragma once

#include <string>

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// Each byte as the character of that code; each character up to U+00FF as its byte. False
// when a character has no byte (U+0100 and above).
std::wstring Latin1ToWide(const std::string& bytes);
bool WideToLatin1(const std::wstring& wide, std::string& bytes);
