#include "CliFrontEnd.h"

#include "ConfigController.h"
#include "ConsoleText.h"

namespace qk::cli {

CliFrontEnd::CliFrontEnd(DeviceState& state, const CliOptions& options, std::ostream& err)
    : m_state(state), m_options(options), m_err(err) {}

void CliFrontEnd::ShowMessage(std::string_view text) {
    if (text == "Login fail!") {
        m_loginRefused = true;
    }
    m_err << "qk4410-cli: " << GbkToDisplay(text) << std::endl;
}

void CliFrontEnd::UpdateState() {
    m_state.loginKey = m_options.loginKey;
}

SerialSelection CliFrontEnd::GetSerialSelection() {
    return {m_options.comNumber - 1, m_options.baudIndex, m_options.dataBitsIndex,
            m_options.parityIndex};
}

void CliFrontEnd::ShowLineLost(std::string_view reason) {
    m_lineLost = true;
    SerialError(kLineLost, reason);
}

void CliFrontEnd::SerialError(std::string_view message, std::string_view detail) {
    m_err << "qk4410-cli: " << message;
    if (!detail.empty()) {
        m_err << " (" << detail << ")";
    }
    m_err << std::endl;
}

}  // namespace qk::cli
