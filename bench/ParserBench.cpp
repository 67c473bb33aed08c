// Throughput of the answer parser on what a device really sends and on junk.
#include <benchmark/benchmark.h>

#include <random>

#include "BlockAssembler.h"
#include "DeviceModel.h"
#include "DeviceView.h"
#include "ResponseParser.h"

namespace {

// The answers to one Get Param.: fifteen lines.
const std::string kFullReply =
    "+STAT:25,36,330\r\n+ID:QK4520-000123\r\n+VER:QK4520-HWVERV1.2-SW-V2.3-B7\r\n"
    "+BAUD:9600\r\n+PIPADD:192.168.1.10\r\n+PPORT:5000\r\n+PROTOCOL:TCP\r\n"
    "+WORKTYPE:0\r\n+HEARTIME:1\r\n+HEARTDAT:\xD0\xC4\xCC\xF8\r\n+PDNS:8.8.8.8\r\n"
    "+DATAB:8\r\n+CHECKB:N\r\n+REGEN:0\r\n+ENROL:QK4520\r\n";

std::string Junk(std::size_t size) {
    std::mt19937 random(42);
    std::string junk(size, '\0');
    for (auto& c : junk) {
        c = static_cast<char>(random() & 0xFF);
    }
    junk[0] = '+';  // so the parser has to look at it
    junk.back() = '\n';
    return junk;
}

void Run(benchmark::State& run, const std::string& block) {
    qk::DeviceState state;
    qk::NullDeviceView view;
    qk::ResponseParser parser(state, view);
    for (auto _ : run) {
        state.infoLog.clear();
        parser.HandleBlock(block);
        benchmark::DoNotOptimize(state.destPort.data());
    }
    run.SetBytesProcessed(static_cast<int64_t>(run.iterations() * block.size()));
}

void BM_HandleBlock_FullReply(benchmark::State& run) {
    Run(run, kFullReply);
}
// The largest block a streaming device fills: whole "+DATA:" lines up to the receive buffer.
void BM_HandleBlock_DataLines2000(benchmark::State& run) {
    qk::sim::DeviceModel device;
    std::string block;
    while (block.size() + qk::sim::DeviceModel::kDataLineLength <= qk::BlockAssembler::kCapacity) {
        block += device.NextDataLine();
    }
    Run(run, block);
}
void BM_HandleBlock_Junk2000(benchmark::State& run) {
    Run(run, Junk(2000));
}
void BM_HandleBlock_ManyShortLines(benchmark::State& run) {
    std::string block;
    while (block.size() < 1900) {
        block += "+PPORT:5000\r\n";
    }
    Run(run, block);
}

BENCHMARK(BM_HandleBlock_FullReply);
BENCHMARK(BM_HandleBlock_DataLines2000);
BENCHMARK(BM_HandleBlock_Junk2000);
BENCHMARK(BM_HandleBlock_ManyShortLines);

}  // namespace

BENCHMARK_MAIN();
