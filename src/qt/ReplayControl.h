#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QMenu;
class QTimer;

namespace orvane {

class Recording;
class RecordingReplay;
class ReplayTimeline;

// Opening and closing recordings, as the window offers it: File ▸ Open Recording… (Ctrl+O), the
// Recent Recordings submenu (kept with QSettings; a file that is gone is listed disabled), Close
// Recording, and open() for the command line and a dropped file; and File ▸ Export Recording ▸
// MCAP…, which exports the recording shown (with none shown, one chosen first) to an MCAP file.
//
// A file is read on a worker, so the window goes on while a long recording loads; only then is
// the replay shown, all at once, through `show`. A file that is not a recording is reported in
// an alert with the reader's one-line error (file and line) and changes nothing.
class ReplayControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kRecentCount = 6;

    // `show` gets the replay to show, or none for the live console; `redraw` brings the views up
    // to the playhead at once, after the user moved it (the views otherwise follow on their own
    // refresh ticks).
    ReplayControl(QMainWindow& window, ReplayTimeline& timeline,
                  std::function<void(const std::shared_ptr<RecordingReplay>&)> show, std::function<void()> redraw);
    ~ReplayControl() override;

    QAction* openAction() const { return openAction_; }
    QMenu* recentMenu() const { return recentMenu_; }
    QAction* closeAction() const { return closeAction_; }
    // Export Recording ▸ MCAP…: disabled while an export runs.
    QAction* exportMcapAction() const { return exportMcapAction_; }

    // Reads the recording at `path` and shows it, replacing a replay that is shown; returns at once.
    void open(const QString& path);
    // Shows the live console again.
    void close();
    // Writes the recording at `recordingPath` (read first), or with an empty path the one shown,
    // to the MCAP file `target` on a worker; returns at once. The status bar says when it is done,
    // an alert with the one-line reason when it failed (the file could not be read or written).
    void exportMcap(const QString& recordingPath, const QString& target);
    bool isExporting() const { return exporting_; }

    const std::shared_ptr<RecordingReplay>& replay() const { return replay_; }
    // A file is being read.
    bool isOpening() const { return opening_ != nullptr; }

    static QStringList recentRecordings();

private:
    void choose();
    void chooseMcapExport();
    void opened(const QString& path, std::shared_ptr<RecordingReplay> replay,
                std::shared_ptr<const Recording> recording);
    void failed(const QString& message);
    void remember(const QString& path);
    void rebuildRecentMenu();

    QMainWindow& window_;
    ReplayTimeline& timeline_;
    std::function<void(const std::shared_ptr<RecordingReplay>&)> show_;
    // Runs `redraw` once the events of a drag have been taken in: one redraw however many jumps.
    QTimer* redrawSoon_ = nullptr;
    QAction* openAction_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* exportMcapAction_ = nullptr;
    std::shared_ptr<RecordingReplay> replay_;
    // The replay's recording, which an export on a worker holds while it reads it.
    std::shared_ptr<const Recording> recording_;
    bool exporting_ = false;
    // The latest file asked for; a read that finishes after a later request is dropped.
    std::shared_ptr<QString> opening_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvane
