// The main window driven through its real widgets: its frame and layout, the
// three languages, the keyboard's Enter, the busy state, and Connect against
// the substitute controller over TCP loopback and a pseudo-terminal. Each run
// also leaves a picture of the window in each language next to the test
// program (screenshots/window-<language>.png).
#include "app/Catalogue.h"
#include "app/Lamp.h"
#include "app/Module.h"
#include "app/SettingsStore.h"
#include "app/Widgets.h"
#include "link/NativeTransportFactory.h"
#include "link/ProgramVersion.h"
#include "sim/ControllerSim.h"
#include "support/QtPumps.h"
#include "support/RecordingBeeper.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QSet>
#include <QTabWidget>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using ct::app::TfrmModule;
using ct::sim::ControllerSim;
using ct::sim::Fault;
using ct::sim::FaultKind;
using namespace std::chrono_literals;

namespace {

// Every caption a label is painted with, in order.
class PaintedTexts final : public QObject {
public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == label_ && event->type() == QEvent::Paint
            && (texts.isEmpty() || texts.last() != label_->text()))
            texts << label_->text();
        return false;
    }

private:
    QLabel* label_;
};

enum class Via { Tcp, Pty };

}  // namespace

Q_DECLARE_METATYPE(Via)
Q_DECLARE_METATYPE(Fault)

class tst_Module : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window_shown_hasFixedClientAreaBelowMenu();
    void hiddenPages_wheelCtrlTabAndArrows_neverReached();
    void groupBoxes_frameLine_clearsEveryControl_data();
    void groupBoxes_frameLine_clearsEveryControl();
    void controls_shown_sitAtTheirRectangles_data();
    void controls_shown_sitAtTheirRectangles();
    void edits_typedPastLimit_keepTheirMaximumLength_data();
    void edits_typedPastLimit_keepTheirMaximumLength();
    void replyFields_typedInto_stayEmpty();
    void dropDowns_created_holdTheirLists_data();
    void dropDowns_created_holdTheirLists();
    void fileMenu_shown_offersOnlyExit();

    void window_firstRun_showsDefaults();
    void window_storedSettings_fillControlsAndLanguage();
    void language_selected_relabelsWindow_data();
    void language_selected_relabelsWindow();
    void language_switchedRepeatedly_keepsOneNoteLineAndHiddenTabs();
    void about_inEachLanguage_showsCatalogueTexts_data();
    void about_inEachLanguage_showsCatalogueTexts();

    void enter_withFocus_startsConnectOrPressesFocusedButton_data();
    void enter_withFocus_startsConnectOrPressesFocusedButton();
    void operation_running_blocksWindowWithHourglass();
    void close_duringOperation_heldUntilItEnds();
    void storedAddress_longerThanField_shownAndUsedWhole();
    void storedSettings_hugeAndOddValues_shownAsUsed();

    void connect_controllerAnswers_fillsPanelsAndStoresLink_data();
    void connect_controllerAnswers_fillsPanelsAndStoresLink();
    void connect_faultyController_endsAsStated_data();
    void connect_faultyController_endsAsStated();
    void connect_replyWithOtherId_adoptsIt();

    void screenshots_eachLanguage_written();

private:
    void CreateWindow();
    void ShowWindow();
    void StartSim(Via via, const ct::sim::ControllerConfig& config = {});
    // Lets queued layout requests run, as the event loop would before the
    // next paint.
    static void SettleLayout();
    ct::app::StoredSettings Stored() const { return ct::app::SettingsStore(iniPath_).Load(); }
    QString Text(int entry, int language) const { return catalogue_.text(entry, language); }

    std::unique_ptr<QTemporaryDir> dir_;
    QString iniPath_;
    std::unique_ptr<ct::app::SettingsStore> store_;
    ct::app::Catalogue catalogue_;
    ct::link::NativeTransportFactory transports_;
    ct::testing::SkippingClock clock_;
    ct::testing::PauseSkippingQtPump pump_{clock_};
    ct::testing::RecordingBeeper beeper_;
    std::unique_ptr<TfrmModule> window_;
    std::unique_ptr<ControllerSim> sim_;
};

void tst_Module::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    iniPath_ = dir_->filePath(QStringLiteral("settings.ini"));
    store_ = std::make_unique<ct::app::SettingsStore>(iniPath_);
    beeper_ = {};
}

void tst_Module::cleanup()
{
    window_.reset();
    sim_.reset();
    store_.reset();
    dir_.reset();
}

void tst_Module::CreateWindow()
{
    window_ = std::make_unique<TfrmModule>(
        catalogue_, ct::app::ModuleServices{transports_, clock_, pump_, beeper_, *store_});
}

