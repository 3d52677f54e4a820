// Which state changes the service reports, from its own thread and from the
// control handler.
#include "ServiceState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace service_state;

enum class Event { Begin, Running, StopControl, Shutdown, Preshutdown, Interrogate, Stopped };

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
    case Event::StopControl:
    case Event::Shutdown:
    case Event::Preshutdown:
    case Event::Interrogate: {
        const std::uint32_t codes[] = {kControlStop, kControlShutdown, kControlPreshutdown,
                                       kControlInterrogate};
        const ControlOutcome outcome =
            state.control(codes[static_cast<int>(event) - static_cast<int>(Event::StopControl)]);
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
                                  {Event::Preshutdown, false, false, kStopped},
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
                    // The system's shutdown stops the service as a stop control does.
                    SequenceCase{"SecondStopControlReportsAgain",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::Running, true, false, kRunning},
                                  {Event::Preshutdown, true, true, kStopPending},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::Shutdown, true, true, kStopPending}}},
                    SequenceCase{"RunningNeverFollowsStopPending",
                                 {{Event::Begin, false, false, kStartPending},
                                  {Event::StopControl, true, true, kStopPending},
                                  {Event::Running, false, false, kStopPending}}},
                    SequenceCase{"ControlBeforeTheServiceBeganIsIgnored",
                                 {{Event::StopControl, false, false, kNone},
                                  {Event::Begin, false, false, kStartPending}}}),
    [](const testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.name); });

struct Recorder {
    std::vector<StatusReport> reports;
};

void record(const StatusReport& report, void* context) {
    // A slow report leaves the other thread time to change the state between
    // this report's change and its record: only the lock keeps it out.
    if (report.state != kStopped)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    static_cast<Recorder*>(context)->reports.push_back(report);
}

// The service's thread reports running and stopped while the dispatcher's
// thread sends controls, on real threads, as the program runs them.
TEST(ReportedServiceStateTest, StoppedIsReportedOnceAndLastWhileControlsArrive) {
    for (int round = 0; round < 100; ++round) {
        std::mutex lock;
        Recorder recorder;
        ReportedServiceState<std::mutex> state(lock, record, &recorder);
        std::atomic<bool> go{false};
        std::atomic<bool> serviceDone{false};
        std::thread handler([&] {
            while (!go) {
            }
            // A few controls more once the service's thread is done.
            for (int sent = 0, after = 0; after < 3; ++sent) {
                if (serviceDone)
                    ++after;
                state.control(sent % 2 == 0 ? kControlStop : kControlInterrogate);
            }
        });
        go = true;
        state.begin();
        state.markRunning();
        state.markStopped(ExitCodes{kServiceSpecificError, 7});
        serviceDone = true;
        handler.join();

        const std::vector<StatusReport>& reports = recorder.reports;
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().state, kStopped) << "round " << round;
        EXPECT_EQ(reports.back().win32ExitCode, kServiceSpecificError);
        EXPECT_EQ(reports.back().serviceSpecificExitCode, 7u);
        const auto stoppedReports =
            std::count_if(reports.begin(), reports.end(),
                          [](const StatusReport& report) { return report.state == kStopped; });
        EXPECT_EQ(stoppedReports, 1) << "round " << round;
        for (std::size_t i = 0; i + 1 < reports.size(); ++i)
            EXPECT_EQ(reports[i].win32ExitCode, 0u) << "round " << round << ", report " << i;
    }
}

// The system waits for a stop as long as each report of stop pending brings a
// new checkpoint within its wait hint; stopped ends the count. Progress outside
// a stop is not reported.
TEST(ReportedServiceStateTest, StopPendingCountsCheckpointsUntilStopped) {
    std::mutex lock;
    Recorder recorder;
    ReportedServiceState<std::mutex> state(lock, record, &recorder);
    state.begin();
    state.progress();
    state.markRunning();
    state.progress();
    EXPECT_EQ(state.stopControl(), 0u);
    state.control(kControlPreshutdown);
    state.progress();
    state.control(kControlStop);
    state.progress();
    state.markStopped();
    state.progress();
    using Seen = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>; // state, checkpoint, hint
    std::vector<Seen> seen;
    for (const StatusReport& report : recorder.reports)
        seen.emplace_back(report.state, report.checkPoint, report.waitHint);
    const std::vector<Seen> expected = {Seen{kRunning, 0, 0},
                                        Seen{kStopPending, 1, kStopPendingWaitHint},
                                        Seen{kStopPending, 2, kStopPendingWaitHint},
                                        Seen{kStopPending, 2, kStopPendingWaitHint},
                                        Seen{kStopPending, 3, kStopPendingWaitHint},
                                        Seen{kStopped, 0, 0}};
    EXPECT_EQ(seen, expected);
    // The log names the control that asked first.
    EXPECT_EQ(state.stopControl(), kControlPreshutdown);
}

TEST(ServiceControlsTest, PreshutdownWhereTheSystemOffersItShutdownElsewhere) {
    EXPECT_EQ(acceptedControls(true), 0x101u);
    EXPECT_EQ(acceptedControls(false), 0x5u);
}

// A control the handler does not act on is not answered as carried out.
TEST(ServiceControlsTest, HandledControlsAnswerNoErrorOthersNotImplemented) {
    const struct {
        std::uint32_t code;
        std::uint32_t result;
    } cases[] = {{kControlStop, kNoError},        {kControlShutdown, kNoError},
                 {kControlPreshutdown, kNoError}, {kControlInterrogate, kNoError},
                 {2, kCallNotImplemented},        {128, kCallNotImplemented}};
    for (const auto& c : cases)
        EXPECT_EQ(controlResult(c.code), c.result) << c.code;
}

TEST(ServiceExitCodesTest, FailuresCarryAnErrorAndACleanEndNone) {
    const struct {
        ServiceEnd end;
        std::uint32_t detail;
        std::uint32_t win32;
        std::uint32_t serviceSpecific;
    } cases[] = {
        {ServiceEnd::StartFailed, 2, 2, 0}, // the file is missing
        {ServiceEnd::StartFailed, 0, kServiceSpecificError, kNoStartCommand},
        {ServiceEnd::ServerEnded, 0, 0, 0},
        {ServiceEnd::ServerEnded, 0xC0000005, kServiceSpecificError, 0xC0000005},
        {ServiceEnd::RestartsRanOut, 0, kServiceSpecificError, kRestartsRanOut},
        {ServiceEnd::ServerOutlivedStop, 0, kServiceSpecificError, kServerOutlivedStop},
    };
    for (const auto& c : cases) {
        const ExitCodes codes = exitCodesFor(c.end, c.detail);
        EXPECT_EQ(codes.win32, c.win32) << static_cast<int>(c.end) << " " << c.detail;
        EXPECT_EQ(codes.serviceSpecific, c.serviceSpecific)
            << static_cast<int>(c.end) << " " << c.detail;
    }
}

} // namespace
