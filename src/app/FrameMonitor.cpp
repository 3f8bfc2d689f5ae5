#include "app/FrameMonitor.h"

#include "app/FrameMonitorModel.h"
#include "link/Link.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace ct::app {

namespace {

// Rows reach the table at this pace, not as the link reports them: the
// view's work then falls between transactions, mostly into the operations'
// pauses.
constexpr int FlushIntervalMs = 50;

}  // namespace

TfrmFrameMonitor::TfrmFrameMonitor(const Catalogue& catalogue, link::Link& link, QWidget* parent)
    : QWidget(parent, Qt::Window), catalogue_(catalogue), link_(link)
{
    setObjectName(QStringLiteral("frmFrameMonitor"));
    // Left open, it does not keep the program running after the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    model_ = new FrameMonitorModel(catalogue, link.clock(), FrameMonitorModel::DefaultCapacity, this);

    // A table, not a tree: with rows of one fixed height it finds a row
    // without walking all of them, so adding and dropping rows costs the
    // same with 20 rows as with 20,000.
    lvFrames = new QTableView(this);
    lvFrames->setObjectName(QStringLiteral("lvFrames"));
    lvFrames->setModel(model_);
    lvFrames->verticalHeader()->hide();
    lvFrames->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvFrames->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    lvFrames->horizontalHeader()->setStretchLastSection(true);
    lvFrames->setShowGrid(false);
    lvFrames->setWordWrap(false);
    lvFrames->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFrames->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFrames->setColumnWidth(FrameMonitorModel::ColTime, 90);
    lvFrames->setColumnWidth(FrameMonitorModel::ColDirection, 70);
    lvFrames->setColumnWidth(FrameMonitorModel::ColCheck, 110);
    lvFrames->setColumnWidth(FrameMonitorModel::ColText, 300);

    const auto button = [this](QPushButton*& member, const char* name, void (TfrmFrameMonitor::*handler)()) {
        member = new QPushButton(this);
        member->setObjectName(QLatin1String(name));
        connect(member, &QPushButton::clicked, this, handler);
    };
    button(btnPause, "btnPause", &TfrmFrameMonitor::btnPauseClick);
    button(btnClear, "btnClear", &TfrmFrameMonitor::btnClearClick);
    button(btnCopy, "btnCopy", &TfrmFrameMonitor::btnCopyClick);
    button(btnSaveAs, "btnSaveAs", &TfrmFrameMonitor::btnSaveAsClick);
    lblMonitorStatus = new QLabel(this);
    lblMonitorStatus->setObjectName(QStringLiteral("lblMonitorStatus"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnPause, btnClear, btnCopy, btnSaveAs})
        buttons->addWidget(b);
    buttons->addWidget(lblMonitorStatus, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvFrames, 1);
    layout->addLayout(buttons);

    auto* copy = new QShortcut(QKeySequence::Copy, lvFrames);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TfrmFrameMonitor::btnCopyClick);

    tmrMonitor = new QTimer(this);
    tmrMonitor->setObjectName(QStringLiteral("tmrMonitor"));
    tmrMonitor->setInterval(FlushIntervalMs);
    connect(tmrMonitor, &QTimer::timeout, this, &TfrmFrameMonitor::tmrMonitorTimer);

    resize(820, 420);
    applyLanguage(LangEnglish, font());
}

TfrmFrameMonitor::~TfrmFrameMonitor()
{
    link_.SetTrace(nullptr);
}

void TfrmFrameMonitor::applyLanguage(int language, const QFont& font)
{
    language_ = language;
    setFont(font);
    setWindowTitle(text(txt::FrameMonitor));
    LabelPause();
    btnClear->setText(text(txt::MonitorClear));
    btnCopy->setText(text(txt::MonitorCopy));
    btnSaveAs->setText(text(txt::MonitorSaveAs));
    lblMonitorStatus->clear();
    model_->SetLanguage(language);
}

void TfrmFrameMonitor::LabelPause()
{
    btnPause->setText(text(model_->Paused() ? txt::MonitorResume : txt::MonitorPause));
}

void TfrmFrameMonitor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    link_.SetTrace(model_);
    tmrMonitor->start();
}

void TfrmFrameMonitor::hideEvent(QHideEvent* event)
{
    // Closed, the monitor costs the link nothing.
    link_.SetTrace(nullptr);
    tmrMonitor->stop();
    model_->Flush();
    QWidget::hideEvent(event);
}

void TfrmFrameMonitor::tmrMonitorTimer()
{
    // Never while the link waits for a reply: the rows wait a tick instead.
    if (model_->Queued() == 0 || model_->Paused() || link_.Waiting())
        return;
    // Follow the newest rows only while the user has not scrolled away.
    QScrollBar* bar = lvFrames->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    model_->Flush();
    // The view's layout and paint now, not deferred into the next wait.
    lvFrames->doItemsLayout();
    if (atEnd)
        lvFrames->scrollToBottom();
    lvFrames->viewport()->repaint();
}

void TfrmFrameMonitor::btnPauseClick()
{
    model_->SetPaused(!model_->Paused());
    LabelPause();
}

void TfrmFrameMonitor::btnClearClick()
{
    model_->Clear();
    lblMonitorStatus->clear();
}

void TfrmFrameMonitor::btnCopyClick()
{
    QList<int> rows;
    for (const QModelIndex& index : lvFrames->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << model_->RowLine(row);
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

QFileDialog* TfrmFrameMonitor::SaveDialog()
{
    if (dlgSave == nullptr) {
        dlgSave = new QFileDialog(this);
        dlgSave->setObjectName(QStringLiteral("dlgSave"));
        dlgSave->setAcceptMode(QFileDialog::AcceptSave);
        dlgSave->setFileMode(QFileDialog::AnyFile);
        dlgSave->setNameFilter(QStringLiteral("Text files (*.txt)"));
        dlgSave->setDefaultSuffix(QStringLiteral("txt"));
        connect(dlgSave, &QFileDialog::fileSelected, this, [this](const QString& path) {
            if (!SaveTo(path))
                lblMonitorStatus->setText(text(txt::MonitorCannotWrite) + QLatin1Char(' ') + path);
        });
    }
    return dlgSave;
}

void TfrmFrameMonitor::btnSaveAsClick()
{
    lblMonitorStatus->clear();
    // open(), not exec(): a nested event loop would hold a running
    // transaction of the main window until the dialog closed.
    SaveDialog()->open();
}

bool TfrmFrameMonitor::SaveTo(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString all = model_->RowLine(-1) + QLatin1Char('\n');
    for (int row = 0; row < model_->rowCount(); ++row)
        all += model_->RowLine(row) + QLatin1Char('\n');
    const QByteArray bytes = all.toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}

}  // namespace ct::app
