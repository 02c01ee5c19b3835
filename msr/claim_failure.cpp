#include "msr/claim_failure.h"

const char* ClaimCauseName(ClaimCause cause) {
    switch (cause) {
    case ClaimCause::NoDevice:
        return "no-device";
    case ClaimCause::NoPermission:
        return "no-permission";
    case ClaimCause::Busy:
        return "busy";
    case ClaimCause::NoAnswer:
        return "no-answer";
    case ClaimCause::NotAcknowledged:
        return "not-acknowledged";
    case ClaimCause::BadAnswer:
        return "bad-answer";
    case ClaimCause::Ambiguous:
        return "ambiguous";
    case ClaimCause::None:
        break;
    }
    return "";
}
