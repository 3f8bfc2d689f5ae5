#include "app/QtEventPump.h"

#include <QCoreApplication>

namespace ct::app {

void QtEventPump::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace ct::app
