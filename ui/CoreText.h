#pragma once

#include <QCoreApplication>
#include <QString>
#include <optional>

namespace qk::ui {

// The English texts the toolkit-free core hands the windows, in the windows' language:
// the controller's and the parser's labels and messages, the serial port's failures and
// their details, profile problems, port descriptions. The core stays English (the command
// line prints the same texts); the windows look each text up here, by its English source.
//
// Most texts are put together from parts ("Not sent: Dest. Port (must be a port from 1 to
// 65535)."), so the catalogue holds their shapes, with %1, %2, ... where the parts go.
// Each part is one of:
// - a value (a number, a path, a name, what the device or the system said), kept as it is;
// - a text, translated when the catalogue knows it, kept as it is otherwise (the system's
//   error texts, which a Chinese system already gives in Chinese);
// - a phrase, which the catalogue must know for the shape to fit;
// - a list of phrases joined by ", ".
// A text the catalogue does not know at all stays as it came: nothing is lost, it is only
// not translated. The device's own answers never come here.
//
// It does not decide what the core says, nor when the windows show it.
class CoreText {
    Q_DECLARE_TR_FUNCTIONS(CoreText)

  public:
    static QString Translate(const QString& english);
    // A port's description in the COM list ("USB serial adapter (0403:6001)").
    static QString PortDescription(const QString& english);

    // The translation when the catalogue knows the text, whole; nullopt otherwise.
    static std::optional<QString> TryTranslate(const QString& english);
};

}  // namespace qk::ui
