// CPU time of the tool's process while it waits: the whole process's
// CLOCK_PROCESS_CPUTIME_ID (all its threads) and the main thread's alone,
// over a span of wall time, as a share of one core.
//
//   idle         the real window, shown (offscreen platform), in its event
//                loop; a QTimer ends the span.
//   dido-core    ClickDidoTest with QtEventPump inside a QApplication,
//                outputs 1 and 3 checked, against a controller that answers
//                nothing, so every transaction waits out its time-out; a
//                second ClickDidoTest from a QTimer (the stop click) ends
//                the span.
//   dido-window  the same through the window: btnDIDO clicked from a QTimer,
//                and clicked again to stop.
//
// The substitute controller runs in a child process forked before anything
// else, so that its I/O thread is not counted.
//
// usage: bench_cpu idle|dido-core|dido-window [--seconds S] [--path tcp|pty]

#include "app/Catalogue.h"
#include "app/Module.h"
#include "app/QtEventPump.h"
#include "app/SettingsStore.h"
#include "link/Clock.h"
#include "link/EventPump.h"
#include "link/Link.h"
#include "link/OperationFrame.h"
#include "link/NativeTransportFactory.h"
#include "sim/ControllerSim.h"
#include "tests/DidoTest.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace ct;

double Seconds(clockid_t clock)
{
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Sample {
    double wall = 0;
    double process = 0;
    double thread = 0;
    static Sample Now()
    {
        return {Seconds(CLOCK_MONOTONIC), Seconds(CLOCK_PROCESS_CPUTIME_ID), Seconds(CLOCK_THREAD_CPUTIME_ID)};
    }
};

void Report(const char* what, const Sample& from, const Sample& to)
{
    const double wall = to.wall - from.wall;
    const double process = to.process - from.process;
    const double thread = to.thread - from.thread;
    std::printf("%s: wall %.3f s, process CPU %.1f ms (%.3f %% of one core), main thread %.1f ms (%.3f %%)\n", what,
                wall, process * 1e3, 100 * process / wall, thread * 1e3, 100 * thread / wall);
}

// A silent controller in a child process: its TCP port and pseudo-terminal
// path come back through a pipe; it ends when the parent closes the other.
struct SilentController {
    pid_t pid = -1;
    int keepAlive = -1;
    std::uint16_t tcpPort = 0;
    std::string ptyPath;

    bool Start()
    {
        int info[2];
        int alive[2];
        if (::pipe(info) != 0 || ::pipe(alive) != 0)
            return false;
        pid = ::fork();
        if (pid < 0)
            return false;
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(info[0]);
            ::close(alive[1]);
            {
                sim::ControllerSim sim;
                if (!sim.ListenTcp("127.0.0.1", 0) || !sim.OpenPty())
                    ::_exit(1);
                sim.InjectFault({sim::FaultKind::NoAnswer, "", -1});
                sim.Start();
                const std::string line = std::to_string(sim.TcpPort()) + " " + sim.PtyPath() + "\n";
                if (::write(info[1], line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                    ::_exit(1);
                char c;
                while (::read(alive[0], &c, 1) > 0) {
                }
            }
            ::_exit(0);
        }
        ::close(info[1]);
        ::close(alive[0]);
        keepAlive = alive[1];
        char buffer[256] = {};
        std::size_t got = 0;
        while (got < sizeof buffer - 1) {
            const ssize_t n = ::read(info[0], buffer + got, sizeof buffer - 1 - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
            if (buffer[got - 1] == '\n')
                break;
        }
        ::close(info[0]);
        char path[200] = {};
        unsigned port = 0;
        if (std::sscanf(buffer, "%u %199s", &port, path) != 2)
            return false;
        tcpPort = static_cast<std::uint16_t>(port);
        ptyPath = path;
        return true;
    }
    ~SilentController()
    {
        if (pid > 0) {
            ::close(keepAlive);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

class StatusView final : public link::IStatusView {
public:
    link::LinkSettings settings;
    void SetBusyCursor(bool) override {}
    void SetWindowEnabled(bool) override {}
    void SetBusyTimerRunning(bool) override {}
    void SetLamp(link::Lamp) override {}
    void ShowStatus(link::StatusMessage) override {}
    link::LinkSettings ActiveLinkSettings() override { return settings; }
};

class DidoView final : public tests::IDidoView {
public:
    int cycles = 0;
    void ShowTitle(tests::Title) override {}
    void EnterTest() override {}
    void LeaveTest() override {}
    void CycleDone(tests::TestState&) override { ++cycles; }
    bool OutputChecked(int output) override { return output == 0 || output == 2; }
    void ShowInputs(const std::string&) override {}
    void ResetInputsAndOutputs() override {}
};

link::LinkSettings SettingsFor(const std::string& path, const SilentController& controller)
{
    link::LinkSettings s;
    if (path == "pty") {
        s.LinkType = link::LinkTypeCom;
        s.ComPortName = controller.ptyPath;
        s.ComBaudRate = "115200,n,8,1";
    } else {
        s.LinkType = link::LinkTypeNet;
        s.NetIP = "127.0.0.1";
        s.NetPort = std::to_string(controller.tcpPort);
    }
    return s;
}

int Idle(int ms)
{
    QTemporaryDir dir;
    app::SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    const app::Catalogue catalogue;
    link::NativeTransportFactory transports;
    link::SteadyClock clock;
    app::QtEventPump pump;
    link::SilentBeeper beeper;
    app::TfrmModule window(catalogue, {transports, clock, pump, beeper, settings});
    window.show();
    QCoreApplication::processEvents();

    const Sample from = Sample::Now();
    QTimer::singleShot(ms, Qt::PreciseTimer, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    Report("idle window", from, Sample::Now());
    return 0;
}

int DidoCore(int ms, const link::LinkSettings& linkSettings)
{
    link::NativeTransportFactory transports;
    link::SteadyClock clock;
    app::QtEventPump pump;
    link::Link device(transports, clock, pump);
    StatusView status;
    status.settings = linkSettings;
    link::SilentBeeper beeper;
    link::OperationFrame frame(device, status, beeper, pump);
    tests::TestState state;
    DidoView view;

    Sample stopped;
    QTimer::singleShot(ms, Qt::PreciseTimer, [&] {
        stopped = Sample::Now();
        tests::ClickDidoTest(frame, state, "0001", view);  // the stop click
    });
    const Sample from = Sample::Now();
    const tests::Outcome outcome = tests::ClickDidoTest(frame, state, "0001", view);
    const Sample ended = Sample::Now();
    std::printf("path: %s\n", linkSettings.LinkType == link::LinkTypeNet ? "tcp" : "pty");
    Report("DIDO test, silent controller (core, QtEventPump)", from, stopped);
    Report("  through its end (JD waits out its time-out too)", from, ended);
    std::printf("  cycles: %d, outcome %s\n", view.cycles,
                outcome == tests::Outcome::CommandOk ? "Command ok." : "not Command ok.");
    return outcome == tests::Outcome::CommandOk ? 0 : 1;
}

int DidoWindow(int ms, const std::string& path, const SilentController& controller)
{
    QTemporaryDir dir;
    app::SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    const app::Catalogue catalogue;
    link::NativeTransportFactory transports;
    link::SteadyClock clock;
    app::QtEventPump pump;
    link::SilentBeeper beeper;
    app::TfrmModule window(catalogue, {transports, clock, pump, beeper, settings});
    window.show();
    QCoreApplication::processEvents();
    if (path == "pty") {
        window.pcPort->setCurrentWidget(window.tsCom);
        window.cmbPort->setEditText(QString::fromStdString(controller.ptyPath));
    } else {
        window.pcPort->setCurrentWidget(window.tsNet);
        window.edIP->setText(QStringLiteral("127.0.0.1"));
        window.edPort->setText(QString::number(controller.tcpPort));
    }
    window.chkDO1->setChecked(true);
    window.chkDO3->setChecked(true);
    QCoreApplication::processEvents();

    Sample from, stopped, ended;
    bool wasRunning = false;
    QTimer::singleShot(0, [&] {
        from = Sample::Now();
        window.btnDIDO->click();  // returns when the test has ended
        ended = Sample::Now();
        QCoreApplication::quit();
    });
    QTimer::singleShot(ms, Qt::PreciseTimer, [&] {
        stopped = Sample::Now();
        wasRunning = window.Busy();
        window.btnDIDO->click();
    });
    QCoreApplication::exec();
    Report("DIDO test, silent controller (window)", from, stopped);
    Report("  through its end (JD waits out its time-out too)", from, ended);
    std::printf("  running when stopped: %s, message: %s\n", wasRunning ? "yes" : "no",
                window.pnMsg->text().toStdString().c_str());
    return wasRunning ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    double seconds = 10;
    std::string path = "tcp";
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--path") == 0 && i + 1 < argc)
            path = argv[++i];
        else
            mode.clear();
    }
    if ((mode != "idle" && mode != "dido-core" && mode != "dido-window") || (path != "tcp" && path != "pty")) {
        std::fprintf(stderr, "usage: bench_cpu idle|dido-core|dido-window [--seconds S] [--path tcp|pty]\n");
        return 2;
    }
    SilentController controller;
    if (mode != "idle" && !controller.Start()) {
        std::fprintf(stderr, "bench_cpu: cannot start the substitute controller\n");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int ms = static_cast<int>(seconds * 1000);
    if (mode == "idle")
        return Idle(ms);
    if (mode == "dido-core")
        return DidoCore(ms, SettingsFor(path, controller));
    std::printf("path: %s\n", path.c_str());
    return DidoWindow(ms, path, controller);
}
