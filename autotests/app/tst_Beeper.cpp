// The tone beep: the generated tone's length, pitch, loudness and ramps, a
// beep that returns within its bound without running the caller's events,
// whether or not the machine has a sound output, and one that on a machine
// without a sound server prints nothing and sets up no sound output before
// it is asked for (in a child process, the test program started again with
// --beep-once).
#include "app/Beeper.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using ct::app::ToneBeeper;
using ct::app::ToneSamples;

class tst_Beeper : public QObject {
    Q_OBJECT

private slots:
    void toneSamples_tone_lengthPitchAndRamps_data();
    void toneSamples_tone_lengthPitchAndRamps();
    void toneSamples_notPositive_empty();
    void beep_anyMachine_returnsInBoundWithoutRunningEvents();
    void beep_notPositive_returnsAtOnce();
    void beep_noSoundServer_silentAndLoadedOnlyByFirstBeep();
};

namespace {

bool SoundOutputLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}

// The child's side: whether the sound output is loaded before and after one
// beep, then a message of the program's own that must still get through.
int BeepOnce()
{
    ToneBeeper beeper;
    std::printf("before=%d ", SoundOutputLoaded());
    beeper.Beep(ct::link::LowBeepHz, 20);
    std::printf("after=%d\n", SoundOutputLoaded());
    std::fflush(stdout);
    qWarning("own message");
    return 0;
}

}  // namespace

void tst_Beeper::toneSamples_tone_lengthPitchAndRamps_data()
{
    QTest::addColumn<int>("frequency");
    QTest::addColumn<int>("durationMs");
    QTest::addColumn<int>("rate");
    QTest::newRow("high48k") << 1000 << 300 << 48000;
    QTest::newRow("low48k") << 300 << 300 << 48000;
    QTest::newRow("high44k") << 1000 << 300 << 44100;
    QTest::newRow("low8k") << 300 << 300 << 8000;
}

void tst_Beeper::toneSamples_tone_lengthPitchAndRamps()
{
    QFETCH(int, frequency);
    QFETCH(int, durationMs);
    QFETCH(int, rate);
    const std::vector<float> samples = ToneSamples(frequency, durationMs, rate);
    QCOMPARE(samples.size(), std::size_t(rate) * std::size_t(durationMs) / 1000);

    // Two sign changes per period.
    int crossings = 0;
    float peak = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
        peak = std::max(peak, std::fabs(samples[i]));
    }
    const int expected = 2 * frequency * durationMs / 1000;
    QVERIFY2(std::abs(crossings - expected) <= 2, qPrintable(QString::number(crossings)));
    QVERIFY(peak > 0.45f && peak <= 0.5f);

    // Quiet at both ends: no click on start or stop.
    QVERIFY(std::fabs(samples.front()) < 0.01f);
    QVERIFY(std::fabs(samples.back()) < 0.01f);
}

void tst_Beeper::toneSamples_notPositive_empty()
{
    QVERIFY(ToneSamples(0, 300, 48000).empty());
    QVERIFY(ToneSamples(1000, 0, 48000).empty());
    QVERIFY(ToneSamples(1000, 300, 0).empty());
    QVERIFY(ToneSamples(-1000, 300, 48000).empty());
}

void tst_Beeper::beep_anyMachine_returnsInBoundWithoutRunningEvents()
{
    ToneBeeper beeper;
    for (const int frequency : {ct::link::HighBeepHz, ct::link::LowBeepHz}) {
        bool ran = false;
        QMetaObject::invokeMethod(this, [&ran] { ran = true; }, Qt::QueuedConnection);
        QElapsedTimer clock;
        clock.start();
        beeper.Beep(frequency, ct::link::BeepMs);
        // The bound is duration plus margin; the rest is room for a loaded machine.
        QVERIFY2(clock.elapsed() < ct::link::BeepMs + ToneBeeper::MarginMs + 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!ran);
        QCoreApplication::processEvents();
        QVERIFY(ran);
    }
}

void tst_Beeper::beep_notPositive_returnsAtOnce()
{
    ToneBeeper beeper;
    QElapsedTimer clock;
    clock.start();
    beeper.Beep(1000, 0);
    beeper.Beep(0, 300);
    QVERIFY(clock.elapsed() < 1000);
}

void tst_Beeper::beep_noSoundServer_silentAndLoadedOnlyByFirstBeep()
{
#if !defined(Q_OS_LINUX) || !defined(CT_HAVE_MULTIMEDIA)
    QSKIP("the sound output module is built on Linux with Qt Multimedia");
#else
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No sound server at all, even on a developer's machine that has one.
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + runtime.filePath("none"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--beep-once")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput(), QByteArray("before=0 after=1\n"));
    QCOMPARE(child.readAllStandardError(), QByteArray("own message\n"));
#endif
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--beep-once") == 0)
        return BeepOnce();
    tst_Beeper test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_Beeper.moc"
