// Which state changes the service reports, from its own thread and from the
// control handler.
#include "ServiceState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace service_state;

constexpr std::uint32_t kInterrogate = 4;

enum class Event { Begin, Running, StopControl, Interrogate, Stopped };

struct Step {
    Event event;
    bool expectedReport;
    bool expectedSignal;
    std::uint32_t expectedState;
};

struct Outcome {
    bool report;
    bool signal;
};

Outcome apply(ServiceState& state, Event event) {
    switch (event) {
    case Event::Begin:
        state.begin();
        return {false, false};
    case Event::Running:
        return {state.markRunning(), false};
    case Event::StopControl: {
        const ControlOutcome outcome = state.control(kControlStop);
        return {outcome.report, outcome.signalStop};
    }
    case Event::Interrogate: {
        const ControlOutcome outcome = state.control(kInterrogate);
        return {outcome.report, outcome.signalStop};
    }
    case Event::Stopped:
        return {state.markStopped(), false};
    }
    return {false, false};
}

struct SequenceCase {
    const char* name;
    std::vector<Step> steps;
};

class ServiceStateTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(ServiceStateTest, ReportsEachAllowedChange) {
    ServiceState state;
    int index = 0;
    for (const Step& step : GetParam().steps) {
        const Outcome outcome = apply(state, step.event);
        EXPECT_EQ(outcome.report, step.expectedReport) << "step " << index;
        EXPECT_EQ(outcome.signal, step.expectedSignal) << "step " << index;
        EXPECT_EQ(state.current(), step.expectedState) << "step " << index;
        ++index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ServiceStateTest,
    testing::Values(SequenceCase{"StopControlWhileRunning",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::Stopped, true, false, kStopped}}},
                    SequenceCase{"ServerEndsByItself",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::Stopped, true, false, kStopped}}},
                    SequenceCase{"StartCommandFails",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Stopped, true, false, kStopped}}},
                    SequenceCase{"StopControlAfterStoppedChangesNothing",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::Stopped, true, false, kStopped},
                                  {Event::StopControl, false, false, kStopped},
                                  {Event::Interrogate, false, false, kStopped}}},
                    SequenceCase{"StoppedIsReportedOnce",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Stopped, true, false, kStopped},
                                  {Event::Stopped, false, false, kStopped}}},
                    SequenceCase{"InterrogateReportsUnchanged",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Interrogate, true, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::Interrogate, true, false, kRunning},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::Interrogate, true, false, kStopPending}}},
                    SequenceCase{"SecondStopControlReportsAgain",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::StopControl, true, true, kStopPending}}},
                    SequenceCase{"RunningNeverFollowsStopPending",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::Running, false, false, kStopPending}}},
                    SequenceCase{"ControlBeforeTheServiceBeganIsIgnored",
                                 {{Event::StopControl, false, false, kNone},
                                  {Event::Begin, false, false, kStartPending}}}),
    [](const testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.name); });

// The handler's controls and the service thread's stopped report may come in
// any order. Whatever the order, once stopped has been reported no other
// state is reported after it.
TEST(ServiceStateTest, StoppedStaysTheLastReportInEveryInterleaving) {
    const std::vector<Event> handlerEvents = {Event::StopControl, Event::Interrogate,
                                              Event::StopControl};
    const std::size_t slots = handlerEvents.size() + 1;
    for (std::size_t stoppedAt = 0; stoppedAt < slots; ++stoppedAt) {
        ServiceState state;
        state.begin();
        ASSERT_TRUE(state.markRunning());
        std::vector<std::uint32_t> reported;
        std::size_t handlerIndex = 0;
        for (std::size_t slot = 0; slot < slots; ++slot) {
            const Event event = slot == stoppedAt ? Event::Stopped : handlerEvents[handlerIndex++];
            if (apply(state, event).report)
                reported.push_back(state.current());
        }
        ASSERT_FALSE(reported.empty());
        EXPECT_EQ(reported.back(), kStopped) << "stopped reported in slot " << stoppedAt;
    }
}

} // namespace
