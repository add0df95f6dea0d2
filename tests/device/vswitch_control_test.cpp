// The virtual SwitchUnit's command language, which the end-to-end tests and scripts drive.

#include "tools/vswitch/control.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/device/device_test_support.h"

namespace qx {
namespace {

class ControlTest : public ::testing::Test {
 protected:
  ControlTest() : sw_(test::OwnSession("ctl")) {}
  void SetUp() override { ASSERT_TRUE(sw_.Start()); }
  std::string Run(const std::string& line) { return vswitch::ExecuteCommand(sw_, line); }
  vswitch::VirtualSwitch sw_;
};

TEST_F(ControlTest, CommandsAndTheirAnswers) {
  const struct {
    const char* command;
    const char* answer;  // the answer's beginning
  } steps[] = {
      {"status", "error no device in slot 0"},
      {"add aaaa ef02", "ok 0"},
      {"add 1234 5678 0002 unopenable unplugged", "ok 1"},
      {"add aaaa ef02 zerodetail", "ok 2"},
      {"add aaaa", "error usage"},
      {"add aaaa zzzz", "error bad PID"},
      {"count 368", "ok"},
      {"status", "ok plugged=1 open=0 opens=0 outlets=0x00 reports=0 reads=0 rate=0 report=00 70 01"},
      {"count -160", "ok"},
      {"status", "ok plugged=1 open=0 opens=0 outlets=0x00 reports=0 reads=0 rate=0 report=00 60 ff"},
      {"count 70000", "error usage"},
      {"raw 00 80", "ok"},
      {"status", "ok plugged=1 open=0 opens=0 outlets=0x00 reports=0 reads=0 rate=0 report=00 80"},
      {"raw 00 1ff", "error bad byte 1ff"},
      {"rate 2.5", "ok"},
      {"rate -1", "error rate"},
      {"@1 status", "ok plugged=0"},
      {"@1 plug", "ok"},
      {"@1 status", "ok plugged=1"},
      {"@7 plug", "error no device in slot 7"},
      {"@x plug", "error bad slot"},
      {"log", "ok 0"},
      {"wait-reports 1 10", "error timeout"},
      {"unplug", "ok"},
      {"list", "ok 3\n0 aaaa:ef02:0100 device plugged=0"},
      {"freq", "ok "},
      {"dance", "error unknown command dance"},
      {"", "error empty command"},
  };
  for (const auto& step : steps) {
    const std::string answer = Run(step.command);
    EXPECT_EQ(answer.rfind(step.answer, 0), 0u) << step.command << " -> " << answer;
  }
  EXPECT_NE(Run("list").find("\n1 1234:5678:0002 unopenable plugged=1"), std::string::npos);
  EXPECT_NE(Run("list").find("\n2 aaaa:ef02:0100 zerodetail"), std::string::npos);
}

TEST_F(ControlTest, ThePipeCarriesCommandsAndQuit) {
  vswitch::ControlServer server(sw_);
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(vswitch::SendControlCommand(sw_.session(), "add aaaa ef02"), "ok 0");
  EXPECT_EQ(vswitch::SendControlCommand(sw_.session(), "@0 unplug"), "ok");
  EXPECT_FALSE(sw_.Status(0).plugged);
  EXPECT_FALSE(server.QuitRequested());
  EXPECT_EQ(vswitch::SendControlCommand(sw_.session(), "quit"), "ok");
  EXPECT_TRUE(server.QuitRequested());
  server.Stop();
  EXPECT_EQ(vswitch::SendControlCommand(sw_.session(), "status", 100).rfind("error no vswitch", 0), 0u);
}

TEST_F(ControlTest, ASessionServedByAnotherLiveProcessIsNotTakenOver) {
  // A simulator of this process may follow one that stopped.
  sw_.Stop();
  {
    vswitch::VirtualSwitch next(sw_.session());
    EXPECT_TRUE(next.Start());
  }
  // One of another process that still runs keeps its session.
  const std::string session = sw_.session() + "-other";
  test::VswitchProcess other(session);
  ASSERT_TRUE(other.Started());
  ASSERT_TRUE(other.Ok("status"));
  vswitch::VirtualSwitch intruder(session);
  EXPECT_FALSE(intruder.Start());
  EXPECT_TRUE(other.Ok("status"));
}

}  // namespace
}  // namespace qx
