#include "WholeFile.h"

#include <QFile>
#include <QSaveFile>

namespace qk::ui {

std::optional<std::string> ReadWholeFile(const QString& path, QString& error,
                                         std::optional<qint64> maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = maxBytes ? file.read(*maxBytes + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return bytes.toStdString();
}

bool WriteWholeFile(const QString& path, std::string_view bytes, QString& error) {
    QSaveFile file(path);
    const auto size = static_cast<qint64>(bytes.size());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), size) != size ||
        !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace qk::ui
