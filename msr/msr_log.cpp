#include "msr/msr_log.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<LogSink> currentSink{nullptr};
} // namespace

void Log(LogStream stream, const char* line) {
    if (LogSink sink = currentSink.load()) {
        sink(stream, line);
        return;
    }
    std::FILE* out = stream == LogStream::Output ? stdout : stderr;
    std::fputs(line, out);
    std::fputc('\n', out);
    std::fflush(out);
}

LogSink SetLogSink(LogSink sink) {
    return currentSink.exchange(sink);
}
