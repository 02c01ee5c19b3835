#include "msr/msr_protocol.h"

#include "msr/msr_settings.h"

#include "msr/stop_request.h"
#include "msr/text_conversion.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

constexpr std::size_t FlagsIndex = 27;
constexpr std::size_t FirmwareIndex = 37;
constexpr int FirmwareLength = 8;
// The answer's own record starts after the echo and its ".": ":", count, address, type.
constexpr std::size_t AnswerIndex = 16;
constexpr std::size_t DecodedDataBytes = 1 + 5 + FirmwareLength; // command, configuration, firmware

// The record after the echo, as the reader framed it: every byte two hex digits, the count
// byte the number of data bytes that follow, address 0000, type 11, a zero byte sum.
bool IsWholeAnswerRecord(std::string_view record) {
    if (record.size() < 11 || record[0] != ':' || record.size() % 2 == 0)
        return false;
    std::vector<int> bytes;
    unsigned sum = 0;
    for (std::size_t i = 1; i < record.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(record[i])) ||
            !std::isxdigit(static_cast<unsigned char>(record[i + 1])))
            return false;
        bytes.push_back(ConvertHexField(record.substr(i, 2)));
        sum += static_cast<unsigned>(bytes.back());
    }
    const std::size_t count = static_cast<std::size_t>(bytes[0]);
    return bytes.size() == count + 5 && count >= DecodedDataBytes && bytes[1] == 0 &&
           bytes[2] == 0 && bytes[3] == 0x11 && sum % 256 == 0;
}

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
    while (!(onStop == OnStop::Yield && StopRequested())) {
        if (std::chrono::steady_clock::now() >= deadline) { // not silent yet: the answer is cut
            if (buffer)
                buffer->CutOff = true;
            return;
        }
        if (link.ReadByte(&byte) != 1)
            return;
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
    std::vector<std::uint8_t> data = {MSR_SET_CONFIGURATION, EncodeDeviceFlags(r)};
    for (int i = 0; i < MsrSentinelCount; ++i)
        data.push_back(r.*MsrSentinel(i).Value);
    return BuildCommandRecord(data);
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

QueryAnswer CheckConfigurationResponse(const ResponseBuffer& buffer) {
    const std::string_view echo = MSR_GET_CONFIGURATION;
    const std::string_view text(buffer.Text, buffer.Stored);
    if (buffer.CutOff)
        return QueryAnswer::CutOff;
    if (text.substr(0, echo.size()) != echo)
        return QueryAnswer::Noise;
    if (!IsAcknowledged(MSR_GET_CONFIGURATION, buffer))
        return QueryAnswer::NotAcknowledged;
    if (buffer.Received != buffer.Stored || !IsWholeAnswerRecord(text.substr(AnswerIndex)))
        return QueryAnswer::NotWhole;
    return QueryAnswer::Whole;
}

bool IsCommitAcknowledged(const ResponseBuffer& buffer) {
    std::size_t length = std::strlen(buffer.Text);
    return length > 0 && buffer.Text[length - 1] == '.';
}

void DecodeConfigurationResponse(const ResponseBuffer& buffer, CMsrConfiguration& record,
                                 char firmwareRevision[9]) {
    DecodeDeviceFlags(FieldAt(buffer, FlagsIndex), record);
    for (int i = 0; i < MsrSentinelCount; ++i)
        record.*MsrSentinel(i).Value = FieldAt(buffer, FlagsIndex + 2 + 2 * i);
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
