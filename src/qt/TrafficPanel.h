#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
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
// update() drains the log and tells the views exactly which rows went at the front and which
// came at the back, so a view keeps its selection and scroll position. Rows refer to the log's
// entries by their position since the log was last cleared, so nothing is copied out of the log.
// One thread (the GUI thread) uses it, and it is the log's only consumer.
class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { timeColumn, directionColumn, nameColumn, fieldsColumn, columnCount_ };

    explicit TrafficTableModel(std::shared_ptr<TrafficLog> log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Drains the log's queue into the rows. Returns the message names not seen before.
    std::vector<std::string> update();
    // Shows only the entries named `name` (all of them when empty).
    void setFilter(const std::string& name);
    const std::string& filter() const { return filter_; }
    // Empties the log (its history, queue and dropped count) and the rows.
    void clear();

    // The entry of a row, or null for a row out of range.
    const TrafficEntry* entry(int row) const;
    const TrafficLog& log() const { return *log_; }

private:
    void rebuildRows();

    std::shared_ptr<TrafficLog> log_;
    std::string filter_;
    // The position of the log's oldest history entry counted from the last clear: a row holds
    // its entry's position, which stays the same while older entries leave the history.
    std::uint64_t firstPosition_ = 0;
    std::deque<std::uint64_t> rows_;
    std::set<std::string, std::less<>> names_;
};

// A dock showing a traffic log's messages in a table, refreshed at most 10 times a second while
// it is visible. Pause stops taking messages from the log (its queue then fills and counts the
// ones it drops, shown beside the buttons); Clear empties the log; the filter shows one message
// name; Copy and Ctrl+C put the selected rows on the clipboard, one line each (trafficEntryText).
//
// While the dock is hidden nothing drains the log either, so it may count drops then too.
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
    bool paused_ = false;
    std::uint64_t shownDropped_ = UINT64_MAX;
};

}  // namespace orvane
