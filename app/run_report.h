// What one run did, for the one JSON record a script asks for with --json: the action, the
// port and file, the status, why a claim failed, what the reader held and how it differs
// from the file, whether anything was written, and the time taken.
#pragma once

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

class CRunReport {
  public:
    std::string Action = "apply"; // apply, read, verify, ensure, list-ports
    std::string Port, Baud, File;
    int Status = 0;
    CClaimFailure Failure;                   // when no reader was claimed
    std::optional<std::string> Firmware;     // once a reader was claimed
    std::optional<CMsrConfiguration> Reader; // what it held when claimed
    std::vector<CDifference> Differences;    // from the file, where they were compared
    bool Changed = false;                    // whether anything was written to the reader
    double Seconds = 0;
    std::vector<CPortInfo> Ports, Unnamed; // --list-ports

    // The record as one line of JSON (UTF-8; bytes that are no UTF-8 are replaced).
    std::string Json() const;
};

// The settings in which two configurations differ, in the window's order.
std::vector<CDifference> Compare(const CMsrConfiguration& reader, const CMsrConfiguration& file);

// One line for a person: "Track 1 Enabled: reader on, file off".
std::string DifferenceText(const CDifference& difference);

// The name scripts test for an exit status: ok, usage, file, not-claimed, not-accepted,
// differs, stopped.
const char* StatusName(int status);
