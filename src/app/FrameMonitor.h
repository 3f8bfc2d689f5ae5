// The frame monitor, `frmFrameMonitor`: a window beside the main window,
// never modal, that lists what the main window's link does on the line
// (FrameMonitorModel). It watches the link while it is shown and stops
// watching when it is closed; its rows stay until cleared. Pause holds new
// rows back until Resume; Copy puts the selected rows on the clipboard and
// "Save as…" writes the shown rows to a file the user names, one tab-separated
// line a row after a line of column titles. Nothing here waits in a nested
// event loop: the link may be in a transaction while the user works here.
#pragma once

#include "app/Catalogue.h"

#include <QWidget>

class QFileDialog;
class QLabel;
class QPushButton;
class QTimer;
class QTableView;

namespace ct::link {
class Link;
}

namespace ct::app {

class FrameMonitorModel;

class TfrmFrameMonitor final : public QWidget {
    Q_OBJECT
public:
    // `link` and `catalogue` must outlive the monitor.
    TfrmFrameMonitor(const Catalogue& catalogue, link::Link& link, QWidget* parent = nullptr);
    ~TfrmFrameMonitor() override;

    void applyLanguage(int language, const QFont& font);
    FrameMonitorModel& Model() { return *model_; }
    // The shown rows, titles first, to `path`; false if it cannot be written.
    bool SaveTo(const QString& path);
    // The file dialog of "Save as…", made at its first use.
    QFileDialog* SaveDialog();

    QTableView* lvFrames = nullptr;
    QPushButton* btnPause = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnCopy = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QLabel* lblMonitorStatus = nullptr;
    QTimer* tmrMonitor = nullptr;

public slots:
    void btnPauseClick();
    void btnClearClick();
    void btnCopyClick();
    void btnSaveAsClick();
    void tmrMonitorTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString text(int entry) const { return catalogue_.text(entry, language_); }
    void LabelPause();

    const Catalogue& catalogue_;
    link::Link& link_;
    FrameMonitorModel* model_ = nullptr;
    QFileDialog* dlgSave = nullptr;
    int language_ = LangEnglish;
};

}  // namespace ct::app
