// The batch arguments "file,port,baud" and how the command line turns into them.
// Plain C++ so that it can be tested and fuzzed on its own.
#pragma once

#include <string>
#include <vector>

inline constexpr char DefaultPort[] = "COM3";
inline constexpr char DefaultBaud[] = "19200";
inline constexpr std::size_t MaxFileLength = 259;
inline constexpr std::size_t MaxPortLength = 9;
inline constexpr std::size_t MaxBaudLength = 9;

struct BatchArguments {
    bool BatchMode = false;
    std::string BatchFile;
    std::string BatchPort;
    std::string BatchBaud;
};

// The command-line text: the arguments after the program's name joined with single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

// The command-line text from a whole Windows command line: what follows the program's name
// (quoted or not) and the blanks after it, as it stands.
std::string CommandLineAfterProgramName(const std::string& commandLine);

// Commas separate (a run of them is one separator); blanks and quotation marks are kept;
// port and baud default to COM3 and 19200. Over-long tokens are refused, never cut: false
// with a one-line reason in `error`.
bool ParseCommandLine(const std::string& text, BatchArguments& batch, std::string& error);
