// One whole Connect clicked in the real window (AC, DB, AS over TCP loopback
// against the substitute controller, silent beeper, real clock), reported as
// the time beyond its three fixed 100 ms pauses; and the same with the frame
// monitor closed and open, taking turns.
#include "app/Catalogue.h"
#include "app/FrameMonitor.h"
#include "app/FrameMonitorModel.h"
#include "app/Module.h"
#include "app/QtEventPump.h"
#include "app/SettingsStore.h"
#include "link/Clock.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr double PausesSeconds = 3 * 0.100;

struct Rig {
    ct::sim::ControllerSim sim;
    QTemporaryDir dir;
    ct::app::SettingsStore settings{dir.filePath(QStringLiteral("settings.ini"))};
    const ct::app::Catalogue catalogue;
    ct::link::NativeTransportFactory transports;
    ct::link::SteadyClock clock;
    ct::app::QtEventPump pump;
    ct::link::SilentBeeper beeper;
    std::unique_ptr<ct::app::TfrmModule> window;

    bool Start()
    {
        if (!sim.ListenTcp("127.0.0.1", 0))
            return false;
        sim.Start();
        window = std::make_unique<ct::app::TfrmModule>(
            catalogue, ct::app::ModuleServices{transports, clock, pump, beeper, settings});
        window->show();
        QCoreApplication::processEvents();
        window->pcPort->setCurrentWidget(window->tsNet);
        window->edIP->setText(QStringLiteral("127.0.0.1"));
        window->edPort->setText(QString::number(sim.TcpPort()));
        return true;
    }

    // Seconds beyond the pauses, or a negative value if Connect failed.
    double Connect()
    {
        const auto start = std::chrono::steady_clock::now();
        window->btnConnect->click();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (window->pnMsg->text() != window->text(ct::app::txt::CommandOk))
            return -1;
        return elapsed.count() - PausesSeconds;
    }
};

void BM_ConnectBeyondPauses(benchmark::State& state)
{
    Rig rig;
    if (!rig.Start()) {
        state.SkipWithError("cannot listen");
        return;
    }
    for (auto _ : state) {
        const double seconds = rig.Connect();
        if (seconds < 0) {
            state.SkipWithError("Connect did not end with Command ok.");
            break;
        }
        state.SetIterationTime(seconds);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ConnectBeyondPauses)->UseManualTime()->Iterations(20)->Repetitions(3)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// Runs the window's events for `ms`, so that what a change of the monitor
// left for later (layout, paint) is done before the Connect starts.
void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The frame monitor's cost, the three cases taking turns Connect by Connect
// so that all see the same machine: the monitor closed, open with few rows,
// and open with its rows full, so that every new row drops the oldest.
// Counters: each case's median time beyond the pauses, in milliseconds.
void BM_ConnectMonitorTakingTurns(benchmark::State& state)
{
    Rig rig;
    if (!rig.Start()) {
        state.SkipWithError("cannot listen");
        return;
    }
    rig.window->mnuFrameMonitor->trigger();
    ct::app::TfrmFrameMonitor& monitor = *rig.window->frmFrameMonitor;
    ct::app::FrameMonitorModel& rows = monitor.Model();
    std::vector<double> closed, open, full;
    for (auto _ : state) {
        monitor.hide();
        Settle(200);
        closed.push_back(rig.Connect());

        monitor.show();
        rows.Clear();
        Settle(200);
        open.push_back(rig.Connect());

        for (std::size_t i = 0; i < ct::app::FrameMonitorModel::DefaultCapacity; ++i)
            rows.FrameSent("\x01" "0001AS\x02" "E257\r");
        Settle(200);
        full.push_back(rig.Connect());
        if (closed.back() < 0 || open.back() < 0 || full.back() < 0) {
            state.SkipWithError("Connect did not end with Command ok.");
            break;
        }
    }
    state.counters["closed_ms"] = Median(closed) * 1000;
    state.counters["open_ms"] = Median(open) * 1000;
    state.counters["full_ms"] = Median(full) * 1000;
}
BENCHMARK(BM_ConnectMonitorTakingTurns)->Iterations(60)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
