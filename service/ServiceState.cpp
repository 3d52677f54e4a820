//===- ServiceState.cpp - The states the service reports -----------------===//
#include "ServiceState.h"

using namespace service_state;

std::uint32_t acceptedControls(bool preshutdownOffered) {
    return kAcceptStop | (preshutdownOffered ? kAcceptPreshutdown : kAcceptShutdown);
}

namespace {
bool stopsTheService(std::uint32_t code) {
    return code == kControlStop || code == kControlShutdown || code == kControlPreshutdown;
}
} // namespace

std::uint32_t controlResult(std::uint32_t code) {
    return stopsTheService(code) || code == kControlInterrogate ? kNoError : kCallNotImplemented;
}

std::uint32_t ServiceState::waitHint() const {
    return current_ == kStopPending ? kStopPendingWaitHint : 0;
}

void ServiceState::begin() {
    if (current_ == kNone)
        current_ = kStartPending;
}

bool ServiceState::markRunning() {
    if (current_ != kStartPending)
        return false;
    current_ = kRunning;
    return true;
}

ControlOutcome ServiceState::control(std::uint32_t code) {
    if (current_ == kNone || current_ == kStopped)
        return {false, false};
    if (!stopsTheService(code))
        return {true, false};
    if (current_ != kStopPending) {
        current_ = kStopPending;
        checkPoint_ = 1;
        stopControl_ = code;
    }
    return {true, true};
}

bool ServiceState::progress() {
    if (current_ != kStopPending)
        return false;
    ++checkPoint_;
    return true;
}

bool ServiceState::markStopped() {
    if (current_ == kStopped)
        return false;
    current_ = kStopped;
    checkPoint_ = 0;
    return true;
}

ExitCodes exitCodesFor(ServiceEnd end, std::uint32_t detail) {
    switch (end) {
    case ServiceEnd::StartFailed:
        if (detail != 0)
            return ExitCodes{detail, 0};
        return ExitCodes{kServiceSpecificError, kNoStartCommand};
    case ServiceEnd::ServerEnded:
        if (detail == 0)
            return ExitCodes();
        return ExitCodes{kServiceSpecificError, detail};
    case ServiceEnd::RestartsRanOut:
        return ExitCodes{kServiceSpecificError, kRestartsRanOut};
    case ServiceEnd::ServerOutlivedStop:
        return ExitCodes{kServiceSpecificError, kServerOutlivedStop};
    }
    return ExitCodes();
}
