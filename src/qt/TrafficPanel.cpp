#include "qt/TrafficPanel.h"

#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

namespace orvane {

namespace {

// More distinct names than this are not offered in the filter (a device sending garbage names
// must not grow the list without end); they can still be shown through setFilter().
constexpr std::size_t kMaximumFilterNames = 100;

// The directions as the table shows them, marked for the translation tools.
[[maybe_unused]] constexpr const char* kDirectionTexts[] = {QT_TRANSLATE_NOOP("TrafficTableModel", "sent"),
                                                            QT_TRANSLATE_NOOP("TrafficTableModel", "received")};

QString fromStd(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// A table that copies whole entries on the copy shortcut, instead of the current cell's text.
class TrafficTableView : public QTableView {
public:
    TrafficTableView(std::function<void()> copy, QWidget* parent) : QTableView(parent), copy_(std::move(copy)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event == QKeySequence::Copy) {
            copy_();
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    std::function<void()> copy_;
};

}  // namespace

TrafficTableModel::TrafficTableModel(std::shared_ptr<TrafficLog> log, QObject* parent)
    : QAbstractTableModel(parent), log_(std::move(log)) {
    rebuildRows();
    takeNames();
}

std::vector<std::string> TrafficTableModel::takeNames() {
    std::vector<std::string> newNames;
    for (const TrafficEntry& entry : source()) {
        if (names_.size() < kMaximumFilterNames && names_.insert(entry.message.name).second) {
            newNames.push_back(entry.message.name);
        }
    }
    return newNames;
}

std::vector<std::string> TrafficTableModel::setLog(std::shared_ptr<TrafficLog> log) {
    beginResetModel();
    log_ = std::move(log);
    if (frozen_) frozen_ = Frozen{log_->history(), log_->firstPosition()};
    rebuildRows();
    endResetModel();
    return takeNames();
}

int TrafficTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int TrafficTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

std::optional<std::uint64_t> TrafficTableModel::position(int row) const {
    if (row < 0 || std::size_t(row) >= rows_.size()) return std::nullopt;
    return rows_[std::size_t(row)];
}

int TrafficTableModel::rowAtOrAfter(std::uint64_t position) const {
    return int(std::lower_bound(rows_.begin(), rows_.end(), position) - rows_.begin());
}

const TrafficEntry* TrafficTableModel::entry(int row) const {
    if (row < 0 || std::size_t(row) >= rows_.size()) return nullptr;
    const std::uint64_t position = rows_[std::size_t(row)];
    // Between a drain and the removal of the rows it made stale, a row may point before the
    // history's start.
    const std::uint64_t first = sourceFirst();
    if (position < first || position - first >= source().size()) return nullptr;
    return &source()[std::size_t(position - first)];
}

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TrafficEntry* shown = entry(index.row());
    if (!shown) return {};
    switch (index.column()) {
        case timeColumn: {
            const auto ms = std::chrono::floor<std::chrono::milliseconds>(shown->systemTime).time_since_epoch().count();
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
            return role == Qt::ToolTipRole ? local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                                           : local.toString(QStringLiteral("HH:mm:ss.zzz"));
        }
        // directionText's words ("sent", "received"), which the copied lines keep in English.
        case directionColumn:
            return QCoreApplication::translate("TrafficTableModel", directionText(shown->direction).data());
        // The device's text, escaped as the copied lines have it: no control character reaches the view.
        case nameColumn: return fromStd(trafficToken(shown->message.name));
        case fieldsColumn: return fromStd(trafficFieldsText(shown->message));
        default: return {};
    }
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case timeColumn: return tr("Time");
        case directionColumn: return tr("Direction");
        case nameColumn: return tr("Name");
        case fieldsColumn: return tr("Fields");
        default: return {};
    }
}

void TrafficTableModel::rebuildRows() {
    rows_.clear();
    const std::uint64_t first = sourceFirst();
    const auto& entries = source();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (filter_.empty() || entries[i].message.name == filter_) rows_.push_back(first + i);
    }
    seenEnd_ = first + entries.size();
    seenClears_ = log_->clearCount();
}

