#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "PortDiagnostics.h"
#include "PseudoTerminal.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A fake /proc: pid 4242 holds the pty, pid 99 holds something else.
class FakeProc {
public:
    explicit FakeProc(const std::string& device) {
        AddProcess(4242, "minicom", {"/dev/null", device});
        AddProcess(99, "bash", {"/dev/null"});
        fs::create_directories(root() / "self" / "fd");
        fs::create_symlink(device, root() / "self" / "fd" / "3");  // not a pid: skipped
    }
    fs::path root() const { return m_dir.path(); }

private:
    void AddProcess(int pid, const std::string& comm, const std::vector<std::string>& files) {
        const fs::path dir = root() / std::to_string(pid);
        fs::create_directories(dir / "fd");
        std::ofstream(dir / "comm") << comm << "\n";
        for (std::size_t i = 0; i < files.size(); ++i) {
            fs::create_symlink(files[i], dir / "fd" / std::to_string(i + 3));
        }
    }
    test::TempDir m_dir;
};

TEST(PortDiagnostics, FindsWhoHoldsTheDevice) {
    sim::PseudoTerminal pty;
    const FakeProc proc(pty.slavePath());
    const auto holders = FindPortHolders(pty.slavePath(), proc.root());
    ASSERT_EQ(holders.size(), 1u);
    EXPECT_EQ(holders[0].pid, 4242);
    EXPECT_EQ(holders[0].command, "minicom");
    EXPECT_EQ(DescribeHeldPort(pty.slavePath(), proc.root()),
              pty.slavePath() + " is in use by pid 4242 (minicom)");
}

TEST(PortDiagnostics, HolderNotVisible) {
    sim::PseudoTerminal pty;
    const test::TempDir emptyProc;
    EXPECT_TRUE(
        Contains(DescribeHeldPort(pty.slavePath(), emptyProc.path()), "in use by another program"));
}

TEST(PortDiagnostics, AccessDeniedNamesTheDevicesGroup) {
    struct stat node {};
    ASSERT_EQ(stat("/dev/null", &node), 0);
    const group* owner = getgrgid(node.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string text = DescribeAccessDenied("/dev/null");
    EXPECT_TRUE(Contains(text, "/dev/null: Permission denied")) << text;
    EXPECT_TRUE(Contains(text, std::string("belongs to group ") + owner->gr_name)) << text;
    if (getegid() != node.st_gid) {
        EXPECT_TRUE(Contains(text, "new login")) << text;
    }
    // Not a device: no group story to tell.
    const test::TempDir dir;
    EXPECT_EQ(DescribeAccessDenied(dir.path().string()),
              dir.path().string() + ": Permission denied");
}

}  // namespace
}  // namespace qk
