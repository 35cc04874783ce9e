#pragma once

#include <QObject>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMainWindow;
class QTimer;

namespace orvane {

class SessionTap;

// The recording of every received message into a CSV file, as the window offers it: the File
// menu's Start/Stop Recording item (which asks for the file) and the status bar's label with the
// file, the rows written so far (refreshed every second) and a write error, shown only while
// recording.
class RecordingControl : public QObject {
    Q_OBJECT
public:
    // Adds the label to `window`'s status bar; the action goes into a menu of the caller's.
    RecordingControl(std::shared_ptr<SessionTap> tap, QMainWindow& window);
    ~RecordingControl() override;

    QAction* action() const { return action_; }

    // Starting throws std::system_error when the file cannot be written.
    void start(const std::string& path);
    void stop();

private:
    // The menu item: stops a recording, or asks for a file and starts one (a failure is shown).
    void toggle();
    void showState();

    std::shared_ptr<SessionTap> tap_;
    QMainWindow& window_;
    QAction* action_ = nullptr;
    QLabel* label_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace orvane
