// One whole Connect clicked in the real window (AC, DB, AS over TCP loopback
// against the substitute controller, silent beeper, real clock), reported as
// the time beyond its three fixed 100 ms pauses.
#include "app/Catalogue.h"
#include "app/Module.h"
#include "app/QtEventPump.h"
#include "app/SettingsStore.h"
#include "link/Clock.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr double PausesSeconds = 3 * 0.100;

void BM_ConnectBeyondPauses(benchmark::State& state)
{
    ct::sim::ControllerSim sim;
    if (!sim.ListenTcp("127.0.0.1", 0)) {
        state.SkipWithError("cannot listen");
        return;
    }
    sim.Start();

    QTemporaryDir dir;
    ct::app::SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    const ct::app::Catalogue catalogue;
    ct::link::NativeTransportFactory transports;
    ct::link::SteadyClock clock;
    ct::app::QtEventPump pump;
    ct::link::SilentBeeper beeper;
    ct::app::TfrmModule window(catalogue, {transports, clock, pump, beeper, settings});
    window.show();
    QCoreApplication::processEvents();
    window.pcPort->setCurrentWidget(window.tsNet);
    window.edIP->setText(QStringLiteral("127.0.0.1"));
    window.edPort->setText(QString::number(sim.TcpPort()));
    const QString ok = window.text(ct::app::txt::CommandOk);

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        window.btnConnect->click();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (window.pnMsg->text() != ok) {
            state.SkipWithError("Connect did not end with Command ok.");
            break;
        }
        state.SetIterationTime(elapsed.count() - PausesSeconds);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ConnectBeyondPauses)->UseManualTime()->Iterations(20)->Repetitions(3)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

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
