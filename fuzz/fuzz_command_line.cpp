// Command lines of any text: options are only ever taken off the front, and the batch
// text's tokens never exceed their fields (in characters) and never hold a comma.
#include "app/command_line.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    CommandOptions options;
    std::string error;
    const std::string whole = text;
    if (!TakeOptions(text, options, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (text.size() > whole.size() ||
        whole.compare(whole.size() - text.size(), text.size(), text) != 0)
        std::abort(); // the batch text is what was left at the end
    BatchArguments batch;
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
    // Limits count characters: bytes that do not continue a UTF-8 sequence.
    const auto characters = [](const std::string& token) {
        std::size_t count = 0;
        for (char c : token)
            count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return count;
    };
    if (characters(batch.BatchFile) > MaxFileLength ||
        characters(batch.BatchPort) > MaxPortLength ||
        characters(batch.BatchBaud) > MaxBaudLength || batch.BatchPort.empty() ||
        batch.BatchBaud.empty())
        std::abort();
    for (const std::string* token : {&batch.BatchFile, &batch.BatchPort, &batch.BatchBaud})
        if (token->find(',') != std::string::npos)
            std::abort();
    return 0;
}
