// Service control: the stop and start waits, their lines, the time-outs
// after exactly 60 polls, and the failures on the way.
#include <gtest/gtest.h>

#include "platform/sim/registry_util.h"
#include "support/scenario.h"
#include "system/service_control.h"

namespace zc::test {
namespace {

const wchar_t* kLog = L"C:\\Temp\\svc.log";

class ServiceControlTest : public ::testing::Test {
 protected:
  ServiceControlTest() {
    sim::WriteText(m.machine().nativeRegistry(), kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Spooler",
                   L"DisplayName", L"Print Spooler");
    log.Open(m.machine().fs(), kLog);
    m.machine().faults().RecordCalls(true);
  }
  void Behave(std::uint32_t state, int startPolls, int stopPolls) {
    m.machine().services().SetBehaviour(L"Spooler", sim::ServiceBehaviour{state, startPolls, stopPolls});
  }
  std::string Log() { return m.ReadFile(kLog); }
  int Polls() {
    int n = 0;
    for (const auto& [op, target] : m.machine().faults().recorded()) n += op == "QueryServiceStatusEx";
    return n;
  }
  std::int32_t Restart() {
    ServiceControl control(log, m.machine().services(), m.machine().system());
    return control.Restart(L"Spooler");
  }

  ScenarioMachine m;
  OperationLog log;
};

TEST_F(ServiceControlTest, RestartOfARunningServiceWritesEachStateOnce) {
  Behave(svcstate::kRunning, 3, 4);
  EXPECT_EQ(Restart(), 0);
  EXPECT_EQ(Log(), CrLf({"Restarting service: Spooler", "Stopping service: Spooler", "...SERVICE_STOP_PENDING",
                         "...SERVICE_STOPPED", "Starting service: Spooler", "...SERVICE_START_PENDING",
                         "...SERVICE_RUNNING", ""}));
  EXPECT_EQ(m.machine().services().StateOf(L"Spooler"), svcstate::kRunning);
  EXPECT_EQ(m.machine().services().openHandles(), 0u);
}

TEST_F(ServiceControlTest, RestartOfAStoppedOrStoppingServiceGoesStraightToTheStart) {
  Behave(svcstate::kStopped, 0, 0);
  EXPECT_EQ(Restart(), 0);
  EXPECT_EQ(Log(), CrLf({"Restarting service: Spooler", "Stopping service: Spooler",
                         "Cannot stop service as it is in a stopped state already: SERVICE_STOPPED",
                         "Starting service: Spooler", "...SERVICE_RUNNING", ""}));
}

TEST_F(ServiceControlTest, AServiceThatNeverLeavesStartPendingMakesExactly60Polls) {
  Behave(svcstate::kStopped, -1, 0);
  const auto slept = m.machine().system().sleptMilliseconds();
  ServiceControl control(log, m.machine().services(), m.machine().system());
  EXPECT_EQ(control.Start(L"Spooler"), 2);
  EXPECT_EQ(Polls(), 60);
  EXPECT_EQ(m.machine().system().sleptMilliseconds() - slept, 30000u);
  EXPECT_EQ(Log(), CrLf({"Starting service: Spooler", "...SERVICE_START_PENDING",
                         "...timeout waiting for service to start", ""}));
}

TEST_F(ServiceControlTest, AStopThatTimesOutIsNotFollowedByAStart) {
  Behave(svcstate::kRunning, 0, -1);
  EXPECT_EQ(Restart(), 3);
  EXPECT_EQ(Polls(), 61);  // the state read before the stop, then 60 polls
  EXPECT_EQ(m.machine().services().starts(), 0);
  // It ran before and does not now: the log says so.
  EXPECT_EQ(Log(), CrLf({"Restarting service: Spooler", "Stopping service: Spooler", "...SERVICE_STOP_PENDING",
                         "...timeout waiting for service to stop",
                         "The service Spooler was running before the restart and is not running now: "
                         "SERVICE_STOP_PENDING",
                         ""}));
}

// A restart that finds the service stopping waits for the stop to end and
// then starts it: a spooler that ran is running again.
TEST_F(ServiceControlTest, AStopUnderWayIsWaitedForAndTheServiceStartedAgain) {
  Behave(svcstate::kStopPending, 0, 3);
  EXPECT_EQ(Restart(), 0);
  EXPECT_EQ(m.machine().services().starts(), 1);
  EXPECT_EQ(m.machine().services().StateOf(L"Spooler"), svcstate::kRunning);
  EXPECT_EQ(Log(), CrLf({"Restarting service: Spooler", "Stopping service: Spooler",
                         "Cannot stop service as it is in a stopped state already: SERVICE_STOP_PENDING",
                         "...SERVICE_STOP_PENDING", "...SERVICE_STOPPED", "Starting service: Spooler",
                         "...SERVICE_RUNNING", ""}));
}

// A start that fails after a stop leaves the service stopped, and says so.
TEST_F(ServiceControlTest, AStartThatFailsAfterTheStopIsTold) {
  Behave(svcstate::kRunning, 0, 0);
  m.machine().faults().Add(sim::FaultRule{"StartService", L"*", err::kAccessDenied, -1});
  EXPECT_EQ(Restart(), 5);
  EXPECT_EQ(Log(),
            CrLf({"Restarting service: Spooler", "Stopping service: Spooler", "Starting service: Spooler",
                  "Failed to start service with error: 5",
                  "The service Spooler was running before the restart and is not running now: SERVICE_STOPPED", ""}));
}

TEST_F(ServiceControlTest, AStopAnsweredWithStoppedNeedsNoPoll) {
  Behave(svcstate::kRunning, 0, 0);
  ServiceControl control(log, m.machine().services(), m.machine().system());
  EXPECT_EQ(control.Stop(L"Spooler"), 0);
  EXPECT_EQ(Polls(), 1);
  EXPECT_EQ(Log(), "Stopping service: Spooler\r\n");
}

TEST_F(ServiceControlTest, FailuresAreLoggedAndReturned) {
  ServiceControl control(log, m.machine().services(), m.machine().system());
  EXPECT_EQ(control.Restart(L"NoSuchService"), 1060);
  Behave(svcstate::kRunning, 0, 0);
  m.machine().faults().Add(sim::FaultRule{"ControlService", L"*", err::kAccessDenied, 1});
  EXPECT_EQ(control.Stop(L"Spooler"), 5);
  EXPECT_EQ(control.Start(L"Spooler"), 1056);  // already running
  EXPECT_EQ(Log(), CrLf({"Restarting service: NoSuchService", "Stopping service: NoSuchService",
                         "Failed to open service with error code: 1060", "Stopping service: Spooler",
                         "Failed to stop service with error: 5", "Starting service: Spooler",
                         "Failed to start service with error: 1056", ""}));
}

TEST_F(ServiceControlTest, AFailedManagerIsReportedOnceAndEveryOpeningFails) {
  m.machine().faults().Add(sim::FaultRule{"OpenSCManager", L"*", err::kAccessDenied, -1});
  ServiceControl control(log, m.machine().services(), m.machine().system());
  EXPECT_NE(control.Restart(L"Spooler"), 0);
  const std::string text = Log();
  EXPECT_EQ(text.rfind("OpenSCManager failed with error: 5\r\nRestarting service: Spooler\r\nStopping service: "
                       "Spooler\r\nFailed to open service with error code: ",
                       0),
            0u)
      << text;
}

TEST_F(ServiceControlTest, AFailedQueryIsUnknownAndNeverEndsAWaitEarly) {
  Behave(svcstate::kStopped, 1, 0);
  m.machine().faults().Add(sim::FaultRule{"QueryServiceStatusEx", L"*", err::kAccessDenied, -1});
  ServiceControl control(log, m.machine().services(), m.machine().system());
  control.Start(L"Spooler");
  EXPECT_EQ(Polls(), 60);
  EXPECT_EQ(Log(), CrLf({"Starting service: Spooler", "...timeout waiting for service to start", ""}));
  EXPECT_STREQ(ServiceControl::GetStateName(0), L"Unknown");
  EXPECT_STREQ(ServiceControl::GetStateName(7), L"SERVICE_PAUSED");
  EXPECT_STREQ(ServiceControl::GetStateName(8), L"Unknown");
}

}  // namespace
}  // namespace zc::test
