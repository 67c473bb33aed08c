#include "WarningBoxSink.h"

#include "CoreText.h"
#include "GbkText.h"
#include "OverrideCursor.h"

namespace qk::ui {

void WarningBoxSink::SerialError(std::string_view message, std::string_view detail) {
    // The cause is the system's text (device paths, errno messages), in the locale's
    // encoding rather than GBK.
    const QString cause = CoreText::Translate(
        QString::fromLocal8Bit(detail.data(), static_cast<qsizetype>(detail.size())));
    const auto arrow = OverrideCursor::ForOperator();
    m_presenter.Present(&m_owner,
                        {CoreText::Translate(FromGbk(message)), cause, Message::Icon::Warning});
}

}  // namespace qk::ui
