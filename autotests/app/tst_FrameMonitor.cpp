// The frame monitor: its row texts, the bound of its rows (also while
// paused), a Connect's frames seen in order through the real window on the
// fake link, and what Copy and "Save as…" write.
#include "app/FrameMonitor.h"
#include "app/FrameMonitorModel.h"
#include "support/WindowRig.h"

#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using ct::app::FrameMonitorModel;
using ct::testing::FakeClock;
using ct::testing::FakeLine;
using ct::testing::WindowRig;

namespace {

// What the view shows, row by row, its cells joined by tabs.
QStringList Shown(const QAbstractItemModel& model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        rows << cells.join('\t');
    }
    return rows;
}

// The monitor of a window on the fake link, opened from its menu.
ct::app::TfrmFrameMonitor& OpenMonitor(WindowRig& rig)
{
    rig.window->mnuFrameMonitor->trigger();
    return *rig.window->frmFrameMonitor;
}

}  // namespace

class tst_FrameMonitor : public QObject {
    Q_OBJECT

private slots:
    void row_perTraceEvent_textsAsShown_data();
    void row_perTraceEvent_textsAsShown();
    void rows_beyondCapacity_oldestDropped_data();
    void rows_beyondCapacity_oldestDropped();
    void connect_monitorOpen_everyFrameInOrder_data();
    void connect_monitorOpen_everyFrameInOrder();
    void copyAndSave_shownRows_writtenExactly();
};

void tst_FrameMonitor::row_perTraceEvent_textsAsShown_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("rows");
    const QString sent = "\\x010000AC\\x02D2E1\\x0D\t01 30 30 30 30 41 43 02 44 32 45 31 0D";
    QTest::newRow("sent") << "sent" << 0 << QStringList{"7\tSent\t\t" + sent};
    QTest::newRow("sent, Simplified") << "sent" << 1 << QStringList{u8"7\t发送\t\t" + sent};
    QTest::newRow("good") << "good" << 0 << QStringList{"7\tReceived\tgood\t\\x03A\\\\\\x04\t03 41 5C 04"};
    QTest::newRow("bad check, Traditional")
        << "bad" << 2 << QStringList{u8"7\t接收\t檢查碼錯誤\t\\x03A\\\\\\x04\t03 41 5C 04"};
    QTest::newRow("after noise") << "noise" << 0
                                 << QStringList{"7\tReceived\tresynchronised\t\\x15x\t15 78",
                                                "7\tReceived\tgood\t\\x03A\\\\\\x04\t03 41 5C 04"};
    QTest::newRow("time-out, nothing") << "silence" << 0 << QStringList{"7\tReceived\ttime-out\t\t"};
    QTest::newRow("time-out, part") << "part" << 0 << QStringList{"7\tReceived\ttime-out\t\\x030\t03 30"};
    QTest::newRow("opened") << "open" << 0 << QStringList{"7\tLink\t\topened TCP 10.0.0.9:5001\t"};
    QTest::newRow("not opened") << "refused" << 0 << QStringList{"7\tLink\t\tcannot open ttyS1 19200,e,8,1\t"};
    QTest::newRow("closed") << "close" << 0 << QStringList{"7\tLink\t\tclosed\t"};
}

void tst_FrameMonitor::row_perTraceEvent_textsAsShown()
{
    QFETCH(QString, event);
    QFETCH(int, language);
    QFETCH(QStringList, rows);
    const ct::app::Catalogue catalogue;
    // Near the wrap of the link's 32-bit clock.
    FakeClock clock(0xFFFFFFFDull);
    FrameMonitorModel model(catalogue, clock);
    clock.Advance(7);
    ct::link::LinkSettings settings;
    settings.LinkType = ct::link::LinkTypeNet;
    settings.NetIP = "10.0.0.9";
    const std::string frame("\x03" "A\\\x04", 4);
    if (event == "sent")
        model.FrameSent("\x01" "0000AC\x02" "D2E1\r");
    else if (event == "good" || event == "bad" || event == "noise")
        model.FrameReceived(event == "noise" ? "\x15x" : "", frame, event != "bad");
    else if (event == "silence" || event == "part")
        model.TimedOut(300, true, event == "part" ? "\x03" "0" : "");
    else if (event == "open")
        model.LinkOpened(settings, true);
    else if (event == "refused") {
        settings.LinkType = ct::link::LinkTypeCom;
        settings.ComPortName = "ttyS1";
        settings.ComBaudRate = "19200,e,8,1";
        model.LinkOpened(settings, false);
    } else
        model.LinkClosed();
    model.SetLanguage(language);
    QCOMPARE(model.rowCount(), 0);  // until the flush
    model.Flush();
    QCOMPARE(Shown(model), rows);
}

void tst_FrameMonitor::rows_beyondCapacity_oldestDropped_data()
{
    // Frames "1", "2"... sent in batches, each batch flushed (or, paused,
    // held and flushed after the pause); a capacity of 3.
    QTest::addColumn<QList<int>>("batches");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QString>("shown");
    QTest::newRow("under") << QList<int>{2} << false << "1 2";
    QTest::newRow("full") << QList<int>{1, 2} << false << "1 2 3";
    QTest::newRow("over, one batch") << QList<int>{5} << false << "3 4 5";
    QTest::newRow("over, a batch at a time") << QList<int>{2, 2, 1} << false << "3 4 5";
    QTest::newRow("over while paused") << QList<int>{2, 4} << true << "4 5 6";
}

