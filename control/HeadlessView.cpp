#include "HeadlessView.h"

#include "ConfigController.h"
#include "DeviceText.h"
#include "ResponseParser.h"
#include "ValueLists.h"

namespace qk {

HeadlessView::HeadlessView(DeviceState& state, SerialSelection selection, std::string loginKey,
                           SessionReporter& reporter)
    : m_state(state),
      m_selection(selection),
      m_loginKey(std::move(loginKey)),
      m_reporter(reporter) {}

void HeadlessView::ShowMessage(std::string_view gbk) {
    if (gbk == kLoginFailed) {
        m_loginRefused = true;
    }
    Report(GbkToDisplay(gbk));
}

void HeadlessView::Report(std::string_view utf8) {
    m_lastProblem = utf8;
    m_reporter.Problem(utf8);
}

void HeadlessView::SetConfigModeLabel(std::string_view text) {
    if (text == kEnteringConfigMode) {
        m_reporter.Progress("switching the device into configuration mode at " +
                            std::string(EntryAt(BaudRateList, m_selection.baudIndex)) + " baud");
    } else if (text == kConfigModeEntered) {
        m_reporter.Progress("reading the parameters");
    }
}

void HeadlessView::UpdateState() {
    m_state.loginKey = m_loginKey;
}

void HeadlessView::ShowFailure(std::string_view message, std::string_view detail) {
    Report(GbkToDisplay(message) + " " + std::string(detail));
}

void HeadlessView::ShowLineLost(std::string_view reason) {
    m_lineLost = true;
    SerialError(kLineLost, reason);
}

void HeadlessView::SerialError(std::string_view message, std::string_view detail) {
    // The port's texts are the system's, not the device's: paths may hold any byte.
    Report(detail.empty() ? std::string(message)
                          : std::string(message) + " (" + EscapeBytes(detail) + ")");
}

}  // namespace qk
