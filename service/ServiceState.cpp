//===- ServiceState.cpp - The states the service reports -----------------===//
#include "ServiceState.h"

using namespace service_state;

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
    if (code != kControlStop)
        return {true, false};
    current_ = kStopPending;
    return {true, true};
}

bool ServiceState::markStopped() {
    if (current_ == kStopped)
        return false;
    current_ = kStopped;
    return true;
}
