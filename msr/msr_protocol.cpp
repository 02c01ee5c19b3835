#include "msr/msr_protocol.h"

#include "msr/stop_request.h"
#include "msr/text_conversion.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

constexpr std::size_t FlagsIndex = 27;
constexpr std::size_t FirmwareIndex = 37;
constexpr int FirmwareLength = 8;

std::uint8_t FieldAt(const ResponseBuffer& buffer, std::size_t index) {
    if (index >= buffer.Stored)
        return 0;
    std::size_t length = buffer.Stored - index < 2 ? buffer.Stored - index : 2;
    return static_cast<std::uint8_t>(
        ConvertHexField(std::string_view(buffer.Text + index, length)));
}

// Until the line is silent, or until the limit: a reader that never stops talking must
// not hold the program.
void ReadUntilSilent(CSerialPort& link, ResponseBuffer* buffer, std::chrono::milliseconds limit,
                     OnStop onStop) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    unsigned char byte;
    while (std::chrono::steady_clock::now() < deadline &&
           !(onStop == OnStop::Yield && StopRequested()) && link.ReadByte(&byte) == 1) {
        if (!buffer)
            continue;
        ++buffer->Received;
        if (buffer->Stored < ResponseBuffer::Capacity - 1)
            buffer->Text[buffer->Stored++] = static_cast<char>(byte);
    }
}

} // namespace

std::string BuildCommandRecord(const std::vector<std::uint8_t>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + 0x00 + 0x00 + 0x11;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(data.size() & 0xFF));
    std::string record = std::string(":") + hex + "000011";
    for (std::uint8_t byte : data) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        record += hex;
        sum += byte;
    }
    std::snprintf(hex, sizeof hex, "%02x", (0x100 - (sum & 0xFF)) & 0xFF);
    return record + hex;
}

std::string BuildSetConfigurationRecord(const CMsrConfiguration& r) {
    return BuildCommandRecord({MSR_SET_CONFIGURATION, EncodeDeviceFlags(r), r.Track1StartSentinel,
                               r.Track2StartSentinel, r.Track3StartSentinel, r.EndSentinel});
}

bool Exchange(CSerialPort& link, const std::string& record, ResponseBuffer& buffer, OnStop onStop) {
    buffer = ResponseBuffer{};
    if (onStop == OnStop::Yield && StopRequested())
        return false;
    if (!link.Write(record.data(), record.size()))
        return false;
    ReadUntilSilent(link, &buffer, ResponseTimeLimit, onStop);
    buffer.Text[buffer.Stored] = '\0';
    return buffer.Received > 0;
}

bool IsAcknowledged(const std::string& record, const ResponseBuffer& buffer) {
    return buffer.Stored > record.size() && buffer.Text[record.size()] == '.';
}

bool IsCommitAcknowledged(const ResponseBuffer& buffer) {
    std::size_t length = std::strlen(buffer.Text);
    return length > 0 && buffer.Text[length - 1] == '.';
}

void DecodeConfigurationResponse(const ResponseBuffer& buffer, CMsrConfiguration& record,
                                 char firmwareRevision[9]) {
    DecodeDeviceFlags(FieldAt(buffer, FlagsIndex), record);
    record.Track1StartSentinel = FieldAt(buffer, FlagsIndex + 2);
    record.Track2StartSentinel = FieldAt(buffer, FlagsIndex + 4);
    record.Track3StartSentinel = FieldAt(buffer, FlagsIndex + 6);
    record.EndSentinel = FieldAt(buffer, FlagsIndex + 8);
    for (int i = 0; i < FirmwareLength; ++i)
        firmwareRevision[i] = static_cast<char>(FieldAt(buffer, FirmwareIndex + 2 * i));
    firmwareRevision[FirmwareLength] = '\0';
}

bool WaitForAcknowledge(CSerialPort& link, int attempts, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        unsigned char byte;
        if (link.ReadByte(&byte) == 1 && byte == '.') {
            ReadUntilSilent(link, nullptr, ResponseTimeLimit, OnStop::Yield);
            return true;
        }
        // A device that is gone fails every read at once: that is no late answer coming.
        if (link.HungUp() || StopRequested() || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
