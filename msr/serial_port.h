// The byte pipe to the reader: a serial device opened exclusively with fixed line
// settings (8N1, raw, no flow control), one-byte reads that give up after 500 ms of
// silence, and whole-record writes. Failures are quiet results; the caller logs.
#pragma once

#include "msr/claim_failure.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CSerialPort {
  public:
    static constexpr int ReadTimeoutMs = 500;

    CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    // Closes a port that is still open, so no descriptor outlives its owner.
    virtual ~CSerialPort();

    // portSuffix is what follows "COM" in the port's name. False when already open, when
    // the suffix names no device or one that is not a terminal, or when the device cannot
    // be had exclusively. A baud rate of 0 or less leaves the line speed as it was found.
    // Failure says why (no device, no permission, busy).
    bool Open(const std::string& portSuffix, std::int32_t baud);
    // Returns 1 when a byte was stored, 0 after 500 ms of silence or on any error.
    int ReadByte(unsigned char* destination);
    // True once the device has gone away (hang-up, end of file, I/O error): every read
    // from then on fails at once, which callers must not take for silence.
    bool HungUp() const { return Gone; }
    bool Write(const char* data, std::size_t length);
    // Restores the line settings found at Open, then closes. Always true; harmless on a port
    // that is not open.
    bool Close();
    bool IsOpen() const { return Handle != InvalidHandle; }

    // Why the last Open failed.
    CClaimFailure Failure;

  private:
    // The platform's part of Open: the device opened and set up, or InvalidHandle and why.
    // `found` receives the line's settings as they were, in the platform's own form.
    static std::intptr_t OpenDevice(const std::string& device, std::int32_t baud,
                                    CClaimFailure& failure, std::string& found);

    // The platform's handle (a descriptor, or a Windows HANDLE) in an integer of its size.
    static constexpr std::intptr_t InvalidHandle = -1;
    std::intptr_t Handle = InvalidHandle;
    bool Gone = false;
    // Put back on Close: the next program finds the line as this one did.
    std::string FoundLine;
};
