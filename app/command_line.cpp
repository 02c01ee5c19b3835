#include "app/command_line.h"

#include <algorithm>

namespace {

std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> tokens;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t start = text.find_first_not_of(',', position);
        if (start == std::string::npos)
            break;
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        tokens.push_back(text.substr(start, end - start));
        position = end;
    }
    return tokens;
}

bool Fits(const std::string& token, std::size_t limit, const char* what, std::string& error) {
    if (token.size() <= limit)
        return true;
    error = std::string(what) + " is longer than " + std::to_string(limit) + " characters";
    return false;
}

} // namespace

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        text += (i ? " " : "") + arguments[i];
    return text;
}

std::string CommandLineAfterProgramName(const std::string& commandLine) {
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string::npos ? commandLine.size() : end + 1;
    } else {
        end = std::min(commandLine.find_first_of(" \t"), commandLine.size());
    }
    const std::size_t start = commandLine.find_first_not_of(" \t", end);
    return start == std::string::npos ? std::string() : commandLine.substr(start);
}

bool ParseCommandLine(const std::string& text, BatchArguments& batch, std::string& error) {
    batch = BatchArguments{};
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return true;

    std::vector<std::string> tokens = SplitAtCommas(text.substr(start));
    std::string file = tokens.size() > 0 ? tokens[0] : std::string();
    std::string port = tokens.size() > 1 ? tokens[1] : std::string(DefaultPort);
    std::string baud = tokens.size() > 2 ? tokens[2] : std::string(DefaultBaud);
    if (!Fits(file, MaxFileLength, "the configuration file path", error) ||
        !Fits(port, MaxPortLength, "the port name", error) ||
        !Fits(baud, MaxBaudLength, "the baud rate", error))
        return false;

    batch.BatchMode = true;
    batch.BatchFile = file;
    batch.BatchPort = port;
    batch.BatchBaud = baud;
    return true;
}
