// Program entry: builds the text catalogue, creates the main window with the
// real transports, clock, beeper and settings store, and runs the event loop
// until the window closes. An exception that escapes an event handler is
// shown in an error box and the loop goes on.
#include "app/Beeper.h"
#include "app/Catalogue.h"
#include "app/Module.h"
#include "app/QtEventPump.h"
#include "app/SettingsStore.h"
#include "link/Clock.h"
#include "link/NativeTransportFactory.h"
#include "link/ProgramVersion.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char* const ApplicationTitle = "KX410/420/450-G7 Tools";

class ToolsApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            ShowError(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            ShowError(QStringLiteral("Unknown exception"));
        }
        return false;
    }

private:
    void ShowError(const QString& message)
    {
        // An error while the box is up (a repaint that throws again) goes to
        // stderr instead of stacking boxes.
        if (showingError_) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            return;
        }
        showingError_ = true;
        QMessageBox::critical(activeWindow(), applicationName(), message);
        showingError_ = false;
    }

    bool showingError_ = false;
};

}  // namespace

int main(int argc, char* argv[])
{
    // Answered before the application exists, so that no display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("controller-tools %s\n", ct::ProgramVersion());
            return 0;
        }
    }
    ToolsApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    // The desktop matches the window to its menu entry and icon by this name;
    // the icon comes from the icon theme once the program is installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.controllertools.ControllerTools"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.controllertools.ControllerTools")));

    const ct::app::Catalogue catalogue;
    ct::link::NativeTransportFactory transports;
    ct::link::SteadyClock clock;
    ct::app::QtEventPump pump;
    ct::app::ToneBeeper beeper;
    ct::app::SettingsStore settings;

    ct::app::TfrmModule frmModule(catalogue, {transports, clock, pump, beeper, settings});
    frmModule.show();
    return QApplication::exec();
}
