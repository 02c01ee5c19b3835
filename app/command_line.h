// The options before the batch text ("--read", "--json", ...), the batch arguments
// "file,port,baud", and how the command line turns into them. Plain C++ so that it can be
// tested and fuzzed on its own.
#pragma once

#include <string>
#include <vector>

inline constexpr char DefaultPort[] = "COM3";
inline constexpr char DefaultBaud[] = "19200";
inline constexpr std::size_t MaxFileLength = 259;
// Windows, with its long paths: as long as a command line may be.
inline constexpr std::size_t MaxLongFileLength = 32767;
inline constexpr std::size_t MaxPortLength = 9;
inline constexpr std::size_t MaxBaudLength = 9;

// What the command line asks for beside the window or the batch run.
enum class Verb { None, Help, Version, ListPorts, Read, Check, Verify, Ensure };

// What runs each verb; a verb's row names the member that runs it.
class CVerbRunner {
  public:
    virtual int Help() = 0;
    virtual int Version() = 0;
    virtual int ListPorts() = 0;
    virtual int Read() = 0;
    virtual int Check() = 0;
    virtual int Verify() = 0;
    virtual int Ensure() = 0;

  protected:
    ~CVerbRunner() = default;
};

// Whether a verb works on FILE[,PORT[,BAUD]] or stands alone (--json aside).
enum class VerbForm { OnFile, Alone };

// One verb as the command line, --help, the record and the dispatch know it. A new verb is
// one row here and one member of CVerbRunner.
struct CVerbInfo {
    Verb What;
    const char* Option; // "--read"; none for the batch run
    const char* Action; // the record's "action"
    VerbForm Form;
    bool UsesPort;     // claims a reader, so the record names its port and device
    bool Records;      // ends with the run's record (--json, --log)
    const char* Usage; // its lines of --help's usage, "" where another row's lines serve
    // None for the batch run or the window, which start-up chooses between.
    int (CVerbRunner::*Run)();
};

// Every verb, in the order --help lists them.
const std::vector<CVerbInfo>& VerbTable();
const CVerbInfo& VerbOf(Verb verb);

struct CommandOptions {
    Verb What = Verb::None;
    bool Unattended = false; // no box and no question: nobody is there to answer
    bool Json = false;       // one JSON record on standard output, and nothing else there
    int Attempts = 0;        // --attempts N: claim attempts, 1 to 10; 0 when not given
    std::string LogFile;     // --log FILE: the run's record is appended to FILE
};

inline constexpr int MaxAttempts = 10;

struct BatchArguments {
    bool BatchMode = false;
    std::string BatchFile;
    std::string BatchPort;
    std::string BatchBaud;
};

// The command-line text: the arguments after the program's name joined with single blanks;
// the FILE after a lone "--log" is put in quotation marks when it holds a blank.
std::string JoinArguments(const std::vector<std::string>& arguments);

// The command-line text from a whole Windows command line: what follows the program's name
// (quoted or not) and the blanks after it, without the blanks at its end (cmd keeps the one
// before a redirection: "prep.txt,COM3 > out.json").
std::string CommandLineAfterProgramName(const std::string& commandLine);

// Takes the words that begin with "--" (and a lone "-h") off the front of the command-line
// text, with the values of --attempts and --log (the next word, or after "=";
// "in quotation marks" it may hold blanks); what follows, blanks before it skipped, is left in
// `text` as the batch text. False, with a one-line reason in `error`, for an unknown option, a
// combination that makes no sense, or a verb without the batch text it needs. A file whose name
// begins with "--" is given as "./--name".
bool TakeOptions(std::string& text, CommandOptions& options, std::string& error);

// From a command line that TakeOptions refuses, what it can still tell of where the record
// goes: "--json" and "--log FILE" among the option words at the front.
void RecoverOptions(const std::string& text, CommandOptions& options);

// A text wholly in quotation marks, as PowerShell, Explorer shortcuts and cmd's completion pass
// a Windows path with blanks, stands for what is inside; a quotation mark anywhere else stays.
std::string Unquoted(const std::string& text);

// Commas separate (a run of them is one separator); blanks and quotation marks are kept;
// port and baud default to COM3 and 19200. Over-long tokens are refused, never cut: false
// with a one-line reason in `error`. Lengths count characters (UTF-8 sequences), not bytes.
bool ParseCommandLine(const std::string& text, BatchArguments& batch, std::string& error,
                      std::size_t maxFileLength = MaxFileLength);

// Windows: "/?", "/h", "/help", "-?", "-help" (any case, blanks around) ask for the usage.
bool IsWindowsHelpRequest(const std::string& text);
