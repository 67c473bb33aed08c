#include "RecordingDeviceView.h"

namespace qk::replay {

void RecordingDeviceView::SetStatusText(int part, std::string_view text) {
    Record("SetStatusText(" + std::to_string(part) + "," + Quote(text) + ")");
}
void RecordingDeviceView::SetLoginLabel(std::string_view text) {
    Record("SetLoginLabel(" + Quote(text) + ")");
}
void RecordingDeviceView::SetConfigModeLabel(std::string_view text) {
    Record("SetConfigModeLabel(" + Quote(text) + ")");
}
void RecordingDeviceView::SelectDeviceBaud(int index) {
    Record("SelectDeviceBaud(" + std::to_string(index) + ")");
}
void RecordingDeviceView::SelectProtocol(int index) {
    Record("SelectProtocol(" + std::to_string(index) + ")");
}
void RecordingDeviceView::ShowMessage(std::string_view text) {
    Record("ShowMessage(" + Quote(text) + ")");
}
void RecordingDeviceView::UpdateControls() {
    Record("UpdateControls()");
}
void RecordingDeviceView::UpdateState() {
    Record("UpdateState()");
}
void RecordingDeviceView::ScrollLogToEnd() {
    Record("ScrollLogToEnd()");
}

}  // namespace qk::replay
