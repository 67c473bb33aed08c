#include "CliFrontEnd.h"

#include "ConfigController.h"
#include "DeviceText.h"

namespace qk::cli {

CliFrontEnd::CliFrontEnd(DeviceState& state, const CliOptions& options, int comNumber,
                         std::ostream& err)
    : m_state(state), m_options(options), m_comNumber(comNumber), m_err(err) {}

void CliFrontEnd::ShowMessage(std::string_view text) {
    if (text == "Login fail!") {
        m_loginRefused = true;
    }
    Report(GbkToDisplay(text));
}

void CliFrontEnd::Report(std::string_view message) {
    m_lastProblem = message;
    m_err << "qk4410-cli: " << message << std::endl;
}

void CliFrontEnd::UpdateState() {
    m_state.loginKey = m_options.loginKey;
}

SerialSelection CliFrontEnd::GetSerialSelection() {
    return {m_comNumber - 1, m_options.baudIndex, m_options.dataBitsIndex, m_options.parityIndex};
}

void CliFrontEnd::ShowLineLost(std::string_view reason) {
    m_lineLost = true;
    SerialError(kLineLost, reason);
}

void CliFrontEnd::SerialError(std::string_view message, std::string_view detail) {
    Report(detail.empty() ? std::string(message)
                          : std::string(message) + " (" + std::string(detail) + ")");
}

}  // namespace qk::cli
