// The program entry itself, ended as soon as the main window has been painted
// for the first time: catalogue, application, window creation with the
// settings and the port list, first show with the language, first paint.
// Run it under measure_startup.sh for whole-process time and peak memory.
#include "app/Beeper.h"
#include "app/Catalogue.h"
#include "app/Module.h"
#include "app/QtEventPump.h"
#include "app/SettingsStore.h"
#include "link/Clock.h"
#include "link/NativeTransportFactory.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <exception>

#define main ControllerToolsMain
#include "app/main.cpp"
#undef main

namespace {

class QuitAfterFirstPaint final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!quitting_ && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window()->objectName() == QLatin1String("frmModule")) {
                quitting_ = true;
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
        }
        return false;
    }

private:
    bool quitting_ = false;
};

void InstallQuitter()
{
    qApp->installEventFilter(new QuitAfterFirstPaint);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallQuitter)

int main(int argc, char* argv[])
{
    return ControllerToolsMain(argc, argv);
}
