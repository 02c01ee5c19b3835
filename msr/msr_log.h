// The diagnostic log of the reader conversation: bare lines, flushed at once, progress on
// standard output and failures on standard error. Tests may divert the lines.
#pragma once

enum class LogStream { Output, Error };

using LogSink = void (*)(LogStream stream, const char* line);

void Log(LogStream stream, const char* line);

// Replaces where lines go (nullptr restores the standard streams); returns the previous sink.
LogSink SetLogSink(LogSink sink);