void tst_Module::ShowWindow()
{
    if (!window_)
        CreateWindow();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void tst_Module::StartSim(Via via, const ct::sim::ControllerConfig& config)
{
    sim_ = std::make_unique<ControllerSim>(config);
    if (via == Via::Tcp) {
        QVERIFY(sim_->ListenTcp("127.0.0.1", 0));
    } else {
        QVERIFY(sim_->OpenPty());
    }
    sim_->Start();
    if (via == Via::Tcp) {
        window_->pcPort->setCurrentWidget(window_->tsNet);
        window_->edIP->setText(QStringLiteral("127.0.0.1"));
        window_->edPort->setText(QString::number(sim_->TcpPort()));
    } else {
        window_->pcPort->setCurrentWidget(window_->tsCom);
        window_->cmbPort->setEditText(QString::fromStdString(sim_->PtyPath()));
    }
}

void tst_Module::SettleLayout()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

// --- Frame and layout -------------------------------------------------------

void tst_Module::window_shown_hasFixedClientAreaBelowMenu()
{
    ShowWindow();
    QWidget* client = window_->centralWidget();
    QCOMPARE(client->size(), QSize(680, 614));
    QCOMPARE(client->y(), window_->menuBar()->height());
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QCOMPARE(window_->height(), 614 + window_->menuBar()->height());
    QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window_->windowFlags() & Qt::WindowMinimizeButtonHint);

    // A language with a larger font leaves the window and its menu bar as
    // they are, once the layout has caught up.
    SettleLayout();
    const QSize size = window_->size();
    const int menuHeight = window_->menuBar()->height();
    for (QAction* language : {window_->mnuSimplified, window_->mnuTraditional, window_->mnuEnglish}) {
        language->trigger();
        SettleLayout();
        QCOMPARE(window_->menuBar()->height(), menuHeight);
        QCOMPARE(window_->size(), size);
        QCOMPARE(client->y(), menuHeight);
    }
}

void tst_Module::hiddenPages_wheelCtrlTabAndArrows_neverReached()
{
    ShowWindow();
    QTabWidget* pages = window_->pcMain;
    QTabBar* bar = pages->tabBar();
    const QList<QWidget*> hidden = {window_->tsFunction, window_->tsFirmware, window_->tsName};
    QSet<QWidget*> reached;
    const auto onShownPage = [&](const char* how) {
        QWidget* current = pages->currentWidget();
        reached.insert(current);
        if (hidden.contains(current))
            QFAIL(qPrintable(QStringLiteral("%1 reached %2").arg(QLatin1String(how), current->objectName())));
    };
    const int steps = 2 * pages->count();

    for (int delta : {-120, 120}) {
        for (int i = 0; i < steps; ++i) {
            const QPointF at(bar->tabRect(bar->currentIndex()).center());
            QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &wheel);
            onShownPage("the wheel");
        }
    }
    // Ctrl+Tab and Ctrl+Shift+Tab from a field of the page shown.
    const auto fieldOf = [](QWidget* page) -> QWidget* {
        for (QWidget* child : page->findChildren<QWidget*>()) {
            if ((child->focusPolicy() & Qt::TabFocus) && child->isVisible() && !qobject_cast<QGroupBox*>(child))
                return child;
        }
        return nullptr;
    };
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Tab, Qt::KeyboardModifiers(Qt::ControlModifier)},
                                         std::pair{Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier}}) {
        for (int i = 0; i < steps; ++i) {
            QWidget* field = fieldOf(pages->currentWidget());
            QVERIFY2(field != nullptr, qPrintable(pages->currentWidget()->objectName()));
            field->setFocus();
            QTest::keyClick(field, key, modifiers);
            onShownPage("Ctrl+Tab");
        }
    }
    // The arrow keys and Home/End on the focused tab bar.
    bar->setFocus();
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(bar, key);
            onShownPage("an arrow key");
        }
    }
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home}) {
        QTest::keyClick(bar, key);
        onShownPage("Home/End");
    }
    QCOMPARE(reached.size(), pages->count() - hidden.size());
}

void tst_Module::groupBoxes_frameLine_clearsEveryControl_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("Simplified Chinese") << 1;
    QTest::newRow("Traditional Chinese") << 2;
}

void tst_Module::groupBoxes_frameLine_clearsEveryControl()
{
    QFETCH(int, language);
    ShowWindow();
    QAction* items[] = {window_->mnuEnglish, window_->mnuSimplified, window_->mnuTraditional};
    items[language]->trigger();
    SettleLayout();
    int checked = 0;
    for (QGroupBox* box : window_->findChildren<QGroupBox*>()) {
        if (box->isHidden())
            continue;
        // The box painted alone: whatever is not its ground under a control's
        // rectangle, outside the caption, is its frame crossing that control.
        QList<QWidget*> controls;
        for (QWidget* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isHidden()) {
                controls << child;
                child->hide();
            }
        }
        const QImage image = box->grab().toImage();
        for (QWidget* control : controls)
            control->show();
        const QRgb ground = image.pixel(image.width() / 2, image.height() / 2);
        auto* framed = qobject_cast<ct::app::GroupBox*>(box);
        QVERIFY2(framed != nullptr, qPrintable(box->objectName()));
        const QRect caption = framed->CaptionArea();
        for (QWidget* control : controls) {
            const QRect area = control->geometry() & image.rect();
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    if (image.pixel(x, y) != ground && !caption.contains(x, y))
                        QFAIL(qPrintable(QStringLiteral("%1's frame crosses %2 at %3,%4")
                                             .arg(box->objectName(), control->objectName())
                                             .arg(x)
                                             .arg(y)));
                }
            }
            ++checked;
        }
    }
    QVERIFY(checked > 40);
}

