// The Tools menu, after the fixed menus: the technician's helpers that are
// no page of their own. Find controller looks for a controller alone on the
// COM page's port at both line settings the tool switches between and, once
// one answers, takes its line setting and ID into the COM page and the ID
// scroll bar and connects to it.
#include "app/Module.h"
#include "app/Widgets.h"
#include "tests/Discover.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTabWidget>

#include <optional>

namespace ct::app {

namespace {

class FindControllerView final : public tests::IDiscoverView {
public:
    FindControllerView(QLabel& message, const QString& title, link::IEventPump& pump)
        : message_(message), title_(title), pump_(pump)
    {
    }

    void ShowLine(const std::string& settings) override
    {
        message_.setText(title_ + QStringLiteral(" ") + QString::fromStdString(settings) + QStringLiteral(" ..."));
        pump_.ProcessEvents();
    }
    void ShowScan(int, int, int) override {}
    void ControllerFound(const tests::FoundController& c) override { found = c; }

    std::optional<tests::FoundController> found;

private:
    QLabel& message_;
    QString title_;
    link::IEventPump& pump_;
};

}  // namespace

void TfrmModule::CreateToolsMenu(const QFont& menuFont)
{
    mnuTools = mnuMain->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuTools->setFont(menuFont);

    mnuFindController = mnuTools->addAction(QStringLiteral("Find controller"));
    mnuFindController->setObjectName(QStringLiteral("mnuFindController"));
    connect(mnuFindController, &QAction::triggered, this, &TfrmModule::mnuFindControllerClick);
}

void TfrmModule::mnuFindControllerClick()
{
    // Always the COM page's port, whichever page is active: line settings
    // mean nothing over TCP.
    tests::DiscoverPlan plan;
    plan.link = link_.Settings;
    plan.link.LinkType = link::LinkTypeCom;
    plan.link.ComPortName = cmbPort->currentText().toStdString();
    FindControllerView view(*pnMsg, text(txt::FindController), pump_);
    if (tests::RunDiscover(frame_, plan, view) != tests::Outcome::CommandOk || !view.found)
        return;

    const QString settings = QString::fromStdString(view.found->settings);
    cmbBaudrate->setEditText(settings);
    cmbBaudrate->setCurrentIndex(cmbBaudrate->findText(settings));
    // Connect goes where the controller was found.
    pcPort->setCurrentWidget(tsCom);
    const std::string& id = view.found->id;
    // An ID that is no number the scroll bar can show stays where it was,
    // as after Connect; Connect at ID 0000 then reaches the controller alone
    // all the same.
    if (id.size() == 4 && id.find_first_not_of("0123456789") == std::string::npos)
        sbID->setValue(std::stoi(id));
    btnConnectClick();
}

}  // namespace ct::app
