// The application's menu bar and the panels its View menu shows and hides.

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QMenuBar>
#include <QTimer>

#include "console/SessionTap.h"
#include "console/ViewController.h"
#include "inspector/InspectorViewController.h"
#include "qt/AboutBox.h"
#include "qt/Application.h"
#include "qt/LogPanel.h"
#include "qt/MainWindow.h"
#include "qt/ManeuverRunControl.h"
#include "qt/MasterViewController.h"
#include "qt/PlotPanel.h"
#include "qt/QtControls.h"
#include "qt/QtViewHost.h"
#include "qt/RecordingControl.h"
#include "qt/ReplayControl.h"
#include "qt/ReplayTimeline.h"
#include "qt/TrafficPanel.h"
#include "qt/UserGuide.h"

namespace orvane {

void Application::buildMenus(const std::shared_ptr<Button>& connectionMenuItem,
                             const std::shared_ptr<Button>& checkMenuItem) {
    QMenuBar* bar = window_->menuBar();

    QMenu* file = bar->addMenu(QCoreApplication::translate("Application", "&File"));
    replayControl_ = new ReplayControl(
        *window_, *timeline_, [this](const std::shared_ptr<RecordingReplay>& replay) { showReplay(replay); },
        [this] { redrawViews(); });
    file->addAction(replayControl_->openAction());
    file->addMenu(replayControl_->recentMenu());
    file->addAction(replayControl_->closeAction());
    QMenu* exportRecording = file->addMenu(QCoreApplication::translate("Application", "E&xport Recording"));
    exportRecording->setObjectName("exportRecordingMenu");
    exportRecording->addAction(replayControl_->exportMcapAction());
    file->addSeparator();
    recording_ = new RecordingControl(sessionTap_, *window_);
    file->addAction(recording_->action());
    QAction* exportPlots = file->addAction(QCoreApplication::translate("Application", "&Export Plots…"));
    exportPlots->setObjectName("exportPlotsAction");
    file->addSeparator();
    QAction* quit = file->addAction(QCoreApplication::translate("Application", "&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, window_.get(), [this] { window_->close(); });

    QMenu* device = bar->addMenu(QCoreApplication::translate("Application", "&Device"));
    if (auto* connection = dynamic_cast<QtMenuAction*>(connectionMenuItem.get())) {
        connection->action()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        device->addAction(connection->action());
    }
    if (auto* check = dynamic_cast<QtMenuAction*>(checkMenuItem.get())) {
        check->action()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
        check->action()->setEnabled(false);
        device->addAction(check->action());
    }

    QMenu* test = bar->addMenu(QCoreApplication::translate("Application", "&Test"));
    test->setObjectName("testMenu");
    maneuverRun_ = new ManeuverRunControl(console_, maneuvers_, *window_);
    test->addAction(maneuverRun_->action());
    // Enabled while a connected device responds and no suite runs, as the menu opens.
    QObject::connect(test, &QMenu::aboutToShow, maneuverRun_, [this] { maneuverRun_->updateAction(); });

    QMenu* view = bar->addMenu(QCoreApplication::translate("Application", "&View"));
    view->setObjectName("viewMenu");
    // The panels, each usable with all of them open at 1280x800: the plots below the wheel across
    // half the window, the log and the traffic tabbed beside them. The log is open at first, the
    // others closed until asked for; each can be moved, floated or tabbed.
    auto* log = new LogPanel(window_.get());
    auto* traffic = new TrafficPanel(sessionTap_->traffic(), window_.get());
    auto* plots = new PlotPanel(series_, window_.get());
    traffic_ = traffic;
    plots_ = plots;
    window_->addDockWidget(Qt::BottomDockWidgetArea, plots);
    window_->splitDockWidget(plots, log, Qt::Horizontal);
    window_->tabifyDockWidget(log, traffic);
    window_->resizeDocks({plots, log}, {1, 1}, Qt::Horizontal);
    window_->resizeDocks({log}, {140}, Qt::Vertical);
    traffic->hide();
    plots->hide();
    // Exports what the Plots panel shows, opening the panel first when it is closed.
    QObject::connect(exportPlots, &QAction::triggered, plots, [plots] {
        plots->show();
        plots->raise();
        plots->exportPlots();
    });
    const std::pair<QDockWidget*, QKeySequence> panels[] = {{log, QKeySequence(Qt::CTRL | Qt::Key_1)},
                                                            {traffic, QKeySequence(Qt::CTRL | Qt::Key_2)},
                                                            {plots, QKeySequence(Qt::CTRL | Qt::Key_3)}};
    for (const auto& [panel, shortcut] : panels) {
        QAction* toggle = panel->toggleViewAction();
        toggle->setText("&" + panel->windowTitle());  // the panel's initial: Log, Traffic, Plots
        toggle->setShortcut(shortcut);
        view->addAction(toggle);
        // A panel asked for comes to the front of its tabs.
        QObject::connect(toggle, &QAction::triggered, panel, [panel](bool shown) {
            if (shown) panel->raise();
        });
        window_->watchPanel(panel);
    }
    // Across the top or the bottom the plots are kept wide enough for their controls to take two
    // or three lines: at their narrowest they would take one line each, and the panel as tall.
    const auto keepPlotsWide = [this, plots] {
        const Qt::DockWidgetArea area = window_->dockWidgetArea(plots);
        const bool across = !plots->isFloating() && (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea);
        int controls = 0;
        for (auto* control : plots->widget()->findChildren<QAbstractButton*>()) controls += control->sizeHint().width();
        plots->widget()->setMinimumWidth(across ? controls / 2 : 0);
    };
    keepPlotsWide();
    QObject::connect(plots, &QDockWidget::dockLocationChanged, plots, keepPlotsWide);
    QObject::connect(plots, &QDockWidget::topLevelChanged, plots, keepPlotsWide);
    // The plots opened beside the log or the traffic take half the width they share.
    QObject::connect(plots->toggleViewAction(), &QAction::triggered, plots, [this, plots, log, traffic](bool shown) {
        if (!shown) return;
        QTimer::singleShot(0, plots, [this, plots, log, traffic] {
            for (QDockWidget* beside : {static_cast<QDockWidget*>(traffic), static_cast<QDockWidget*>(log)}) {
                if (beside->isVisible() && !beside->isFloating() && !plots->isFloating() &&
                    window_->dockWidgetArea(beside) == Qt::BottomDockWidgetArea &&
                    window_->dockWidgetArea(plots) == Qt::BottomDockWidgetArea &&
                    !window_->tabifiedDockWidgets(plots).contains(beside)) {
                    window_->resizeDocks({plots, beside}, {1, 1}, Qt::Horizontal);
                    break;
                }
            }
        });
    });
    view->addSeparator();
    QAction* settings = view->addAction(QCoreApplication::translate("Application", "&Settings…"));
    // QKeySequence::Preferences is Ctrl+, on macOS only and empty elsewhere: set it explicitly.
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QObject::connect(settings, &QAction::triggered, window_.get(), [this] { showSettings(); });

    // Tab runs through the toolbar, a running suite's panel (its Abort first at hand), the
    // console's sliders, the inspector's buttons and then the panels in the order of the View
    // menu, wherever the panels are docked.
    window_->tabOrder = [this, log, traffic, plots] {
        QList<QWidget*> order{window_->devicesComboBox(), window_->connectionButton(), window_->gamepadsComboBox(),
                              window_->settingsButton()};
        const auto appendTabStops = [&order](QWidget* root) {
            if (!root) return;
            for (QWidget* widget : root->findChildren<QWidget*>()) {
                if (widget->focusPolicy() & Qt::TabFocus) order.append(widget);
            }
        };
        if (maneuverRun_->panel()->isVisible()) appendTabStops(maneuverRun_->panel()->widget());
        appendTabStops(host_->viewOf(*console_));
        if (timeline_->isVisible()) appendTabStops(timeline_);
        if (master_->inspector) appendTabStops(host_->viewOf(*master_->inspector));
        for (QDockWidget* panel :
             {static_cast<QDockWidget*>(log), static_cast<QDockWidget*>(traffic), static_cast<QDockWidget*>(plots)}) {
            appendTabStops(panel->widget());
        }
        return order;
    };

    QMenu* help = bar->addMenu(QCoreApplication::translate("Application", "&Help"));
    QAction* guide = help->addAction(QCoreApplication::translate("Application", "&User Guide"));
    guide->setShortcut(QKeySequence::HelpContents);
    QObject::connect(guide, &QAction::triggered, window_.get(), [this] { openUserGuide(window_.get()); });
    QAction* about = help->addAction(QCoreApplication::translate("Application", "&About Orvane Console"));
    QObject::connect(about, &QAction::triggered, window_.get(),
                     [this] { showAboutBox(window_.get(), trustedKeyIds_); });
}

}  // namespace orvane