void tst_Module::controls_shown_sitAtTheirRectangles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("pnMsg") << "pnMsg" << QRect(8, 4, 665, 40);
    QTest::newRow("shComm") << "shComm" << QRect(626, 8, 23, 20);
    QTest::newRow("pnVER") << "pnVER" << QRect(8, 48, 329, 49);
    QTest::newRow("pnSN") << "pnSN" << QRect(344, 48, 329, 49);
    QTest::newRow("pcPort") << "pcPort" << QRect(8, 104, 329, 105);
    QTest::newRow("pnID") << "pnID" << QRect(416, 100, 47, 25);
    QTest::newRow("sbID") << "sbID" << QRect(464, 101, 209, 23);
    QTest::newRow("btnConnect") << "btnConnect" << QRect(344, 128, 327, 81);
    QTest::newRow("pcMain") << "pcMain" << QRect(8, 213, 668, 404);
    QTest::newRow("shDI7") << "shDI7" << QRect(162, 158, 23, 25);
    QTest::newRow("lblDI4") << "lblDI4" << QRect(272, 116, 41, 29);
    QTest::newRow("chkDO3") << "chkDO3" << QRect(162, 184, 83, 40);
    QTest::newRow("cmbAlarm") << "cmbAlarm" << QRect(0, 66, 321, 37);
    QTest::newRow("btnInitial") << "btnInitial" << QRect(328, 331, 329, 30);
    QTest::newRow("gbSetCardTypeByID") << "gbSetCardTypeByID" << QRect(8, 120, 641, 153);
    QTest::newRow("btnG6SetCardType") << "btnG6SetCardType" << QRect(8, 104, 305, 41);
    QTest::newRow("cmbG4SetId") << "cmbG4SetId" << QRect(576, 80, 49, 24);
    QTest::newRow("gbModule") << "gbModule" << QRect(0, 184, 657, 177);
    QTest::newRow("moFirmwareNote") << "moFirmwareNote" << QRect(9, 48, 641, 105);
    QTest::newRow("edModelName") << "edModelName" << QRect(328, 24, 225, 32);
}

void tst_Module::controls_shown_sitAtTheirRectangles()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    ShowWindow();
    auto* control = window_->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->geometry(), rect);
}

void tst_Module::edits_typedPastLimit_keepTheirMaximumLength_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");
    QTest::newRow("edCtrlBySN") << "edCtrlBySN" << 8;
    QTest::newRow("edG6Sn") << "edG6Sn" << 8;
    QTest::newRow("edCtrlByID") << "edCtrlByID" << 4;
    QTest::newRow("edSetCtrlID") << "edSetCtrlID" << 4;
    QTest::newRow("edSameCard") << "edSameCard" << 3;
    QTest::newRow("edSetVer") << "edSetVer" << 4;
    QTest::newRow("edModelName") << "edModelName" << 12;
    QTest::newRow("edIP") << "edIP" << 15;
    QTest::newRow("edG4Sn has none") << "edG4Sn" << 40;
}

void tst_Module::edits_typedPastLimit_keepTheirMaximumLength()
{
    QFETCH(QString, name);
    QFETCH(int, limit);
    CreateWindow();
    auto* edit = window_->findChild<QLineEdit*>(name);
    QVERIFY(edit != nullptr);
    edit->clear();
    QTest::keyClicks(edit, QString(40, QLatin1Char('7')));
    QCOMPARE(edit->text().size(), limit);
}

void tst_Module::replyFields_typedInto_stayEmpty()
{
    CreateWindow();
    for (QLineEdit* field : {window_->edCommandRecv, window_->edModuleCommandRecv,
                             window_->edG6Recv, window_->edG4Recv}) {
        QTest::keyClicks(field, QStringLiteral("0001AB"));
        QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
    }
    QVERIFY(window_->moFirmwareNote->isReadOnly());
}

