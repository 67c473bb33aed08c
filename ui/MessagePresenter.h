#pragma once

#include <QFont>
#include <QString>
#include <optional>

class QWidget;

namespace qk::ui {

// A message for the operator: the text, the cause when there is one (shown as the box's
// informative text) and whether it is a warning (the serial port's two errors) or a plain
// message (everything the windows and the controller report).
struct Message {
    enum class Icon { None, Warning };

    QString text;
    QString detail;
    Icon icon = Icon::None;
    // A font of its own for the text, whose lines are then shown as they are, never
    // wrapped (a table's columns, the command-line help); the box's font otherwise.
    std::optional<QFont> font = std::nullopt;
};

// Shows a modal message with a single OK button and returns when the operator has
// closed it. The windows get one injected: the program shows real message boxes, tests
// record the messages and answer them at once.
class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    virtual void Present(QWidget* owner, const Message& message) = 0;
};

}  // namespace qk::ui
