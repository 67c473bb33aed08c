// The measurement helpers bench/run relies on: a wrong percentile or a stream check that
// misses a gap would make every figure and every "0 bytes lost" meaningless.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "DataStreamCheck.h"
#include "DeviceModel.h"
#include "Measure.h"

namespace {

using qk::bench::DataStreamCheck;
using qk::sim::DeviceModel;

// The first `count` lines the device streams.
std::vector<std::string> Stream(int count) {
    DeviceModel device;
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back(device.NextDataLine());
    }
    return lines;
}

TEST(Percentile, NearestRank) {
    const std::vector<double> samples = {5, 1, 4, 2, 3, 10, 9, 8, 7, 6};
    EXPECT_EQ(qk::bench::Percentile(samples, 50), 5);
    EXPECT_EQ(qk::bench::Percentile(samples, 99), 10);
    EXPECT_EQ(qk::bench::Percentile(samples, 100), 10);
    EXPECT_EQ(qk::bench::Percentile(samples, 0), 1);
    EXPECT_EQ(qk::bench::Percentile({}, 50), 0);
}

TEST(DataStreamCheck, CountsLostAndCorruptLines) {
    const auto lines = Stream(10);
    struct Case {
        const char* name;
        std::string log;
        std::uint64_t lines, lost, corrupt;
    };
    std::string corrupted = lines[3];
    corrupted[20] = '#';
    std::string farAhead = lines[1];
    farAhead[6] = '5';  // +DATA:500001
    const std::vector<Case> cases = {
        {"whole stream between answers",
         "CFG MODE\r+STAT:25,36,330\r\n" + lines[0] + lines[1] + "+ID:1\r\n" + lines[2], 3, 0, 0},
        {"two lines missing", lines[0] + lines[1] + lines[4] + lines[5], 4, 2, 0},
        {"first lines missing", lines[2] + lines[3], 2, 2, 0},
        {"filler changed", lines[2] + corrupted + lines[4], 3, 2, 1},
        {"cut line joined to the next", lines[0] + lines[1].substr(0, 10) + lines[2] + lines[3], 3,
         2, 1},
        {"number far ahead is corrupt, not a gap", lines[0] + farAhead + lines[1], 3, 0, 1},
        {"unfinished last line ignored", lines[0] + lines[1].substr(0, 30), 1, 0, 0},
    };
    for (const Case& c : cases) {
        const auto result = DataStreamCheck::Check(c.log);
        EXPECT_EQ(result.lines, c.lines) << c.name;
        EXPECT_EQ(result.lost, c.lost) << c.name;
        EXPECT_EQ(result.corrupt, c.corrupt) << c.name;
    }
}

TEST(Measure, SeesThisProcess) {
    EXPECT_GT(qk::bench::ResidentBytes(), 0u);
    EXPECT_GE(qk::bench::CpuSeconds(), 0);
    EXPECT_GE(qk::bench::CpuSecondsOf(getpid()), 0);
    EXPECT_LT(qk::bench::CpuSecondsOf(-1), 0);
}

}  // namespace