void tst_Module::dropDowns_created_holdTheirLists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("editable");
    QTest::newRow("cmbBaudrate") << "cmbBaudrate" << 18 << 10 << "115200,n,8,1" << true;
    QTest::newRow("cmbAlarm") << "cmbAlarm" << 7 << 0 << "Alarm Off" << false;
    QTest::newRow("cmbG4Type") << "cmbG4Type" << 6 << 2 << "KXRB5/BS/BQ" << false;
    QTest::newRow("cmbModuleType") << "cmbModuleType" << 6 << 2 << "KXRB5/KX77" << false;
    QTest::newRow("cmbG6Id") << "cmbG6Id" << 9 << 1 << "1" << false;
    QTest::newRow("cmbG4Id") << "cmbG4Id" << 9 << 1 << "1" << false;
    QTest::newRow("cmbG6SetId") << "cmbG6SetId" << 8 << 0 << "1" << false;
    QTest::newRow("cmbG4SetId") << "cmbG4SetId" << 8 << 0 << "1" << false;
    QTest::newRow("cmbModuleId") << "cmbModuleId" << 8 << 0 << "1" << false;
}

void tst_Module::dropDowns_created_holdTheirLists()
{
    QFETCH(QString, name);
    QFETCH(int, count);
    QFETCH(int, selected);
    QFETCH(QString, text);
    QFETCH(bool, editable);
    CreateWindow();
    auto* combo = window_->findChild<QComboBox*>(name);
    QVERIFY(combo != nullptr);
    QCOMPARE(combo->count(), count);
    QCOMPARE(combo->currentIndex(), selected);
    QCOMPARE(combo->currentText(), text);
    QCOMPARE(combo->isEditable(), editable);
    QCOMPARE(combo->itemText(count - 1).isEmpty(), false);
    if (name == QLatin1String("cmbBaudrate")) {
        QCOMPARE(combo->itemText(0), QStringLiteral("4800,n,8,1"));
        QCOMPARE(combo->itemText(5), QStringLiteral("19200,e,8,1"));
        QCOMPARE(combo->itemText(17), QStringLiteral("921600,e,8,1"));
        // What is typed is the text; the list stays as it is.
        ShowWindow();
        window_->pcPort->setCurrentWidget(window_->tsCom);
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo, QStringLiteral("2400,n,8,1"));
        QCOMPARE(combo->currentText(), QStringLiteral("2400,n,8,1"));
        QCOMPARE(combo->count(), 18);
    }
}

void tst_Module::fileMenu_shown_offersOnlyExit()
{
    ShowWindow();
    QList<QAction*> visible;
    for (QAction* action : window_->mnuFile->actions()) {
        if (action->isVisible())
            visible << action;
    }
    QCOMPARE(visible, QList<QAction*>{window_->mnuExit});
    QCOMPARE(window_->mnuExit->text(), QStringLiteral("E&xit"));
}

// --- Creation, settings and languages ---------------------------------------

void tst_Module::window_firstRun_showsDefaults()
{
    ShowWindow();
    QCOMPARE(window_->pcPort->currentWidget(), window_->tsCom);
    QCOMPARE(window_->cmbPort->currentText(), QStringLiteral("COM1"));
    QCOMPARE(window_->cmbBaudrate->currentText(), QStringLiteral("115200,n,8,1"));
    QCOMPARE(window_->edPort->text(), QStringLiteral("5001"));
    QCOMPARE(window_->pnFile->text(), QStringLiteral("KX920-G4.KXB"));
    QCOMPARE(window_->pnID->text(), QStringLiteral("0000"));
    QCOMPARE(window_->Identity().DeviceID, std::string("0000"));
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Start connect device"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("KX410/420/450-G7 Tools V0520"));
    QCOMPARE(window_->shComm->colour(), QColor(Qt::red));
    QCOMPARE(window_->pcMain->currentWidget(), window_->tsTest);
    QVERIFY(window_->tmrClock->isActive());
    QVERIFY(!window_->tmrBusy->isActive());
    QCOMPARE(window_->tmrBusy->interval(), 200);
    QCOMPARE(window_->tmrClock->interval(), 500);
    QVERIFY(window_->mnuEnglish->isChecked());
}

void tst_Module::window_storedSettings_fillControlsAndLanguage()
{
    ct::link::LinkSettings link;
    link.LinkType = ct::link::LinkTypeNet;
    link.ComPortName = "COM7";
    link.ComBaudRate = "19200,e,8,1";
    link.NetIP = "10.1.2.3";
    link.NetPort = "6001";
    store_->SaveLinkSettings(link);
    store_->SaveLanguage(QStringLiteral("ChineseBIG5"));
    store_->SaveFirmwareFile(QStringLiteral("/tmp/x.KXB"));

    ShowWindow();
    QCOMPARE(window_->pcPort->currentWidget(), window_->tsNet);
    QCOMPARE(window_->cmbPort->currentText(), QStringLiteral("COM7"));
    QCOMPARE(window_->cmbBaudrate->currentText(), QStringLiteral("19200,e,8,1"));
    QCOMPARE(window_->edIP->text(), QStringLiteral("10.1.2.3"));
    QCOMPARE(window_->edPort->text(), QStringLiteral("6001"));
    QCOMPARE(window_->pnFile->text(), QStringLiteral("/tmp/x.KXB"));
    QCOMPARE(window_->LanguageIndex(), 2);
    QVERIFY(window_->mnuTraditional->isChecked());
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("連線裝置"));
}

