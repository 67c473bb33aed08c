#include "DeviceStateFields.h"

namespace qk {

std::vector<NamedField> ListFields(const DeviceState& state) {
    const AdvancedParams& a = state.advanced;
    auto number = [](int value) { return std::to_string(value); };
    return {
        {"deviceBaudIndex", number(state.deviceBaudIndex)},
        {"protocolIndex", number(state.protocolIndex)},
        {"destAddress", state.destAddress},
        {"destPort", state.destPort},
        {"loginKey", state.loginKey},
        {"infoLog", state.infoLog},
        {"statusText0", state.statusText[0]},
        {"statusText1", state.statusText[1]},
        {"statusText2", state.statusText[2]},
        {"deviceId", state.deviceId},
        {"loggedIn", state.loggedIn ? "1" : "0"},
        {"workType", number(a.workType)},
        {"heartbeatCode", number(a.heartbeatCode)},
        {"heartbeatData", a.heartbeatData},
        {"dnsServer", a.dnsServer},
        {"dataBits", a.dataBits},
        {"parity", a.parity},
        {"packetGap", a.packetGap},
        {"packetSize", a.packetSize},
        {"registerEnable", number(a.registerEnable)},
        {"registerData", a.registerData},
        {"reconnectInterval", a.reconnectInterval},
        {"reconnectTries", a.reconnectTries},
        {"disconnectTime", a.disconnectTime},
        {"logoutEnable", number(a.logoutEnable)},
        {"logoutData", a.logoutData},
    };
}

std::optional<std::string> FieldValue(const DeviceState& state, std::string_view name) {
    for (auto& field : ListFields(state)) {
        if (field.name == name) {
            return std::move(field.value);
        }
    }
    return std::nullopt;
}

}  // namespace qk