void tst_FrameMonitor::rows_beyondCapacity_oldestDropped()
{
    QFETCH(QList<int>, batches);
    QFETCH(bool, paused);
    QFETCH(QString, shown);
    const ct::app::Catalogue catalogue;
    FakeClock clock;
    FrameMonitorModel model(catalogue, clock, 3);
    int sent = 0;
    for (int i = 0; i < batches.size(); ++i) {
        if (paused && i == batches.size() - 1)
            model.SetPaused(true);
        for (int n = 0; n < batches[i]; ++n)
            model.FrameSent(std::to_string(++sent));
        model.Flush();
    }
    if (paused) {
        QCOMPARE(model.rowCount(), batches[0]);  // nothing new while paused
        model.SetPaused(false);
        model.Flush();
    }
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, FrameMonitorModel::ColText).data().toString();
    QCOMPARE(texts.join(' '), shown);
}

void tst_FrameMonitor::connect_monitorOpen_everyFrameInOrder_data()
{
    // Direction and check of every row, from the open to the close. Connect
    // gives up on a command after a failed reply and tries again.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("rows");
    const QString good = "Link Sent Received:good Sent Received:good Sent Received:good Link";
    QTest::newRow("clean") << "" << good;
    QTest::newRow("noise before the reply")
        << "noise" << "Link Sent Received:resynchronised Received:good Sent Received:good Sent Received:good Link";
    QTest::newRow("wrong CRC") << "crc"
                               << "Link Sent Received:bad-check Sent Received:good Sent Received:good Sent "
                                  "Received:good Link";
    QTest::newRow("no answer") << "silent"
                               << "Link Sent Received:time-out Sent Received:good Sent Received:good Sent "
                                  "Received:good Link";
}

void tst_FrameMonitor::connect_monitorOpen_everyFrameInOrder()
{
    QFETCH(QString, fault);
    QFETCH(QString, rows);
    FakeLine line;
    WindowRig rig(line);
    rig.PointAtClosedPort();
    if (!fault.isEmpty()) {
        ct::sim::Fault f;
        f.command = "AC";
        f.kind = fault == "noise" ? ct::sim::FaultKind::NoiseBefore
                 : fault == "crc" ? ct::sim::FaultKind::WrongCrc
                                  : ct::sim::FaultKind::NoAnswer;
        line.sim.InjectFault(f);
    }
    ct::app::TfrmFrameMonitor& monitor = OpenMonitor(rig);
    FrameMonitorModel& model = monitor.Model();
    QTest::mouseClick(rig.window->btnConnect, Qt::LeftButton);
    QCOMPARE(rig.window->pnMsg->text(), rig.Text(ct::app::txt::CommandOk));
    QVERIFY(ct::testing::SpinUntil([&] { return model.Queued() == 0; }));

    QStringList seen;
    std::vector<std::string> sentTexts;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString direction = model.index(row, FrameMonitorModel::ColDirection).data().toString();
        const QString check = model.index(row, FrameMonitorModel::ColCheck).data().toString();
        seen << direction + (check.isEmpty() ? "" : ":" + QString(check).replace(' ', '-'));
        const ct::app::FrameRecord& record = model.Record(row);
        if (record.event == ct::app::FrameEvent::Sent)
            sentTexts.push_back(record.bytes.substr(1, record.bytes.size() - 7));  // SOH text STX CRC CR
    }
    QCOMPARE(seen.join(' '), rows);
    QCOMPARE(sentTexts, line.sim.Commands());
    // Times count from the opening on the window's clock, never backwards.
    for (int row = 1; row < model.rowCount(); ++row)
        QVERIFY(model.Record(row).ms >= model.Record(row - 1).ms);
    QVERIFY(model.Record(model.rowCount() - 1).ms >= 300);  // Connect's three pauses

    // Closed, the monitor no longer watches.
    monitor.close();
    const int before = model.rowCount();
    QTest::mouseClick(rig.window->btnConnect, Qt::LeftButton);
    QCOMPARE(model.rowCount() + int(model.Queued()), before);
}

void tst_FrameMonitor::copyAndSave_shownRows_writtenExactly()
{
    FakeLine line;
    WindowRig rig(line);
    rig.PointAtClosedPort();
    ct::app::TfrmFrameMonitor& monitor = OpenMonitor(rig);
    FrameMonitorModel& model = monitor.Model();
    QTest::mouseClick(rig.window->btnConnect, Qt::LeftButton);
    monitor.btnClear->click();  // what came before the clear is not written
    QTest::mouseClick(rig.window->btnConnect, Qt::LeftButton);
    model.Flush();
    monitor.btnPause->click();  // nor what is held back by a pause
    QTest::mouseClick(rig.window->btnConnect, Qt::LeftButton);
    model.Flush();
    const QStringList shown = Shown(model);
    QCOMPARE(shown.size(), 8);
    QVERIFY(model.Queued() > 0);

    monitor.lvFrames->selectionModel()->select(model.index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    monitor.lvFrames->selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    monitor.btnCopy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), shown[2] + '\n' + shown[5] + '\n');

    const QString path = rig.dir_.filePath("frames.txt");
    monitor.btnSaveAs->click();
    QFileDialog* dialog = monitor.SaveDialog();
    QVERIFY(dialog->isVisible());
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString titles = "Time (ms)\tDirection\tCheck\tText\tHex\n";
    QCOMPARE(QString::fromUtf8(file.readAll()), titles + shown.join('\n') + '\n');
    QVERIFY(monitor.lblMonitorStatus->text().isEmpty());

    // A folder that does not exist: said so, nothing else changes.
    monitor.btnSaveAs->click();
    dialog->selectFile(rig.dir_.filePath("missing/frames.txt"));
    static_cast<QDialog*>(dialog)->accept();
    QVERIFY(monitor.lblMonitorStatus->text().startsWith(rig.Text(ct::app::txt::MonitorCannotWrite)));
    QCOMPARE(Shown(model), shown);
}

QTEST_MAIN(tst_FrameMonitor)
#include "tst_FrameMonitor.moc"