void tst_Module::language_selected_relabelsWindow_data()
{
    QTest::addColumn<QString>("menuItem");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("message");
    QTest::newRow("simplified") << "mnuSimplified" << 1 << "ChineseGB" << "WenQuanYi Micro Hei" << 12
                                << QStringLiteral("连线装置");
    QTest::newRow("traditional") << "mnuTraditional" << 2 << "ChineseBIG5" << "WenQuanYi Micro Hei"
                                 << 12 << QStringLiteral("連線裝置");
    QTest::newRow("back to English") << "mnuEnglish" << 0 << "English" << "Liberation Sans" << 10
                                     << QStringLiteral("Start connect device");
}

void tst_Module::language_selected_relabelsWindow()
{
    QFETCH(QString, menuItem);
    QFETCH(int, language);
    QFETCH(QString, storedName);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(QString, message);
    ShowWindow();
    if (language == 0)
        window_->mnuTraditional->trigger();
    window_->pnMsg->setText(Text(ct::app::txt::CommandOk, window_->LanguageIndex()));

    auto* item = window_->findChild<QAction*>(menuItem);
    QVERIFY(item != nullptr);
    item->trigger();

    QCOMPARE(window_->LanguageIndex(), language);
    QCOMPARE(window_->pnMsg->text(), message);
    QCOMPARE(window_->windowTitle(), Text(ct::app::txt::Title, language));
    QCOMPARE(Stored().languageName, storedName);

    QCOMPARE(window_->font().families().value(0), family);
    QCOMPARE(window_->font().pointSize(), points);
    QCOMPARE(window_->lblID->font().pointSize(), points);  // follows the window

    // Controls with their own font keep it.
    QCOMPARE(window_->btnDIDO->font().pixelSize(), 19);
    QVERIFY(window_->btnDIDO->font().bold());
    QCOMPARE(window_->btnDIDO->font().families().value(0), QStringLiteral("Liberation Sans"));
    QCOMPARE(window_->pnVER->font().pixelSize(), 35);
    QCOMPARE(window_->pnVER->font().families().value(0), QStringLiteral("Liberation Sans Narrow"));
    QCOMPARE(window_->lblDI1->font().weight(), QFont::Black);

    const std::vector<QAction*> items = {window_->mnuEnglish, window_->mnuSimplified,
                                         window_->mnuTraditional};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(items[i]->isChecked(), i == language);
        QCOMPARE(items[i]->text(), Text(ct::app::txt::MenuLanguages, i));
    }
    QCOMPARE(window_->mnuSimplified->text(), QStringLiteral("&Simplified chinese(简体)"));

    // Relabelled texts follow the language, fixed captions stay.
    QCOMPARE(window_->btnDIDO->text(), Text(ct::app::txt::DidoTest, language));
    QCOMPARE(window_->gbSetG4->title(), Text(ct::app::txt::SetReaderDido, language));
    QCOMPARE(window_->pcMain->tabText(window_->pcMain->indexOf(window_->tsSetCtrl)),
             Text(ct::app::txt::Controller, language));
    QCOMPARE(window_->lblID->text(), QStringLiteral("ID:"));
    QCOMPARE(window_->chkCardTypeBG->text(), QStringLiteral("GUID(B)"));
    QCOMPARE(window_->btn19200->text(), QStringLiteral("19200,e,8,1"));
}

void tst_Module::language_switchedRepeatedly_keepsOneNoteLineAndHiddenTabs()
{
    ShowWindow();
    const QList<QWidget*> shown = {window_->tsTest, window_->tsSetCtrl, window_->tsSetG6,
                                   window_->tsSetG4, window_->tsCommand};
    for (QAction* item : {window_->mnuSimplified, window_->mnuTraditional, window_->mnuEnglish,
                          window_->mnuEnglish, window_->mnuSimplified}) {
        item->trigger();
        QCOMPARE(window_->moFirmwareNote->document()->blockCount(), 1);
        QCOMPARE(window_->moFirmwareNote->toPlainText(),
                 Text(ct::app::txt::FirmwareNote, window_->LanguageIndex()));
        QList<QWidget*> visible;
        for (int i = 0; i < window_->pcMain->count(); ++i) {
            if (window_->pcMain->isTabVisible(i))
                visible << window_->pcMain->widget(i);
        }
        QCOMPARE(visible, shown);
        QVERIFY(window_->gbSetName->isHidden());
    }
}

