#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <iterator>

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
    const auto characters = std::count_if(token.begin(), token.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80; // not a continuation byte
    });
    if (static_cast<std::size_t>(characters) <= limit)
        return true;
    error = std::string(what) + " is longer than " + std::to_string(limit) + " characters";
    return false;
}

// The value of an option that takes one, when the word at `at` is that option: after "=" in
// the same word, else the next word; in quotation marks it may hold blanks ("C:\Run logs\r").
// `at` moves past it. An option at the end, or an unclosed quotation mark, gives no value.
bool TakeValue(const std::string& text, std::size_t& at, const std::string& name,
               std::string& value) {
    const std::size_t after = at + name.size();
    if (text.compare(at, name.size(), name) != 0 ||
        (after < text.size() && text[after] != '=' && text[after] != ' ' && text[after] != '\t'))
        return false;
    value.clear();
    std::size_t from = after < text.size() && text[after] == '='
                           ? after + 1
                           : text.find_first_not_of(" \t", after);
    at = std::string::npos;
    if (from >= text.size())
        return true;
    std::size_t end = std::min(text.find_first_of(" \t", from), text.size());
    if (text[from] == '"') {
        end = text.find('"', from + 1);
        if (end == std::string::npos)
            return true;
        value = text.substr(from + 1, end - from - 1);
        ++end;
    } else {
        value = text.substr(from, end - from);
    }
    at = text.find_first_not_of(" \t", end);
    return true;
}

} // namespace

const std::vector<CVerbInfo>& VerbTable() {
    using R = CVerbRunner;
    static const std::vector<CVerbInfo> verbs = {
        {Verb::None, nullptr, "apply", VerbForm::OnFile, true, true,
         "msrconfig                        open the configuration window\n"
         "       msrconfig [OPTIONS] FILE[,PORT[,BAUD]]\n"
         "           apply a configuration file to a reader and end\n",
         nullptr},
        {Verb::Read, "--read", "read", VerbForm::OnFile, true, true,
         "msrconfig [OPTIONS] --read FILE[,PORT[,BAUD]]\n"
         "           save a reader's configuration to FILE (- for standard output) and\n"
         "           print its firmware revision\n",
         &R::Read},
        {Verb::Check, "--check", "check", VerbForm::OnFile, false, true,
         "msrconfig [--json] --check FILE\n"
         "           tell whether FILE holds a whole configuration\n",
         &R::Check},
        {Verb::Verify, "--verify", "verify", VerbForm::OnFile, true, true,
         "msrconfig [OPTIONS] --verify FILE[,PORT[,BAUD]]\n"
         "           tell whether a reader holds FILE's configuration\n",
         &R::Verify},
        {Verb::Ensure, "--ensure", "ensure", VerbForm::OnFile, true, true,
         "msrconfig [OPTIONS] --ensure FILE[,PORT[,BAUD]]\n"
         "           make a reader hold it: write only when it does not, then read\n"
         "           back what was written\n",
         &R::Ensure},
        {Verb::ListPorts, "--list-ports", "list-ports", VerbForm::Alone, false, true,
         "msrconfig [--json] --list-ports\n"
         "           show which COM names reach a device\n",
         &R::ListPorts},
        {Verb::Help, "--help", "help", VerbForm::Alone, false, false,
         "msrconfig --help | --version\n", &R::Help},
        {Verb::Version, "--version", "version", VerbForm::Alone, false, false, "", &R::Version},
    };
    return verbs;
}

const CVerbInfo& VerbOf(Verb verb) {
    const std::vector<CVerbInfo>& verbs = VerbTable();
    const auto row = std::find_if(verbs.begin(), verbs.end(),
                                  [&](const CVerbInfo& v) { return v.What == verb; });
    return row != verbs.end() ? *row : verbs.front();
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const bool quoted = i > 0 && arguments[i - 1] == "--log" &&
                            arguments[i].find_first_of(" \t") != std::string::npos &&
                            arguments[i].find('"') == std::string::npos;
        text += (i ? " " : "") + (quoted ? "\"" + arguments[i] + "\"" : arguments[i]);
    }
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
    if (start == std::string::npos)
        return std::string();
    return commandLine.substr(start, commandLine.find_last_not_of(" \t") + 1 - start);
}

