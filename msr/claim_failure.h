// Why a reader could not be claimed: a name a script can test and words a technician can act
// on. Each layer fills in what it knows: the serial link why the port did not open, the
// connection why the reader did not take part.
#pragma once

#include <string>

enum class ClaimCause {
    None,
    NoDevice,
    NoPermission,
    Busy,
    NoAnswer,
    NotAcknowledged,
    BadAnswer,
    Ambiguous, // two devices answer to the identity a port name is bound to
};

struct CClaimFailure {
    ClaimCause Cause = ClaimCause::None;
    std::string Text; // what failed, for a person; outside names already shown escaped
};

// "no-device", "no-permission", "busy", "no-answer", "not-acknowledged", "bad-answer",
// "ambiguous"; "" for None.
const char* ClaimCauseName(ClaimCause cause);
