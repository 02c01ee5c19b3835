// Command lines of any text: tokens never exceed their fields and never hold a comma.
#include "app/command_line.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    BatchArguments batch;
    std::string error;
    const bool ok = ParseCommandLine(text, batch, error);
    const bool blank = text.find_first_not_of(" \t") == std::string::npos;
    if (!ok) {
        if (error.empty() || batch.BatchMode || blank)
            std::abort();
        return 0;
    }
    if (batch.BatchMode == blank)
        std::abort();
    if (!batch.BatchMode)
        return 0;
    if (batch.BatchFile.size() > MaxFileLength || batch.BatchPort.size() > MaxPortLength ||
        batch.BatchBaud.size() > MaxBaudLength || batch.BatchPort.empty() ||
        batch.BatchBaud.empty())
        std::abort();
    for (const std::string* token : {&batch.BatchFile, &batch.BatchPort, &batch.BatchBaud})
        if (token->find(',') != std::string::npos)
            std::abort();
    return 0;
}
