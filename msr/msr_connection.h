// One claimed reader: construction opens the port, enters command mode and reads the
// configuration; destruction restores functional mode and closes the port. ClaimMsr
// retries the claim. Each failure writes one diagnostic log line.
#pragma once

#include "msr/claim_failure.h"
#include "msr/msr_configuration.h"
#include "msr/serial_port.h"

#include <cstdint>
#include <memory>
#include <string>

class CMsrConnection {
  public:
    // One claim attempt; inspect Claimed afterwards.
    CMsrConnection(const std::string& portSuffix, std::int32_t baud);
    CMsrConnection(const CMsrConnection&) = delete;
    CMsrConnection& operator=(const CMsrConnection&) = delete;
    virtual ~CMsrConnection();

    bool QueryConfiguration();
    // Sends the record's options and sentinels. False (and nothing sent) when not claimed.
    bool ApplyConfiguration();
    // Stores what was applied in the reader's flash, waiting for a late acknowledgement.
    bool CommitConfiguration();

    CMsrConfiguration Configuration;
    std::uint8_t Claimed = 0;
    char FirmwareRevision[9] = {};
    // Why the claim attempt failed, when it did.
    CClaimFailure Failure;

  private:
    CSerialPort Link;
};

inline constexpr int ClaimAttempts = 10;
inline constexpr int ClaimPauseMs = 500;

// How hard a claim tries: a person at the window waits for ten attempts; a script may bound
// them and give up at once where a retry cannot help.
struct CClaimPolicy {
    int Attempts = ClaimAttempts;
    // A missing device or a refused permission stays so for the next half second.
    bool RetryHopeless = true;
};

// portText is a list entry such as "COM3"; baudText is decimal. Null when no reader could be
// claimed within the policy's attempts, or when a stop was requested before one was. After
// the last failed attempt one more log line says why it failed, and `why` receives it.
std::unique_ptr<CMsrConnection> ClaimMsr(const std::string& portText, const std::string& baudText,
                                         CClaimFailure* why = nullptr,
                                         const CClaimPolicy& policy = {});
