#include "msr/stop_request.h"

#include <atomic>

namespace {
std::atomic<int> requestedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from signal handlers");
} // namespace

void RequestStop(int signalNumber) {
    int none = 0;
    requestedSignal.compare_exchange_strong(none, signalNumber > 0 ? signalNumber : -1);
}

bool StopRequested() {
    return requestedSignal.load() != 0;
}

int StopSignal() {
    const int signal = requestedSignal.load();
    return signal > 0 ? signal : 0;
}

void ClearStopRequest() {
    requestedSignal.store(0);
}
