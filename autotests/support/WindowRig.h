// The real window against the substitute controller, for widget tests: a
// private settings file, a silent recording beeper, the real transports and
// event loop, and a controller over TCP loopback or a pseudo-terminal. The
// window's pauses are skipped on its clock (support/QtPumps.h) unless the
// rig is made with Pauses::Real, for what must be seen during a pause. Made
// with a FakeLine, the window talks to the controllers over the fake link
// instead. Also small waits that spin the event loop until a condition holds.
#pragma once

#include "app/Catalogue.h"
#include "app/Module.h"
#include "app/SettingsStore.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"
#include "support/FakeLine.h"
#include "support/QtPumps.h"
#include "support/RecordingTransports.h"
#include "support/RecordingBeeper.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ct::testing {

enum class Via { Tcp, Pty };
enum class Pauses { Skipped, Real };

class WindowRig {
public:
    explicit WindowRig(Pauses pauses = Pauses::Skipped) : WindowRig(pauses, nullptr) {}
    // The window on the fake link, talking to `line` on its fake clock: no
    // substitute controller is started (StartSim), and a time-out costs no
    // wall time.
    explicit WindowRig(FakeLine& line) : WindowRig(Pauses::Skipped, &line) {}
    ~WindowRig()
    {
        window.reset();
        sim.reset();
    }

    bool Show()
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    // Starts a controller and points the window's active connection page at it.
    bool StartSim(Via via, const sim::ControllerConfig& config = {})
    {
        sim = std::make_unique<sim::ControllerSim>(config);
        if (via == Via::Tcp ? !sim->ListenTcp("127.0.0.1", 0) : !sim->OpenPty())
            return false;
        sim->Start();
        if (via == Via::Tcp) {
            window->pcPort->setCurrentWidget(window->tsNet);
            window->edIP->setText(QStringLiteral("127.0.0.1"));
            window->edPort->setText(QString::number(sim->TcpPort()));
        } else {
            window->pcPort->setCurrentWidget(window->tsCom);
            window->cmbPort->setEditText(QString::fromStdString(sim->PtyPath()));
        }
        return true;
    }

    // A TCP port on which nothing listens.
    void PointAtClosedPort()
    {
        window->pcPort->setCurrentWidget(window->tsNet);
        window->edIP->setText(QStringLiteral("127.0.0.1"));
        window->edPort->setText(QStringLiteral("1"));
    }

    std::vector<std::string> Commands() const { return sim ? sim->Commands() : std::vector<std::string>{}; }
    QString Text(int entry) const { return catalogue.text(entry, window->LanguageIndex()); }
    app::StoredSettings Stored() const { return app::SettingsStore(dir_.filePath(QStringLiteral("settings.ini"))).Load(); }

    QTemporaryDir dir_;
    app::Catalogue catalogue;
    RecordingBeeper beeper;
    SkippingClock clock;  // the window's, unless its pauses are real or it is on a fake line

private:
    WindowRig(Pauses pauses, FakeLine* line)
        : store_(dir_.filePath(QStringLiteral("settings.ini"))),
          transports(line ? static_cast<link::ITransportFactory&>(line->factory) : native_),
          skippingPump(clock)
    {
        link::IClock* windowClock = &clock;
        link::IEventPump* windowPump = &skippingPump;
        if (line) {
            linePump_ = std::make_unique<PauseSkippingQtPump>(line->clock);
            windowClock = &line->clock;
            windowPump = linePump_.get();
        } else if (pauses == Pauses::Real) {
            windowClock = &realClock_;
            windowPump = &realPump_;
        }
        window = std::make_unique<app::TfrmModule>(
            catalogue, app::ModuleServices{transports, *windowClock, *windowPump, beeper, store_});
    }

    app::SettingsStore store_;
    link::NativeTransportFactory native_;
    link::SteadyClock realClock_;
    app::QtEventPump realPump_;
    std::unique_ptr<PauseSkippingQtPump> linePump_;

public:
    // Every open the window tried and every frame it wrote.
    RecordingTransportFactory transports;
    // The window's pump with the skipping clock.
    PauseSkippingQtPump skippingPump;
    std::unique_ptr<app::TfrmModule> window;
    std::unique_ptr<sim::ControllerSim> sim;
};

// Runs the event loop until `done` holds or `timeoutMs` has passed; true if
// it holds. Generous limits: the machine may be loaded.
inline bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// How many of the controller's command texts equal `text`.
inline int CountOf(const std::vector<std::string>& commands, const std::string& text)
{
    int n = 0;
    for (const std::string& c : commands)
        n += c == text ? 1 : 0;
    return n;
}

}  // namespace ct::testing