bool TakeOptions(std::string& text, CommandOptions& options, std::string& error) {
    options = CommandOptions{};
    const std::vector<CVerbInfo>& verbs = VerbTable();
    std::size_t at = text.find_first_not_of(" \t");
    if (at != std::string::npos && text.find_first_not_of(" \t", at + 2) == std::string::npos &&
        text.compare(at, 2, "-h") == 0) {
        options.What = Verb::Help;
        at = std::string::npos;
    }
    while (at != std::string::npos && text.compare(at, 2, "--") == 0) {
        const std::size_t start = at, end = std::min(text.find_first_of(" \t", at), text.size());
        const std::string word = text.substr(at, end - at);
        at = text.find_first_not_of(" \t", end);
        if (word == "--")
            break; // the end of the options: what follows is the batch text
        if (word == "--json" || word == "--unattended") {
            (word == "--json" ? options.Json : options.Unattended) = true;
            continue;
        }
        std::string value;
        std::size_t next = start;
        if (TakeValue(text, next, "--attempts", value)) {
            at = next;
            if (value.size() > 2 || value.empty() ||
                value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) < 1 || std::stoi(value) > MaxAttempts) {
                error = "--attempts takes a number from 1 to 10";
                return false;
            }
            options.Attempts = std::stoi(value);
            continue;
        }
        if (TakeValue(text, next, "--log", value)) {
            at = next;
            if (value.empty()) {
                error = "--log takes a FILE";
                return false;
            }
            options.LogFile = value;
            continue;
        }
        const auto verb = std::find_if(verbs.begin(), verbs.end(), [&](const CVerbInfo& v) {
            return v.Option && word == v.Option;
        });
        if (verb == verbs.end()) {
            error = "unknown option " + word;
            return false;
        }
        if (options.What != Verb::None) {
            error = "only one of";
            for (const CVerbInfo& v : verbs)
                error += v.Option ? std::string(error.back() == 'f' ? " " : ", ") + v.Option : "";
            return false;
        }
        options.What = verb->What;
    }
    text = at == std::string::npos ? std::string() : text.substr(at);
    const CVerbInfo& verb = VerbOf(options.What);
    const bool scripted = verb.Form == VerbForm::OnFile && options.What != Verb::None;
    if (verb.Form == VerbForm::OnFile) {
        if (text.empty() && (scripted || options.Json || options.Unattended)) {
            error = "FILE[,PORT[,BAUD]] is missing";
            return false;
        }
        // ",COM5" is what "$OUT",COM5 gives with OUT unset: COM5 must not become the file.
        if (scripted && text.front() == ',') {
            error = "FILE is empty";
            return false;
        }
    } else if (!text.empty() || (options.Json && !verb.Records)) {
        error = "nothing may follow this option";
        return false;
    }
    return true;
}

void RecoverOptions(const std::string& text, CommandOptions& options) {
    for (std::size_t at = text.find_first_not_of(" \t");
         at != std::string::npos && text.compare(at, 2, "--") == 0;) {
        std::string value;
        if (TakeValue(text, at, "--log", value)) {
            options.LogFile = value;
            continue;
        }
        if (TakeValue(text, at, "--attempts", value))
            continue;
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        const std::string word = text.substr(at, end - at);
        if (word == "--")
            break;
        options.Json = options.Json || word == "--json";
        at = text.find_first_not_of(" \t", end);
    }
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
        text.find('"', 1) == text.size() - 1)
        return text.substr(1, text.size() - 2);
    return text;
}

bool IsWindowsHelpRequest(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return false;
    std::string word = text.substr(start, text.find_last_not_of(" \t") + 1 - start);
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word == "/?" || word == "/h" || word == "/help" || word == "-?" || word == "-help";
}

bool ParseCommandLine(const std::string& text, BatchArguments& batch, std::string& error,
                      std::size_t maxFileLength) {
    batch = BatchArguments{};
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return true;

    std::vector<std::string> tokens = SplitAtCommas(text.substr(start));
    std::string file = tokens.size() > 0 ? tokens[0] : std::string();
    std::string port = tokens.size() > 1 ? tokens[1] : std::string(DefaultPort);
    std::string baud = tokens.size() > 2 ? tokens[2] : std::string(DefaultBaud);
    if (!Fits(file, maxFileLength, "the configuration file path", error) ||
        !Fits(port, MaxPortLength, "the port name", error) ||
        !Fits(baud, MaxBaudLength, "the baud rate", error))
        return false;

    batch.BatchMode = true;
    batch.BatchFile = file;
    batch.BatchPort = port;
    batch.BatchBaud = baud;
    return true;
}
