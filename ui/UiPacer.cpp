#include "UiPacer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <thread>

namespace qk::ui {

void UiPacer::Pause(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) {
        return;
    }
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        std::this_thread::sleep_for(duration);
        return;
    }
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    wake.start(duration);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qk::ui