std::vector<std::string> TrafficTableModel::update() {
    log_->drainIfDue(std::chrono::steady_clock::now());
    if (frozen_) return {};
    const std::uint64_t first = log_->firstPosition();
    const auto& history = log_->history();
    if (log_->clearCount() != seenClears_ || first + history.size() < seenEnd_) {
        // Cleared behind the model's back: start again from what the log holds.
        beginResetModel();
        rebuildRows();
        endResetModel();
        return takeNames();
    }

    // The rows are in the history's order, so those of the entries that left form a prefix.
    const auto stale =
        std::find_if(rows_.begin(), rows_.end(), [first](std::uint64_t position) { return position >= first; });
    if (stale != rows_.begin()) {
        beginRemoveRows({}, 0, int(stale - rows_.begin()) - 1);
        rows_.erase(rows_.begin(), stale);
        endRemoveRows();
    }

    std::vector<std::string> newNames;
    const std::size_t firstNew = std::size_t(std::max(seenEnd_, first) - first);
    for (std::size_t i = firstNew; i < history.size(); ++i) {
        const std::string& name = history[i].message.name;
        if (names_.size() < kMaximumFilterNames && names_.insert(name).second) newNames.push_back(name);
    }
    const std::vector<std::size_t> added = log_->matching(filter_, firstNew);
    if (!added.empty()) {
        beginInsertRows({}, int(rows_.size()), int(rows_.size() + added.size()) - 1);
        for (std::size_t i : added) rows_.push_back(first + i);
        endInsertRows();
    }
    seenEnd_ = first + history.size();
    return newNames;
}

void TrafficTableModel::setFrozen(bool frozen) {
    if (frozen == isFrozen()) return;
    if (frozen) {
        // A copy of the history the rows draw from, so that they stay whole however far the log
        // moves on; the rows' positions stay valid in it.
        frozen_ = Frozen{log_->history(), log_->firstPosition()};
        return;
    }
    // The rows still in the history stay (and keep the view's selection); update() removes the
    // others and takes in what came meanwhile.
    frozen_.reset();
}

void TrafficTableModel::setFilter(const std::string& name) {
    if (name == filter_) return;
    beginResetModel();
    filter_ = name;
    rebuildRows();
    endResetModel();
}

void TrafficTableModel::clear() {
    beginResetModel();
    log_->clear();
    if (frozen_) frozen_ = Frozen{};
    rows_.clear();
    seenEnd_ = 0;
    seenClears_ = log_->clearCount();
    endResetModel();
}

