// What a simulated reader holds and which faults it shows, and the text forms of both that
// the msr-sim program reads and writes: its options, its state file and its transcript.
// Written from the reader's side of the wire alone: it shares no code with the program, so
// that a fault in the program's encoding cannot hide in the reader's too. Portable, so that
// programs on other systems can drive a simulator here.
#pragma once

#include <string>
#include <vector>

struct MsrSimSettings {
    std::string PortDir;
    std::string PortName = "COM3";
    std::string StateFile; // committed configuration kept here across runs, if set
    // The five configuration bytes as they travel, ten hex digits: the device flags byte
    // (0x40 custom configuration, 0x01 carriage return, tracks all enabled) and the start
    // sentinels of tracks 1 to 3 and the end sentinel.
    std::string Configuration = "41253B2B3F";
    std::string Firmware = "SIM 1.00"; // eight characters
    int CommitDelayMs = 20;            // the time the flash takes before the "."
    bool Raw = false;                  // the terminal starts raw rather than as a port does

    // Faults.
    bool Silent = false;        // reads everything, answers nothing
    bool NoCommandMode = false; // no answer at all to the enter-command-mode record
    bool QueryNotAcknowledged = false;
    bool QuerySilent = false; // no answer at all to the configuration query
    bool SetRejected = false;
    bool SetIgnored = false; // acknowledges the set record but keeps what it had
    bool CommitNeverAcknowledged = false;
    std::string Prefix;   // bytes sent before every echo
    int GarbageBytes = 0; // answer every record with this many bytes of noise instead
    int DripMs = 0;       // answers nothing, sends a byte every DripMs ms, never silent
    int CharDelayMs = 0;  // a slow reader: its answers go out a byte at a time, this apart
    // The configuration answer damaged: "short" (its last six digits missing), "corrupt" (a
    // flags digit changed, the checksum not), "odd" (one digit more after the checksum).
    std::string QueryDamage;
    int UnplugAfterRecords = -1; // the terminal closes on the record after this many
    int VanishAfterRecords = -1; // as above, but half of that record's echo goes out first
};

// Ten hex digits of either case; the configuration as the reader keeps it (upper case).
bool IsSimConfiguration(const std::string& text);

// The msr-sim options that set up a simulator as `settings` describes it.
std::vector<std::string> SimArguments(const MsrSimSettings& settings);

// A transcript line's bytes: printable ASCII as is, others as \xNN; and back.
std::string EscapeBytes(const std::string& bytes);
std::string UnescapeBytes(const std::string& text);
