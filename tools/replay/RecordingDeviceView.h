#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ConversationText.h"
#include "DeviceView.h"

namespace qk::replay {

// The conversation format's escapes, under the names the replay has always used.
using qk::Escape;
using qk::Quote;
using qk::Unescape;

// A DeviceView without a window: every call is kept as text, such as
// SetStatusText(1,"ID:7") or SelectDeviceBaud(11), in the order it was made.
class RecordingDeviceView : public DeviceView {
  public:
    void SetStatusText(int part, std::string_view text) override;
    void SetLoginLabel(std::string_view text) override;
    void SetConfigModeLabel(std::string_view text) override;
    void SelectDeviceBaud(int index) override;
    void SelectProtocol(int index) override;
    void ShowMessage(std::string_view text) override;
    void UpdateControls() override;
    void UpdateState() override;
    void ScrollLogToEnd() override;

    const std::vector<std::string>& calls() const { return m_calls; }
    void clear() { m_calls.clear(); }

  protected:
    void Record(std::string call) { m_calls.push_back(std::move(call)); }

  private:
    std::vector<std::string> m_calls;
};

}  // namespace qk::replay