TrafficPanel::TrafficPanel(std::shared_ptr<TrafficLog> log, QWidget* parent)
    : BenchPanel(tr("Traffic"), QStringLiteral("trafficPanel"), parent), log_(std::move(log)) {
    QWidget* content = this->content();
    QVBoxLayout* layout = contentLayout();

    auto* controls = new QHBoxLayout;
    pauseButton_ = makeButton(tr("Pause"), QStringLiteral("pauseButton"), true);
    QPushButton* clearButton = makeButton(tr("Clear"), QStringLiteral("clearButton"));
    QPushButton* copyButton = makeButton(tr("Copy"), QStringLiteral("copyButton"));
    filterBox_ = new QComboBox(content);
    filterBox_->setObjectName(QStringLiteral("filterBox"));
    filterBox_->setAccessibleName(tr("Messages shown"));
    filterBox_->setToolTip(tr("Show the messages of one name"));
    filterBox_->addItem(tr("All messages"), QString());
    droppedLabel_ = new QLabel(content);
    droppedLabel_->setObjectName(QStringLiteral("droppedLabel"));
    droppedLabel_->setToolTip(
        tr("Messages lost on their way into the traffic history: the hand-over queue from the link was "
           "full because the window did not take them in time. The history keeps the newest %1 messages "
           "whether or not this panel is shown; those it lets go as newer ones come are not counted.")
            .arg(log_->historyCapacity()));
    controls->addWidget(pauseButton_);
    controls->addWidget(clearButton);
    controls->addWidget(copyButton);
    controls->addWidget(filterBox_);
    controls->addStretch();
    controls->addWidget(droppedLabel_);
    layout->addLayout(controls);

    model_ = new TrafficTableModel(log_, this);
    view_ = new TrafficTableView([this] { copySelection(); }, content);
    view_->setObjectName(QStringLiteral("trafficView"));
    view_->setAccessibleName(tr("Traffic"));
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control; the arrow keys move within it.
    view_->setTabKeyNavigation(false);
    view_->setWordWrap(false);
    view_->setAlternatingRowColors(true);
    // Fixed row heights and column widths set once: adding rows never measures their contents.
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    const int digitWidth = view_->fontMetrics().horizontalAdvance(u'0');
    header->resizeSection(TrafficTableModel::timeColumn, digitWidth * 15);
    header->resizeSection(TrafficTableModel::directionColumn, digitWidth * 10);
    header->resizeSection(TrafficTableModel::nameColumn, digitWidth * 14);
    layout->addWidget(view_);
    follower_ = new EndFollower(*view_);

    // Offer the names of the messages already in the log.
    std::vector<std::string> names;
    for (const TrafficEntry& entry : log_->history()) names.push_back(entry.message.name);
    addFilterNames(names);
    showDroppedCount();

    connect(pauseButton_, &QPushButton::toggled, this, &TrafficPanel::setPaused);
    connect(clearButton, &QPushButton::clicked, this, &TrafficPanel::clear);
    connect(copyButton, &QPushButton::clicked, this, &TrafficPanel::copySelection);
    connect(filterBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        // A new filter resets the table: it goes on following the newest row if it did, else
        // it keeps the entry at its top (or the next one the filter shows) at the top.
        const bool following = follower_->isFollowing();
        const std::optional<std::uint64_t> top = model_->position(view_->rowAt(0));
        model_->setFilter(filterBox_->itemData(index).toString().toStdString());
        if (following || !top) {
            follower_->setFollowing(following);
        } else {
            view_->scrollTo(model_->index(model_->rowAtOrAfter(*top), 0), QAbstractItemView::PositionAtTop);
        }
    });

    startRefreshing();
}

TrafficPanel::~TrafficPanel() = default;

void TrafficPanel::refresh() {
    addFilterNames(model_->update());
    showDroppedCount();
}

void TrafficPanel::setLog(std::shared_ptr<TrafficLog> log) {
    if (log == log_) return;
    log_ = std::move(log);
    addFilterNames(model_->setLog(log_));
    follower_->setFollowing(true);
    showDroppedCount();
}

void TrafficPanel::showDroppedCount() {
    const std::uint64_t dropped = log_->droppedCount();
    if (dropped == shownDropped_) return;
    shownDropped_ = dropped;
    droppedLabel_->setText(tr("Dropped: %1").arg(dropped));
}

void TrafficPanel::addFilterNames(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (filterBox_->count() > int(kMaximumFilterNames)) break;
        const QString value = fromStd(name);
        // An empty name would stand for "all messages".
        if (value.isEmpty() || filterBox_->findData(value) >= 0) continue;
        // The item shows the name escaped and filters by the name itself.
        const QString text = fromStd(trafficToken(name));
        int at = 1;
        while (at < filterBox_->count() && filterBox_->itemText(at) < text) ++at;
        filterBox_->insertItem(at, text, value);
    }
}

void TrafficPanel::setPaused(bool paused) {
    paused_ = paused;
    model_->setFrozen(paused);
    if (pauseButton_->isChecked() != paused) pauseButton_->setChecked(paused);
    pauseButton_->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused && isVisible()) refresh();
}

void TrafficPanel::clear() {
    model_->clear();
    showDroppedCount();
}

void TrafficPanel::setFilter(const QString& name) {
    int index = filterBox_->findData(name);
    if (index < 0) {
        filterBox_->addItem(fromStd(trafficToken(name.toStdString())), name);
        index = filterBox_->count() - 1;
    }
    filterBox_->setCurrentIndex(index);
}

QString TrafficPanel::selectedText() const {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& row : rows) {
        if (const TrafficEntry* entry = model_->entry(row.row())) text += fromStd(trafficEntryText(*entry)) + u'\n';
    }
    return text;
}

void TrafficPanel::copySelection() {
    const QString text = selectedText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

}  // namespace orvane
