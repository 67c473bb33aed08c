// Arbitrary bytes as one received block: the parse always ends, the information log grows
// by exactly the block, and the list positions stay ones the window can show.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "RecordingDeviceView.h"
#include "ResponseParser.h"
#include "ValueLists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view block(reinterpret_cast<const char*>(data), size);
    qk::DeviceState state;
    state.infoLog = "+ID:earlier\r\n";
    qk::replay::RecordingDeviceView view;
    qk::ResponseParser parser(state, view);
    parser.HandleBlock(block);

    if (state.infoLog != "+ID:earlier\r\n" + std::string(block)) {
        std::abort();
    }
    // List positions are an entry or -1, never anything else.
    if (state.deviceBaudIndex < -1 ||
        state.deviceBaudIndex >= static_cast<int>(qk::BaudRateList.size()) ||
        state.protocolIndex < -1 ||
        state.protocolIndex >= static_cast<int>(qk::ProtocolList.size())) {
        std::abort();
    }
    return 0;
}