void tst_Module::about_inEachLanguage_showsCatalogueTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("Simplified") << 1;
    QTest::newRow("Traditional") << 2;
}

void tst_Module::about_inEachLanguage_showsCatalogueTexts()
{
    QFETCH(int, language);
    ShowWindow();
    QAction* items[] = {window_->mnuEnglish, window_->mnuSimplified, window_->mnuTraditional};
    items[language]->trigger();

    QString title;
    QString body;
    QString info;
    bool modal = false;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        title = box->windowTitle();
        body = box->text();
        info = box->informativeText();
        modal = box->isModal() && box->buttons().size() == 1;
        box->accept();
    });
    window_->mnuAbout->trigger();
    QCOMPARE(title, Text(ct::app::txt::About, language));
    QCOMPARE(body, Text(ct::app::txt::AboutText, language));
    QCOMPARE(info, QStringLiteral("controller-tools ") + QString::fromLatin1(ct::ProgramVersion()));
    QVERIFY(modal);
}

// --- Keyboard and busy state --------------------------------------------------

void tst_Module::enter_withFocus_startsConnectOrPressesFocusedButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("connects");
    QTest::newRow("edit field") << "edPort" << true;
    QTest::newRow("drop-down") << "cmbAlarm" << true;
    QTest::newRow("Connect itself") << "btnConnect" << true;
    QTest::newRow("another button") << "btn19200" << false;
}

void tst_Module::enter_withFocus_startsConnectOrPressesFocusedButton()
{
    QFETCH(QString, focus);
    QFETCH(bool, connects);
    ShowWindow();
    StartSim(Via::Tcp);
    auto* target = window_->findChild<QWidget*>(focus);
    QVERIFY(target != nullptr);
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);
    QPushButton* focusedButton = qobject_cast<QPushButton*>(target);
    std::optional<QSignalSpy> pressed;
    if (focusedButton != nullptr)
        pressed.emplace(focusedButton, &QPushButton::clicked);

    QTest::keyClick(target, Qt::Key_Return);

    QCOMPARE(sim_->Commands().empty(), !connects);
    QCOMPARE(window_->pnMsg->text(), connects ? QStringLiteral("Command ok.")
                                              : QStringLiteral("Start connect device"));
    if (pressed)
        QCOMPARE(pressed->count(), 1);
    // The operation gives the focus back where it was.
    QCOMPARE(QApplication::focusWidget(), target);
}

void tst_Module::operation_running_blocksWindowWithHourglass()
{
    ShowWindow();
    StartSim(Via::Tcp);
    Fault slow;
    slow.kind = FaultKind::Delay;
    slow.command = "AC";
    slow.delay = 600ms;
    sim_->InjectFault(slow);

    std::optional<bool> enabledMeanwhile;
    std::optional<bool> hourglassMeanwhile;
    std::optional<bool> blinkingMeanwhile;
    QTimer::singleShot(200, this, [&] {
        enabledMeanwhile = window_->WindowEnabled();
        hourglassMeanwhile = QApplication::overrideCursor() != nullptr
                             && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        blinkingMeanwhile = window_->tmrBusy->isActive();
        // Neither a second click nor Enter starts anything, and nothing can
        // be typed meanwhile.
        QTest::mouseClick(window_->btnConnect, Qt::LeftButton);
        QTest::keyClick(window_->edPort, Qt::Key_Return);
        QTest::keyClicks(window_->edIP, QStringLiteral("9"));
    });
    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);

    QCOMPARE(enabledMeanwhile, std::optional<bool>(false));
    QCOMPARE(hourglassMeanwhile, std::optional<bool>(true));
    QCOMPARE(blinkingMeanwhile, std::optional<bool>(true));
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Command ok."));
    QCOMPARE(sim_->Commands().size(), std::size_t(3));
    QCOMPARE(window_->edIP->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(window_->WindowEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!window_->tmrBusy->isActive());
}

void tst_Module::close_duringOperation_heldUntilItEnds()
{
    ShowWindow();
    StartSim(Via::Pty);
    Fault silent;
    silent.kind = FaultKind::NoAnswer;
    silent.command = "AC";
    silent.times = -1;
    sim_->InjectFault(silent);

    std::optional<bool> visibleAfterClose;
    QTimer::singleShot(100, this, [&] {
        window_->close();
        visibleAfterClose = window_->isVisible();
    });
    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);

    QCOMPARE(visibleAfterClose, std::optional<bool>(true));
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Connect device error!"));
    QCOMPARE(int(sim_->Commands().size()), 3);
    // Closed once the operation has ended and its handler has returned.
    QTRY_VERIFY(!window_->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // An idle window closes at once.
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->close();
    QVERIFY(!window_->isVisible());
}

