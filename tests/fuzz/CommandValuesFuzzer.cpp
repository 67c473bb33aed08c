// Arbitrary record values through the controller's command sequences: nothing outside the
// value lists, and no CR, LF or zero byte inside a value, ever reaches the wire.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ConfigController.h"
#include "FakeSerialLink.h"
#include "RecordingControllerView.h"
#include "ValueLists.h"
#include "VirtualPacer.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    int Integer() {
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | Byte();
        }
        // Mostly small numbers, so list positions are hit often.
        return (value & 0x100) ? value : static_cast<int>(static_cast<std::int8_t>(value & 0xFF)) % 5;
    }
    std::string Text() {
        const std::size_t length = Byte() % 16;
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text += static_cast<char>(Byte());
        }
        return text;
    }

private:
    std::uint8_t Byte() { return m_position < m_size ? m_data[m_position++] : 0; }
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

bool InList(qk::ValueList list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

const std::string_view kDigits01[] = {"0", "1"};
const std::string_view kDigits123[] = {"1", "2", "3"};

void CheckCommand(const std::string& command) {
    // One command: a text, "=", a value, one CR LF at the very end and nowhere else.
    if (command.size() < 3 || !command.ends_with("\r\n") ||
        command.find_first_of(std::string_view("\r\n\0", 3)) != command.size() - 2) {
        std::abort();
    }
    const auto equals = command.find('=');
    const std::string_view name(command.data(), equals);
    const std::string_view value(command.data() + equals + 1, command.size() - equals - 3);
    if (name == "QK+BAUD" && !InList(qk::BaudRateList, value)) std::abort();
    if (name == "QK+PROTOCOL" && !InList(qk::ProtocolList, value)) std::abort();
    if (name == "QK+DATAB" && !InList(qk::DataBitsList, value)) std::abort();
    if (name == "QK+CHECKB" && !InList(qk::ParityList, value)) std::abort();
    if ((name == "QK+WORKTYPE" || name == "QK+EN_ENROL") && !InList(kDigits01, value)) std::abort();
    if (name == "QK+HEARTIME" && !InList(kDigits123, value)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    qk::DeviceState state;
    qk::test::VirtualPacer pacer;
    qk::test::FakeSerialLink port(pacer);
    qk::test::RecordingControllerView view;
    qk::BlockHandover handover([](std::string&&) {});
    qk::ReceiveLoop loop(port, handover);
    qk::ConfigController controller(port, state, view, pacer, loop);

    port.QueueReply(std::string(qk::kHandshakeReply));
    controller.ToggleOpen();
    port.clearWrites();

    state.loggedIn = true;
    qk::AdvancedParams& a = state.advanced;
    // A braced list takes the input in the order written.
    std::tie(state.deviceBaudIndex, state.protocolIndex, state.destAddress, state.destPort,
             state.loginKey, a.workType, a.heartbeatCode, a.heartbeatData, a.dnsServer, a.dataBits,
             a.parity, a.registerEnable, a.registerData) =
        std::tuple{input.Integer(), input.Integer(), input.Text(), input.Text(), input.Text(),
                   input.Integer(), input.Integer(), input.Text(), input.Text(), input.Text(),
                   input.Text(),    input.Integer(), input.Text()};

    controller.Login();
    controller.SetParameters();
    controller.SetAdvancedParameters();
    for (const auto& command : port.written()) {
        CheckCommand(command);
    }
    controller.Shutdown();
    return 0;
}
