#include "msr/msr_connection.h"

#include "msr/msr_log.h"
#include "msr/msr_protocol.h"
#include "msr/port_name.h"
#include "msr/shown_text.h"
#include "msr/stop_request.h"
#include "msr/text_conversion.h"

#include <chrono>
#include <thread>

namespace {
constexpr int ClaimPauseSliceMs = 10;

void LogError(const std::string& line) {
    Log(LogStream::Error, line.c_str());
}
} // namespace

CMsrConnection::CMsrConnection(const std::string& portSuffix, std::int32_t baud) {
    Claimed = 0;
    if (!Link.Open(portSuffix, baud)) {
        LogError("Error opening com port : " + ShownText(portSuffix));
        Failure = Link.Failure;
        return;
    }
    Log(LogStream::Output, "Entering command mode...");
    ResponseBuffer response;
    if (!Exchange(Link, MSR_ENTER_COMMAND_MODE, response)) {
        LogError("Failed to enter command mode.");
        Failure = {ClaimCause::NoAnswer, "the reader does not answer"};
        Link.Close();
        return;
    }
    Claimed = 1;
    Claimed = QueryConfiguration() ? 1 : 0;
}

CMsrConnection::~CMsrConnection() {
    ResponseBuffer response;
    if (!Exchange(Link, MSR_RESTORE_FUNCTIONAL_MODE, response, OnStop::Finish))
        LogError("Error restoring functional mode.");
    Link.Close();
    Claimed = 0;
}

bool CMsrConnection::QueryConfiguration() {
    ResponseBuffer response;
    if (!Exchange(Link, MSR_GET_CONFIGURATION, response)) {
        LogError("Error querying MSR configuration.");
        Failure = {ClaimCause::NoAnswer, "the reader stopped answering in command mode"};
        return false;
    }
    // Nothing from an answer that is not whole reaches the record: a file, the window or the
    // reader would take it for the reader's configuration. One cut by a stop is no fault.
    if (StopRequested())
        return false;
    switch (CheckConfigurationResponse(response)) {
    case QueryAnswer::Whole:
        DecodeConfigurationResponse(response, Configuration, FirmwareRevision);
        return true;
    case QueryAnswer::NotAcknowledged:
        Failure = {ClaimCause::NotAcknowledged,
                   "the reader did not acknowledge the configuration query"};
        break;
    case QueryAnswer::Noise:
        Failure = {ClaimCause::BadAnswer, "the reader answers with something that is no echo"};
        break;
    case QueryAnswer::CutOff:
        Failure = {ClaimCause::BadAnswer, "the reader's answer did not end within a second"};
        break;
    case QueryAnswer::NotWhole:
        Failure = {ClaimCause::BadAnswer,
                   "the reader's configuration answer is incomplete or corrupt"};
        break;
    }
    LogError("Error validating MSR_GET_CONFIGURATION response.");
    return false;
}

bool CMsrConnection::ApplyConfiguration() {
    if (!Claimed)
        return false;
    const std::string record = BuildSetConfigurationRecord(Configuration);
    ResponseBuffer response;
    if (!Exchange(Link, record, response)) {
        LogError("Failed to send MSR_SET_CONFIGURATION.");
        return false;
    }
    if (!IsAcknowledged(record, response)) {
        LogError("MSR_SET_CONFIGURATION did not apply properly.");
        return false;
    }
    return true;
}

bool CMsrConnection::CommitConfiguration() {
    if (!Claimed)
        return false;
    ResponseBuffer response;
    if (!Exchange(Link, MSR_COMMIT_CONFIGURATION, response)) {
        LogError("Failed to send MSR_COMMIT_CONFIGURATION.");
        return false;
    }
    if (IsCommitAcknowledged(response))
        return true;
    return WaitForAcknowledge(Link, CommitAcknowledgeAttempts);
}

std::unique_ptr<CMsrConnection> ClaimMsr(const std::string& portText, const std::string& baudText,
                                         CClaimFailure* why, const CClaimPolicy& policy) {
    CClaimFailure last;
    // Another name would still have its first three characters skipped: "LPT3" is no COM3.
    if (!IsComPortName(portText)) {
        last = {ClaimCause::NoDevice, ShownText(portText) + " is no COM port name"};
        LogError("No MSR claimed on " + ShownText(portText) + " (no-device): " + last.Text + ".");
        if (why)
            *why = last;
        return nullptr;
    }
    const std::string portSuffix = portText.substr(3);
    for (int attempt = 0; attempt < policy.Attempts && !StopRequested(); ++attempt) {
        auto connection = std::make_unique<CMsrConnection>(portSuffix, ConvertDecimal(baudText));
        if (connection->Claimed == 1)
            return connection;
        last = connection->Failure;
        connection.reset();
        const bool hopeless = last.Cause == ClaimCause::NoDevice ||
                              last.Cause == ClaimCause::NoPermission ||
                              last.Cause == ClaimCause::Ambiguous;
        if ((hopeless && !policy.RetryHopeless) || attempt + 1 == policy.Attempts)
            break;
        // In slices, so that a stop request does not sit out the pause.
        for (int paused = 0; paused < ClaimPauseMs && !StopRequested(); paused += ClaimPauseSliceMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(ClaimPauseSliceMs));
    }
    if (!StopRequested() && last.Cause != ClaimCause::None)
        LogError("No MSR claimed on " + ShownText(portText) + " (" + ClaimCauseName(last.Cause) +
                 "): " + last.Text + ".");
    if (why)
        *why = last;
    return nullptr;
}
