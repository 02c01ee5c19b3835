// The reader's wire protocol: command records framed like Intel HEX records of type 0x11,
// one exchange per command (write, then collect until 500 ms of silence), the "."
// acknowledgement, and the layout of the configuration query's answer.
#pragma once

#include "msr/msr_configuration.h"
#include "msr/serial_port.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fixed records, sent without any line end.
inline constexpr char MSR_ENTER_COMMAND_MODE[] = ":0100001110DE";
inline constexpr char MSR_RESTORE_FUNCTIONAL_MODE[] = ":0100001111DD";
inline constexpr char MSR_GET_CONFIGURATION[] = ":020000110200EB";
inline constexpr char MSR_COMMIT_CONFIGURATION[] = ":0100001109E5";
// First data byte of the set record, which is built at run time.
inline constexpr std::uint8_t MSR_SET_CONFIGURATION = 0x01;

// How long the late commit acknowledgement is awaited.
inline constexpr int CommitAcknowledgeAttempts = 60000;
inline constexpr std::chrono::milliseconds CommitAcknowledgeLimit{60000};
// How long one response is read before it is cut off. The longest answer relied on is 53
// characters, about 55 ms at 9600 baud once the reader starts (within 500 ms, or the line
// counts as silent); a reader that never falls silent must not hold the program.
inline constexpr std::chrono::milliseconds ResponseTimeLimit{1000};

// Whether an exchange yields to a stop request. Only the release goes out regardless,
// so that a stopped program still returns the reader to functional mode.
enum class OnStop { Yield, Finish };

// One response: the first bytes received, zero-terminated. Reading goes on until the line
// is silent even when the buffer is full, so the line is left empty for the next exchange.
struct ResponseBuffer {
    static constexpr std::size_t Capacity = 100;
    char Text[Capacity] = {};
    std::size_t Stored = 0;   // bytes in Text before the terminator
    std::size_t Received = 0; // bytes that arrived, stored or not
    bool CutOff = false;      // the line never fell silent within ResponseTimeLimit
};

// What a configuration query's answer is worth. Only a whole answer is decoded: the echo,
// ".", then one record framed by the rule the program frames its own, whose count byte
// matches the data it carries (at least the 13 bytes decoded) and whose checksum is right.
enum class QueryAnswer { Whole, NotAcknowledged, Noise, CutOff, NotWhole };

// Frames data bytes with count, address 0000, type 11 and checksum, in lowercase hex.
std::string BuildCommandRecord(const std::vector<std::uint8_t>& data);
// The set record: flags byte and the four sentinels; always 23 characters.
std::string BuildSetConfigurationRecord(const CMsrConfiguration& record);

// Writes the record and collects the answer until the line is silent, ResponseTimeLimit has
// passed or the device is gone. False when the write failed or nothing came; a yielding exchange
// after a stop request writes nothing and is false, and one under way ends early.
bool Exchange(CSerialPort& link, const std::string& record, ResponseBuffer& buffer,
              OnStop onStop = OnStop::Yield);

// True when a "." follows directly after the echo of the record.
bool IsAcknowledged(const std::string& record, const ResponseBuffer& buffer);

// True when the text up to its first zero byte ends in "."; an empty text does not.
bool IsCommitAcknowledged(const ResponseBuffer& buffer);

QueryAnswer CheckConfigurationResponse(const ResponseBuffer& buffer);

// Fills the record and the 8-character firmware revision (plus terminator) from a query
// answer. Fields that lie beyond what was received convert from what is there.
void DecodeConfigurationResponse(const ResponseBuffer& buffer, CMsrConfiguration& record,
                                 char firmwareRevision[9]);

// Reads until a "." arrives (then drains the line and returns true), or until the
// attempts or the time limit run out, the device is gone or a stop is requested.
bool WaitForAcknowledge(CSerialPort& link, int attempts,
                        std::chrono::milliseconds limit = CommitAcknowledgeLimit);
