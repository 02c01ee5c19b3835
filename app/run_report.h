// What one run did, for the one JSON record a script asks for with --json: the action, the
// port and file, the status, why a claim failed, what the reader held and how it differs
// from the file, whether anything was written, and the time taken.
#pragma once

#include "app/command_line.h"
#include "msr/claim_failure.h"
#include "msr/msr_configuration.h"
#include "msr/port_list.h"

#include <optional>
#include <string>
#include <vector>

// One setting where the reader and the file disagree.
struct CDifference {
    std::string Key;     // "track1_enabled", as in the record
    std::string Caption; // "Track 1 Enabled", as in the window
    int Reader = 0;      // an option's 0 or 1, or a sentinel's code
    int File = 0;
    bool Sentinel = false;
};

// The record's form; a new form adds fields and never changes what one means.
inline constexpr int RunReportSchema = 1;

class CRunReport {
  public:
    Verb What = Verb::None; // the record's "action" is its name
    bool Unread = false;    // a command line too broken to name a verb: "unknown"
    std::string Port, Baud, File;
    std::string Host, Time, Version; // the machine, the run's start (UTC), the program's
    std::string UsageError;          // why the command line was refused
    int Status = 0;
    CClaimFailure Failure;                              // when no reader was claimed
    std::optional<std::string> Firmware;                // once a reader was claimed
    std::optional<CMsrConfiguration> Reader;            // what it held when claimed
    std::optional<CMsrConfiguration> FileConfiguration; // what the file holds, once loaded
    std::optional<CPortInfo> Device;                    // where the port led, when it led somewhere
    std::vector<CDifference> Differences;               // from the file, where they were compared
    bool Changed = false; // whether anything was written to the reader
    double Seconds = 0;
    std::vector<CPortInfo> Ports, Unnamed; // --list-ports

    // The record as one line of JSON in printable ASCII: every other character escaped as
    // \uXXXX (bytes that are no UTF-8 replaced first).
    std::string Json() const;
};

// The settings in which two configurations differ, in the window's order.
std::vector<CDifference> Compare(const CMsrConfiguration& reader, const CMsrConfiguration& file);

// One line for a person: "Track 1 Enabled: reader on, file off".
std::string DifferenceText(const CDifference& difference);

// The name scripts test for an exit status: ok, usage, file, not-claimed, not-accepted,
// differs, stopped.
const char* StatusName(int status);
