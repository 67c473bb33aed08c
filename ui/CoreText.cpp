#include "CoreText.h"

#include <span>

namespace qk::ui {
namespace {

constexpr const char* kContext = "CoreText";
// Longer texts are no message of the core's; matching them would only cost time.
constexpr qsizetype kLongestText = 4000;

// A text of the core's, with what goes into each %n, in order: v a value, n a name (a value
// without blanks, such as a parameter's), t a text, p a phrase, l a list of phrases (see
// CoreText), d a port's description. Shapes are tried in table
// order, so a narrow shape comes before a wider one that would also fit.
struct Shape {
    const char* source;
    const char* parts;
};

// clang-format off
constexpr Shape kShapes[] = {
    // The controller's captions, labels and messages.
    {QT_TRANSLATE_NOOP("CoreText", "Open"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Close"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Entering Config Mode..."), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Login"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Login fail!"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Log off"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Fail, Please try again!"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Device lost, port closed"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Cannot open: nothing is selected in the %1 list."), "l"},
    {QT_TRANSLATE_NOOP("CoreText", "Cannot open: nothing is selected in the %1 lists."), "l"},
    {QT_TRANSLATE_NOOP("CoreText", "COM"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Baud Rate"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Data Bits"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Parity"), ""},
    {QT_TRANSLATE_NOOP("CoreText",
                       "No answer to \"REQUEST CFG MODE\" at %1 baud in %2 s. The device may use "
                       "another line speed: Find Device... (in the window's context menu) and "
                       "qk4410-cli scan find it."), "vv"},
    {QT_TRANSLATE_NOOP("CoreText",
                       "No answer to \"REQUEST CFG MODE\" at %1 baud in %2 s. The device may use "
                       "another line speed: Find Device... (in the window's context menu) and "
                       "qk4410-cli scan find it. The port is open in %3 as well, which may take "
                       "the answers."), "vvl"},
    {QT_TRANSLATE_NOOP("CoreText", "Not sent: the journal cannot record the change (%1)."), "t"},
    {QT_TRANSLATE_NOOP("CoreText", "Not sent: %1."), "l"},
    {QT_TRANSLATE_NOOP("CoreText", "Login Key"), ""},
    // Parameters as the window's messages name them.
    {QT_TRANSLATE_NOOP("CoreText", "Status"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Version"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Device Baud Rate"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Dest. IP/Name"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Dest. Port"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Protocol"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Work Mode"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Heart Beat Interval"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Heart Beat Content"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "DNS Server IP"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Serial Data Bits"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Serial Parity"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Regist Packet"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Regist Packet Content"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Packet Gap"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Packet Size"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Reconnect Interval"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Reconnect Tries"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Offline Time"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Logout Packet"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Logout Packet Content"), ""},
    // Why a value was not sent.
    {QT_TRANSLATE_NOOP("CoreText", "no entry chosen"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "not in the list"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "holds a line break or zero byte"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "must be a port from 1 to 65535"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "must be one of %1"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "is %1 bytes in GBK, at most %2"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "cannot be set"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "the device's value came cut short, and is not written over"), ""},
    // The status bar.
    {QT_TRANSLATE_NOOP("CoreText", "field strength:%1  temperature:%2℃  Voltage:%3"), "vvv"},
    {QT_TRANSLATE_NOOP("CoreText", "Hardware Ver:%1,Software Ver:%2"), "vv"},

    // The serial port's failures and what lies behind them.
    {QT_TRANSLATE_NOOP("CoreText", "Open com failed!"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Write com failed"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "COM%1 stands for no device; port mapping: %2"), "vl"},
    {QT_TRANSLATE_NOOP("CoreText", "no serial ports found"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "COM%1=%2 (pinned)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "COM%1=%2"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "COM%1 (%2): %3"), "vvt"},
    {QT_TRANSLATE_NOOP("CoreText", "the line was hung up (the device or its adapter is gone)"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "%1; adapter: %2"), "td"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2; port mapping: %3"), "vtl"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is not a serial port (not a terminal device)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is locked by %2; also open in %3"), "vll"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is locked by %2"), "vl"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is in use by another program (not visible in %2, perhaps one of another user)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is in use by another program"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is in use by %2"), "vl"},
    {QT_TRANSLATE_NOOP("CoreText", "pid %1 (%2, this program)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "pid %1 (%2)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2 (mode %3, owner %4, group %5). Members of %6 may not read and write it, so joining the group would not help; only %7 and root may open it. a udev rule can give a group access, for example in %8 (then: %9)"), "vtvvvvvvv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2 (mode %3, owner %4, group %5). Members of %6 may not read and write it, so joining the group would not help; only root may open it. a udev rule can give a group access, for example in %7 (then: %8)"), "vtvvvvvv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2 (mode %3, owner %4, group %5). This program has group %6, which may read and write it: something else refuses access (an ACL or a security module)"), "vtvvvv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2 (mode %3, owner %4, group %5). %6 is in group %7, but this session started before that: log out and in again (a new group membership takes effect only after a new login)"), "vtvvvvv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2 (mode %3, owner %4, group %5). Members of %6 may open it, and %7 is not one: %8, then log out and in again (a new group membership takes effect only after a new login)"), "vtvvvvvv"},
    {QT_TRANSLATE_NOOP("CoreText", "this user"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "the port is not open"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "%1 is not open"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 (%2 of %3 bytes written)"), "tvv"},
    {QT_TRANSLATE_NOOP("CoreText", "timed out after %1 ms"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "stopped"), ""},
    // Every setting the line refused, one after the other.
    {QT_TRANSLATE_NOOP("CoreText", "%1; %2"), "pp"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2: %3"), "vpt"},
    {QT_TRANSLATE_NOOP("CoreText", "reading the line settings"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "raw mode"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "discarding queued bytes"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "line settings"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "queue sizes"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "timeouts"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "the line runs at %1 baud"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 baud"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 data bits are not possible (5 to 8)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "stop-bits code %1 is unknown (0, 1 or 2)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "parity code %1 is unknown (0 none, 1 odd, 2 even)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "no serial device stands behind it"), ""},
    // The system's texts for the errors a serial port meets, as glibc words them; a system
    // set up for Chinese gives its own.
    {QT_TRANSLATE_NOOP("CoreText", "Operation not permitted"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "No such file or directory"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Input/output error"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "No such device or address"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Resource temporarily unavailable"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Permission denied"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Device or resource busy"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "No such device"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Invalid argument"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Inappropriate ioctl for device"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Operation canceled"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Connection timed out"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Connection refused"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Connection reset by peer"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "No route to host"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "Broken pipe"), ""},

    // Profile problems.
    {QT_TRANSLATE_NOOP("CoreText", "line %1: %2"), "vp"},
    {QT_TRANSLATE_NOOP("CoreText", "the file is %1 bytes, more than a profile holds (%2)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "a profile format this program does not know: %1"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "the format line must come before the settings"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "expected NAME=VALUE, got %1"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "unknown name %1 (known: %2)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 given again (first on line %2)"), "vv"},
    {QT_TRANSLATE_NOOP("CoreText", "the profile names no setting"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "%1, and the device does not hold that value"), "p"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: a value cannot hold a line break or zero byte"), "n"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 %2, got %3"), "npv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1: %2"), "vp"},
    {QT_TRANSLATE_NOOP("CoreText", "not valid UTF-8"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "a character has no GBK form"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "unknown escape %1 (write a backslash as \\\\)"), "v"},
    // Items of lists: a parameter and why it was not sent.
    {QT_TRANSLATE_NOOP("CoreText", "%1 (%2)"), "pp"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 %2"), "np"},
};

// What the COM list says of the port behind a number, beyond names and numbers.
constexpr Shape kPortShapes[] = {
    {QT_TRANSLATE_NOOP("CoreText", "built-in port"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "built-in port (%1 UART)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "built-in port (UART type %1 UART)"), "v"},
    {QT_TRANSLATE_NOOP("CoreText", "USB serial adapter"), ""},
    {QT_TRANSLATE_NOOP("CoreText", "%1 (%2, serial %3)"), "tvv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 (serial %2)"), "tv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 (%2)"), "tv"},
    {QT_TRANSLATE_NOOP("CoreText", "%1 by %2"), "tv"},
};
// clang-format on

QString Tr(const char* source) {
    return QCoreApplication::translate(kContext, source);
}

// `shape` with %n replaced by parts[n - 1]; what a part holds is not looked at again.
QString Fill(const QString& shape, const QStringList& parts) {
    QString text;
    for (qsizetype i = 0; i < shape.size(); ++i) {
        if (shape[i] == u'%' && i + 1 < shape.size() && shape[i + 1].isDigit()) {
            const qsizetype n = shape[i + 1].digitValue();
            if (n >= 1 && n <= parts.size()) {
                text += parts[n - 1];
                ++i;
                continue;
            }
        }
        text += shape[i];
    }
    return text;
}

class Matcher {
  public:
    explicit Matcher(std::span<const Shape> shapes) : m_shapes(shapes) {}

    std::optional<QString> Known(const QString& text) const {
        if (text.size() > kLongestText) {
            return std::nullopt;
        }
        for (const Shape& shape : m_shapes) {
            if (auto parts = Fit(QString::fromUtf8(shape.source), shape.parts, text)) {
                return Fill(Tr(shape.source), *parts);
            }
        }
        return std::nullopt;
    }

    QString Any(const QString& text) const { return Known(text).value_or(text); }

  private:
    // The parts of `text` in the places of the shape's %n, each translated as its kind
    // says; nullopt when the text does not have this shape.
    std::optional<QStringList> Fit(const QString& shape, const char* kinds,
                                   const QString& text) const {
        // The shape's literal pieces around its places: pieces[0] %1 pieces[1] %2 ...
        QStringList pieces{QString()};
        for (qsizetype i = 0; i < shape.size(); ++i) {
            if (shape[i] == u'%' && i + 1 < shape.size() && shape[i + 1].isDigit()) {
                pieces << QString();
                ++i;
            } else {
                pieces.back() += shape[i];
            }
        }
        if (pieces.size() == 1) {
            return text == shape ? std::optional<QStringList>(QStringList{}) : std::nullopt;
        }
        if (!text.startsWith(pieces.front()) || !text.endsWith(pieces.back()) ||
            text.size() < pieces.front().size() + pieces.back().size()) {
            return std::nullopt;
        }
        QStringList parts;
        if (FitFrom(pieces, kinds, text, pieces.front().size(), 1, parts)) {
            return parts;
        }
        return std::nullopt;
    }

    // Places `place` (1-based) onwards, starting at `at` in `text`.
    bool FitFrom(const QStringList& pieces, const char* kinds, const QString& text, qsizetype at,
                 qsizetype place, QStringList& parts) const {
        const QString& after = pieces[place];
        const bool last = place + 1 == pieces.size();
        const qsizetype end = text.size() - (last ? after.size() : 0);
        // Every place the part could end: before each occurrence of the next piece, or, for
        // the last place, where the last piece begins.
        for (qsizetype stop = last ? end : text.indexOf(after, at); stop >= at && stop <= end;
             stop = last ? -1 : text.indexOf(after, stop + 1)) {
            const QString part = text.mid(at, stop - at);
            const auto shown = Part(kinds[place - 1], part);
            if (!shown) {
                continue;
            }
            parts << *shown;
            if (last || FitFrom(pieces, kinds, text, stop + after.size(), place + 1, parts)) {
                return true;
            }
            parts.removeLast();
        }
        return false;
    }

    std::optional<QString> Part(char kind, const QString& part) const {
        switch (kind) {
            case 'v':
                return part;
            case 'n':
                return part.isEmpty() || part.contains(u' ') ? std::nullopt
                                                             : std::optional<QString>(part);
            case 't':
                return Any(part);
            case 'p':
                return part.isEmpty() ? std::nullopt : Known(part);
            case 'l':
                return List(part);
            case 'd':
                return CoreText::PortDescription(part);
            default:
                return std::nullopt;
        }
    }

    // Phrases joined by ", ", split where every piece is a phrase the catalogue knows, the
    // first piece as short as it can be: a wide shape ("%1 %2") would otherwise take two
    // phrases for one.
    std::optional<QString> List(const QString& text) const {
        static const QString separator = QStringLiteral(", ");
        for (qsizetype at = text.indexOf(separator); at > 0; at = text.indexOf(separator, at + 1)) {
            const auto first = Known(text.left(at));
            if (!first) {
                continue;
            }
            if (const auto rest = List(text.mid(at + separator.size()))) {
                return *first + Tr(QT_TRANSLATE_NOOP("CoreText", ", ")) + *rest;
            }
        }
        return Known(text);
    }

    std::span<const Shape> m_shapes;
};

}  // namespace

QString CoreText::Translate(const QString& english) {
    return Matcher(kShapes).Any(english);
}

std::optional<QString> CoreText::TryTranslate(const QString& english) {
    return Matcher(kShapes).Known(english);
}

QString CoreText::PortDescription(const QString& english) {
    return Matcher(kPortShapes).Any(english);
}

}  // namespace qk::ui
