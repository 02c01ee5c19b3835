// Reader answers of any bytes: acknowledgement tests and decoding must never read past what
// arrived, and must not depend on what lies beyond it in the buffer.
#include "msr/msr_protocol.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResponseBuffer clean, stale;
    const std::size_t stored =
        size < ResponseBuffer::Capacity - 1 ? size : ResponseBuffer::Capacity - 1;
    std::memset(stale.Text, '7', sizeof stale.Text);
    for (ResponseBuffer* b : {&clean, &stale}) {
        std::memcpy(b->Text, data, stored);
        b->Text[stored] = '\0';
        b->Stored = stored;
        b->Received = size;
    }

    CMsrConfiguration a, b;
    char firmwareA[9], firmwareB[9];
    DecodeConfigurationResponse(clean, a, firmwareA);
    DecodeConfigurationResponse(stale, b, firmwareB);
    if (!(a == b) || std::memcmp(firmwareA, firmwareB, sizeof firmwareA) != 0)
        std::abort(); // decoding looked beyond the received text
    if (std::strlen(firmwareA) > 8 ||
        CheckConfigurationResponse(clean) != CheckConfigurationResponse(stale))
        std::abort();

    for (const char* record : {MSR_GET_CONFIGURATION, ":060000110141253b2b3fdd"}) {
        const std::size_t index = std::strlen(record);
        if (IsAcknowledged(record, clean) != (stored > index && data[index] == '.'))
            std::abort();
        if (IsAcknowledged(record, clean) != IsAcknowledged(record, stale))
            std::abort();
    }
    const std::size_t text = std::strlen(clean.Text);
    if (IsCommitAcknowledged(clean) != (text > 0 && clean.Text[text - 1] == '.'))
        std::abort();
    if (IsCommitAcknowledged(clean) != IsCommitAcknowledged(stale))
        std::abort();
    return 0;
}
