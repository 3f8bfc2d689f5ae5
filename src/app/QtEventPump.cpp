#include "app/QtEventPump.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <memory>

#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#endif

namespace ct::app {

using link::WaitSource;

void QtEventPump::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtEventPump::Wait(const WaitSource& source, int timeoutMs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return link::WaitNative(source, timeoutMs);

    // Whatever comes first wakes the dispatcher: the source, the time-out,
    // or any of the program's own events; one round of events runs, and the
    // caller looks again.
    bool ready = false;
    std::unique_ptr<QSocketNotifier> descriptor;
#ifdef Q_OS_WIN
    std::unique_ptr<QWinEventNotifier> event;
#endif
    switch (source.kind) {
    case WaitSource::Kind::Descriptor:
        descriptor = std::make_unique<QSocketNotifier>(static_cast<qintptr>(source.handle),
                                                       source.forWrite ? QSocketNotifier::Write
                                                                       : QSocketNotifier::Read);
        QObject::connect(descriptor.get(), &QSocketNotifier::activated, [&ready, &descriptor] {
            ready = true;
            descriptor->setEnabled(false);  // level-triggered: once is enough
        });
        break;
    case WaitSource::Kind::Event:
#ifdef Q_OS_WIN
        event = std::make_unique<QWinEventNotifier>(reinterpret_cast<Qt::HANDLE>(source.handle));
        QObject::connect(event.get(), &QWinEventNotifier::activated, [&ready, &event] {
            ready = true;
            event->setEnabled(false);
        });
#endif
        break;
    case WaitSource::Kind::None:
        break;
    }
    QTimer timer;
    if (timeoutMs >= 0) {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        timer.start(timeoutMs);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return ready;
}

}  // namespace ct::app
