#include "commands/link_probe.h"

#include "commands/sim_rig.h"

namespace tavo::testing {
namespace {

using sim::FaultKind;

// The probe never writes under a name the organizer holds: it stops after a
// "dir" that failed, as the listing may be missing names, and otherwise
// names its memo apart from every listed one, whatever the case. Whatever
// goes wrong, the user's memos are as they were and the probe's memo is gone.
TEST(LinkProbe, LeavesTheUsersMemosAlone) {
  const struct {
    const char* what;
    std::optional<sim::Fault> fault;
    bool dir_ok;
    bool passed;
  } cases[] = {
      {"none", std::nullopt, true, true},
      {"case", sim::Fault{FaultKind::kOtherCase, 1}, true, true},
      {"silence", sim::Fault{FaultKind::kSilence, 1}, false, false},
      {"garble", sim::Fault{FaultKind::kGarble, 1}, false, false},
      {"drop", sim::Fault{FaultKind::kDropReply, 1}, false, false},
      {"hang-up at dir", sim::Fault{FaultKind::kHangUp, 1}, false, false},
      {"hang-up at put", sim::Fault{FaultKind::kHangUp, 2}, true, false},
  };
  const std::map<std::string, std::string> users = {{"tavoprobe", "the user's"},
                                                    {"TAVOPROBE2", "also the user's"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    rig.Put(users);
    if (c.fault) rig.organizer.InjectFault(*c.fault);
    ASSERT_EQ(rig.link.OpenPort(2, 4), 0);
    std::vector<std::string> reported;
    const commands::ProbeResult result = commands::ProbeLink(
        rig.link, [&](const commands::ProbeStep& step) { reported.push_back(step.exchange); });
    rig.link.ClosePort();
    rig.organizer.Restart();

    EXPECT_EQ(result.Passed(), c.passed);
    ASSERT_FALSE(result.steps.empty());
    EXPECT_EQ(result.steps[0].ok, c.dir_ok);
    EXPECT_EQ(reported.size(), result.steps.size());
    if (!c.dir_ok) {
      EXPECT_EQ(result.steps.size(), 1u);
      EXPECT_EQ(result.memo, "");
      EXPECT_EQ(rig.organizer.Exchanges(), 1);  // nothing after "dir"
    } else {
      EXPECT_EQ(result.memo, "tavoprobe3");
    }
    EXPECT_EQ(rig.organizer.Texts(), users);
  }
}

}  // namespace
}  // namespace tavo::testing
