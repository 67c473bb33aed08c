// The advice beside "Open com failed!" for a device the user may not open: from the node's
// mode, owner and group and the user's groups, never a group that would not help.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PortDiagnostics.h"

namespace qk {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(PortDiagnosticsTest, AccessAdviceFollowsTheNodesPermissions) {
    struct Case {
        NodeAccess access;
        std::vector<std::string> says;
        std::vector<std::string> never;
    };
    const auto node = [](unsigned mode, const char* owner, const char* group, bool process,
                         bool listed) {
        return NodeAccess{"/dev/ttyUSB0", mode, owner, group, "alice", process, listed};
    };
    const Case cases[] = {
        // Nobody but root: no group helps, a udev rule does.
        {node(0600, "root", "root", false, false),
         {"(mode 0600, owner root, group root)", "only root may open it",
          "KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\""},
         {"usermod"}},
        {node(0640, "root", "dialout", false, false),
         {"Members of dialout may not read and write it", "only root may open it"},
         {"usermod"}},
        {node(0600, "bob", "dialout", false, false),
         {"only bob and root may open it"},
         {"usermod"}},
        {node(0660, "root", "dialout", false, false),
         {"sudo usermod -aG dialout alice", "log out and in again"},
         {"udev rule"}},
        {node(0660, "root", "dialout", false, true),
         {"alice is in group dialout, but this session started before that"},
         {"usermod"}},
        {node(0660, "root", "dialout", true, true), {"an ACL or a security module"}, {"usermod"}},
    };
    for (const auto& [access, says, never] : cases) {
        const std::string advice = AccessAdvice(access);
        for (const auto& text : says) {
            EXPECT_THAT(advice, HasSubstr(text));
        }
        for (const auto& text : never) {
            EXPECT_THAT(advice, Not(HasSubstr(text)));
        }
    }
}

}  // namespace
}  // namespace qk
