#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/TrafficLog.h"
#include "qt/BenchPanel.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace orvane {

// The messages of a traffic log as table rows (time, direction, name, fields), oldest first,
// optionally only those of one message name.
//
// update() brings the rows up to the log's history, however many drains (its own or the
// console's) came since: the log's positions tell which entries left the front and which came
// at the back, and the views are told exactly those rows, so a view keeps its selection and
// scroll position. Rows refer to the log's entries by their position, so nothing is copied out
// of the log, except while frozen: then the rows show a copy of the history taken at the
// freeze, which the log's moving on cannot empty. One thread (the GUI thread) uses it.
class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { timeColumn, directionColumn, nameColumn, fieldsColumn, columnCount_ };

    explicit TrafficTableModel(std::shared_ptr<TrafficLog> log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Drains the log if a drain is due and brings the rows up to its history (nothing while
    // frozen). Returns the message names not seen before.
    std::vector<std::string> update();
    // Frozen, the rows stay as they are (a filter still applies to them); thawed, they catch up.
    void setFrozen(bool frozen);
    bool isFrozen() const { return frozen_.has_value(); }
    // Shows only the entries named `name` (all of them when empty).
    void setFilter(const std::string& name);
    const std::string& filter() const { return filter_; }
    // Empties the log (its history, queue and dropped count) and the rows.
    void clear();
    // Shows another log from now on (frozen, a copy of its history); returns its message names.
    std::vector<std::string> setLog(std::shared_ptr<TrafficLog> log);

    // The entry of a row, or null for a row out of range.
    const TrafficEntry* entry(int row) const;
    // The log position of a row's entry (none for a row out of range), and the first row whose
    // entry is at `position` or after it (rowCount() when none is).
    std::optional<std::uint64_t> position(int row) const;
    int rowAtOrAfter(std::uint64_t position) const;
    const TrafficLog& log() const { return *log_; }

private:
    // The entries the rows are drawn from: the log's history, or the frozen copy.
    const std::deque<TrafficEntry>& source() const { return frozen_ ? frozen_->entries : log_->history(); }
    std::uint64_t sourceFirst() const { return frozen_ ? frozen_->first : log_->firstPosition(); }
    void rebuildRows();
    // The names in the source not seen before.
    std::vector<std::string> takeNames();

    struct Frozen {
        std::deque<TrafficEntry> entries;
        std::uint64_t first = 0;
    };

    std::shared_ptr<TrafficLog> log_;
    std::string filter_;
    std::optional<Frozen> frozen_;
    // The rows' entries by position (TrafficLog::firstPosition), and the position just past the
    // newest entry the rows have taken in.
    std::deque<std::uint64_t> rows_;
    std::uint64_t seenEnd_ = 0;
    std::uint64_t seenClears_ = 0;
    std::set<std::string, std::less<>> names_;
};

// A dock showing a traffic log's messages in a table, refreshed at most 10 times a second while
// it is visible. Pause stops the table, not the log: the history goes on taking the newest
// entries, and the table catches up on Resume. Clear empties the log; the filter shows one
// message name; Copy and Ctrl+C put the selected rows on the clipboard, one line each
// (trafficEntryText). Beside the buttons: how many entries the log lost because its hand-over
// queue was full. The table follows the newest row while it is at its end, also after a filter
// change, and stays where the user scrolled otherwise.
//
// The console drains the log whether or not the dock is shown; the dock drains it too while it
// is visible, so that it also works over a log nothing else drains.
class TrafficPanel : public BenchPanel {
    Q_OBJECT
public:
    explicit TrafficPanel(std::shared_ptr<TrafficLog> log, QWidget* parent = nullptr);
    ~TrafficPanel() override;

    QTableView* view() const { return view_; }
    TrafficTableModel* model() const { return model_; }
    bool isPaused() const { return paused_; }
    // The selected rows as text, one line per row ending in a line feed, oldest first.
    QString selectedText() const;

    // Lists another log from now on: the live session's, or a replay's.
    void setLog(std::shared_ptr<TrafficLog> log);

public slots:
    void setPaused(bool paused);
    void clear();
    void copySelection();
    // Shows only the messages named `name` (all of them for an empty name).
    void setFilter(const QString& name);
    // Takes what the log has queued (unless paused) and shows the dropped count now.
    void refresh() override;

private:
    void addFilterNames(const std::vector<std::string>& names);
    void showDroppedCount();

    std::shared_ptr<TrafficLog> log_;
    TrafficTableModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QComboBox* filterBox_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QLabel* droppedLabel_ = nullptr;
    EndFollower* follower_ = nullptr;
    bool paused_ = false;
    std::uint64_t shownDropped_ = UINT64_MAX;
};

}  // namespace orvane
