// Text that comes from outside the program (file and device names, USB strings, command-line
// words) as it may be shown on a terminal: nothing in it can move the cursor, clear the
// screen or start a new line.
#pragma once

#include <string>
#include <string_view>

// Valid UTF-8 stays as it is, but for control characters (C0, DEL, C1), line and paragraph
// separators and bidirectional overrides, which are written as escapes (\n, \r, \t, \xNN per
// byte), as is every byte that is no valid UTF-8.
std::string ShownText(std::string_view bytes);

// True when ShownText leaves the text as it is.
bool IsShownAsIs(std::string_view bytes);

// A word the shell takes as it stands: the text itself when it has nothing the shell would
// act on, else the text in single quotes. Only for texts that are shown as they are.
std::string ShellWord(std::string_view text);
