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

// portText is a list entry such as "COM3" (its first three characters are skipped);
// baudText is decimal. Null when no reader could be claimed in ten attempts, or when a
// stop was requested before one was. After ten failed attempts one more log line says why
// the last one failed, and `why` receives it.
std::unique_ptr<CMsrConnection> ClaimMsr(const std::string& portText, const std::string& baudText,
                                         CClaimFailure* why = nullptr);
