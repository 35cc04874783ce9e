#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "maneuver/ManeuverSuite.h"
#include "qt/BenchPanel.h"
#include "qt/ElidedLabel.h"

class QAction;
class QLabel;
class QMainWindow;
class QProgressBar;
class QShortcut;

namespace orvane {

class ManeuverControl;
class ViewController;

// The panel of a running maneuver suite: the maneuver, the repeat and its phase, the time left,
// how the suite ended, and a large Abort button.
class ManeuverPanel : public BenchPanel {
    Q_OBJECT
public:
    explicit ManeuverPanel(QWidget* parent = nullptr);

    // The suite shown: the last one `control` started.
    void setControl(const ManeuverControl* control) { control_ = control; }
    QPushButton* abortButton() const { return abort_; }
    QPushButton* saveReportButton() const { return save_; }
    QPushButton* compareButton() const { return compare_; }
    // The verdicts of the suite that ended, shown above how it ended; empty for none.
    void setVerdict(const QString& text);
    ElidedLabel* statusLabel() const { return status_; }

public slots:
    void refresh() override;

private:
    const ManeuverControl* control_ = nullptr;
    ElidedLabel* maneuver_;
    ElidedLabel* repeat_;
    ElidedLabel* timeLeft_;
    ElidedLabel* status_;
    QProgressBar* progress_;
    QPushButton* abort_;
    QPushButton* save_;
    QPushButton* compare_;
    QString verdict_;
};

// Test ▸ Run Maneuvers… and what follows it: the file is chosen and read on a worker (a file that
// cannot run is refused with its one-line reason before anything runs), the suite is shown and
// confirmed, and it runs on the connected device with the panel shown, the sliders disabled and
// Escape aborting. When it ends the panel says how, and a sheet offers to save the report.
class ManeuverRunControl : public QObject {
    Q_OBJECT
public:
    ManeuverRunControl(std::shared_ptr<ViewController> console, std::shared_ptr<ManeuverControl> maneuvers,
                       QMainWindow& window);
    ~ManeuverRunControl() override;

    // The menu item, enabled while the console can run a suite (refreshed by updateAction()).
    QAction* action() const { return action_; }
    void updateAction();
    ManeuverPanel* panel() const { return panel_; }

    // Reads the suite at `path` on a worker, then refuses it with an alert or asks whether to run
    // it; returns at once. Nothing while a suite runs. A read that finishes after a later open() is
    // dropped.
    void open(const std::string& path);
    // A file is being read.
    bool isOpening() const { return opening_ != nullptr; }
    // The sheet that asks whether to run the suite read last, or none.
    QMessageBox* confirmation() const { return confirmation_; }
    // Aborts the running suite with `reason`.
    void abort(const std::string& reason);
    // As the window closes: aborts with `reason` and waits until the device was sent 0 (at most 2 s).
    void windowClosing(const std::string& reason = "the window was closed");
    // Writes the last suite's report; throws std::runtime_error when it cannot.
    void saveReport(const std::string& path) const;
    // What Save Report… writes besides the HTML report.
    enum class ResultFile { report, junit, metrics };
    // Writes the last suite's report, JUnit XML or metrics JSON; throws std::runtime_error.
    void saveResults(const std::string& path, ResultFile kind) const;
    // Compares the last suite's metrics with the metrics file at `path` from here on (the panel's
    // verdicts, the report and the files saved); returns why it cannot be (not a metrics file, one
    // of another suite), or none when it is.
    std::optional<std::string> compareWith(const std::string& path);

private:
    void chooseFile();
    // On the main thread, with what the worker read: the suite, or why the file cannot run.
    void opened(const std::string& path, std::optional<ManeuverSuite> suite, const std::string& error);
    void run();
    void ended();
    void offerReport();
    // Asks for a file and saves the report, the JUnit XML or the metrics there (a failure is shown).
    void chooseReportFile();
    // Asks for a metrics file and compares with it (a refusal is shown).
    void chooseBaseline();
    // Shows the verdicts of the suite that ended in the panel.
    void showVerdict();

    std::shared_ptr<ViewController> console_;
    std::shared_ptr<ManeuverControl> maneuvers_;
    QMainWindow& window_;
    QAction* action_;
    ManeuverPanel* panel_;
    QShortcut* escape_;
    QPointer<QMessageBox> confirmation_;
    std::optional<ManeuverSuite> pending_;  // read and awaiting confirmation
    std::string path_;
    // The latest file asked for while it is read.
    std::shared_ptr<std::string> opening_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool running_ = false;
    bool closing_ = false;
};

}  // namespace orvane