void tst_Module::storedAddress_longerThanField_shownAndUsedWhole()
{
    const QString address = QStringLiteral("192.168.100.200.extra");
    ct::link::LinkSettings link;
    link.LinkType = ct::link::LinkTypeNet;
    link.NetIP = address.toStdString();
    store_->SaveLinkSettings(link);
    ShowWindow();

    QCOMPARE(window_->edIP->text(), address);
    QCOMPARE(window_->ActiveLinkSettings().NetIP, address.toStdString());
    // The user can shorten it, but not type it any longer.
    window_->edIP->setFocus();
    window_->edIP->end(false);
    QTest::keyClicks(window_->edIP, QStringLiteral("9"));
    QCOMPARE(window_->edIP->text(), address);
    QTest::keyClick(window_->edIP, Qt::Key_Backspace);
    QTest::keyClicks(window_->edIP, QStringLiteral("xy"));
    QCOMPARE(window_->edIP->text(), address.chopped(1));
    window_->SaveLinkSettings();
    QCOMPARE(Stored().link.NetIP, address.chopped(1).toStdString());
}

void tst_Module::storedSettings_hugeAndOddValues_shownAsUsed()
{
    ct::link::LinkSettings link;
    // Within the settings file's limit, the digits after an escape written
    // as escapes too.
    link.ComPortName = std::string(100000, 'P');
    link.ComBaudRate = "9600,n,8,1\t\x01" + std::string(100000, '9');
    link.NetIP = std::string(100000, '1');
    link.NetPort = "5001\x7f" + std::string(100000, '0');
    store_->SaveLinkSettings(link);
    const ct::link::LinkSettings loaded = Stored().link;
    ShowWindow();

    QCOMPARE(window_->cmbPort->currentText().toStdString(), loaded.ComPortName);
    QCOMPARE(window_->cmbBaudrate->currentText().toStdString(), loaded.ComBaudRate);
    QCOMPARE(window_->edIP->text().toStdString(), loaded.NetIP);
    QCOMPARE(window_->edPort->text().toStdString(), loaded.NetPort);
    const ct::link::LinkSettings used = window_->ActiveLinkSettings();
    QCOMPARE(used.ComPortName, loaded.ComPortName);
    QCOMPARE(used.ComBaudRate, loaded.ComBaudRate);
    QCOMPARE(used.ComPortName.size(), std::size_t(100000));
    window_->pcPort->setCurrentWidget(window_->tsNet);
    QCOMPARE(window_->ActiveLinkSettings().NetIP, loaded.NetIP);
    QCOMPARE(window_->ActiveLinkSettings().NetPort, loaded.NetPort);

    // Neither opens anything, and the window is the user's again.
    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Connect device error!"));
    window_->pcPort->setCurrentWidget(window_->tsCom);
    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Connect device error!"));
    QVERIFY(window_->WindowEnabled());
}

// --- Connect ----------------------------------------------------------------

void tst_Module::connect_controllerAnswers_fillsPanelsAndStoresLink_data()
{
    QTest::addColumn<Via>("via");
    QTest::newRow("TCP") << Via::Tcp;
    QTest::newRow("pseudo-terminal") << Via::Pty;
}

void tst_Module::connect_controllerAnswers_fillsPanelsAndStoresLink()
{
    QFETCH(Via, via);
    ShowWindow();
    StartSim(via);
    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);

    QCOMPARE(sim_->Commands(), (std::vector<std::string>{"0000AC", "0001DB", "0001AS"}));
    QCOMPARE(window_->pnVER->text(), QStringLiteral("KX410NT4-SG4  0520"));
    QCOMPARE(window_->pnSN->text(), QStringLiteral("S/N:16030001   ID:0001"));
    QCOMPARE(window_->pnID->text(), QStringLiteral("0001"));
    QCOMPARE(window_->sbID->value(), 1);
    QCOMPARE(window_->pnMsg->text(), QStringLiteral("Command ok."));
    QCOMPARE(window_->shComm->colour(), QColor(Qt::yellow));
    QCOMPARE(beeper_.frequencies, std::vector<int>{1000});
    QCOMPARE(window_->Identity().DeviceSN, std::string("16030001"));
    QCOMPARE(window_->Identity().ControllerKind, 7);

    const ct::app::StoredSettings stored = Stored();
    if (via == Via::Tcp) {
        QCOMPARE(stored.link.LinkType, std::uint8_t(ct::link::LinkTypeNet));
        QCOMPARE(stored.link.NetIP, std::string("127.0.0.1"));
        QCOMPARE(stored.link.NetPort, std::to_string(sim_->TcpPort()));
        QCOMPARE(stored.link.ComPortName, std::string("COM1"));
    } else {
        QCOMPARE(stored.link.LinkType, std::uint8_t(ct::link::LinkTypeCom));
        QCOMPARE(stored.link.ComPortName, sim_->PtyPath());
        QCOMPARE(stored.link.ComBaudRate, std::string("115200,n,8,1"));
    }
}

void tst_Module::connect_faultyController_endsAsStated_data()
{
    QTest::addColumn<Via>("via");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("countdown");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("beep");
    QTest::addColumn<int>("commands");

    const auto fault = [](FaultKind kind, const char* command) {
        Fault f;
        f.kind = kind;
        f.command = command;
        f.times = -1;
        return f;
    };
    const QString kept = QStringLiteral("kept");
    QTest::newRow("AC of another length") << Via::Tcp << fault(FaultKind::WrongLength, "AC")
                                          << "Connect device error!" << true << kept << false << 300
                                          << 3;
    QTest::newRow("silent controller") << Via::Pty << fault(FaultKind::NoAnswer, "AC")
                                       << "Connect device error!" << true << kept << false << 300 << 3;
    QTest::newRow("DB fails") << Via::Tcp << fault(FaultKind::NoAnswer, "DB") << "Command error!"
                              << false << QString() << true << 300 << 2;
    QTest::newRow("AS fails") << Via::Tcp << fault(FaultKind::WrongLength, "AS") << "Command ok."
                              << false << "KX410NT4-SG4  0520" << true << 1000 << 3;
}

void tst_Module::connect_faultyController_endsAsStated()
{
    QFETCH(Via, via);
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    QFETCH(bool, countdown);
    QFETCH(QString, version);
    QFETCH(bool, stored);
    QFETCH(int, beep);
    QFETCH(int, commands);
    ShowWindow();
    StartSim(via);
    sim_->InjectFault(fault);
    window_->pnVER->setText(QStringLiteral("kept"));
    window_->pnSN->setText(QStringLiteral("kept"));
    PaintedTexts painted(window_->pnMsg);

    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);

    QCOMPARE(window_->pnMsg->text(), message);
    QCOMPARE(int(sim_->Commands().size()), commands);
    QCOMPARE(beeper_.frequencies, std::vector<int>{beep});
    QCOMPARE(window_->pnVER->text(), version);
    QCOMPARE(window_->pnSN->text(), version == QLatin1String("kept") ? version : QString());
    QCOMPARE(window_->shComm->colour(), beep == 1000 ? QColor(Qt::yellow) : QColor(Qt::red));
    if (countdown) {
        const QStringList expected = {QStringLiteral("Connecting device ..."),
                                      QStringLiteral("Connecting device ... ( 6 )"),
                                      QStringLiteral("Connecting device ... ( 5 )"),
                                      QStringLiteral("Connecting device ... ( 4 )")};
        QCOMPARE(painted.texts.mid(0, 4), expected);
    }
    QCOMPARE(QFile::exists(iniPath_), stored);
}

void tst_Module::connect_replyWithOtherId_adoptsIt()
{
    ShowWindow();
    ct::sim::ControllerConfig config;
    config.id = "0034";
    StartSim(Via::Tcp, config);
    window_->sbID->setValue(12);
    QCOMPARE(window_->pnID->text(), QStringLiteral("0012"));

    QTest::mouseClick(window_->btnConnect, Qt::LeftButton);

    QCOMPARE(sim_->Commands(), (std::vector<std::string>{"0012AC", "0034DB", "0034AS"}));
    QCOMPARE(window_->sbID->value(), 34);
    QCOMPARE(window_->pnID->text(), QStringLiteral("0034"));
    QCOMPARE(window_->Identity().DeviceID, std::string("0034"));
    QCOMPARE(window_->pnSN->text(), QStringLiteral("S/N:16030001   ID:0034"));
}

// --- Pictures -----------------------------------------------------------------

void tst_Module::screenshots_eachLanguage_written()
{
    ShowWindow();
    window_->pnVER->setText(QStringLiteral("KX410NT4-SG4  0520"));
    window_->pnSN->setText(QStringLiteral("S/N:16030001   ID:0001"));
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots"));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    const struct {
        QAction* item;
        const char* name;
    } languages[] = {{window_->mnuEnglish, "en"},
                     {window_->mnuSimplified, "zh-hans"},
                     {window_->mnuTraditional, "zh-hant"}};
    for (const auto& language : languages) {
        language.item->trigger();
        QCoreApplication::processEvents();
        const QString name = QString::fromLatin1(language.name);
        QVERIFY(window_->grab().save(folder.filePath(QStringLiteral("window-%1.png").arg(name))));
        // Every page, shown or not, for a look at the pages behind the tabs.
        for (int i = 0; i < window_->pcMain->count(); ++i) {
            QWidget* page = window_->pcMain->widget(i);
            page->resize(window_->pcMain->currentWidget()->size());
            QVERIFY(page->grab().save(
                folder.filePath(QStringLiteral("page-%1-%2.png").arg(name, page->objectName()))));
        }
    }
}

QTEST_MAIN(tst_Module)
#include "tst_Module.moc"
