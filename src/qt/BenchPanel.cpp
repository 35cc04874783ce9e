#include "qt/BenchPanel.h"

#include <QAbstractScrollArea>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace orvane {

EndFollower::EndFollower(QAbstractScrollArea& area) : QObject(&area), area_(area) {
    QScrollBar* bar = area.verticalScrollBar();
    // The user (or a view that moves to its current row) moves the bar: follow while at the end.
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { following_ = value >= bar->maximum(); });
    // New lines or a resized viewport change the range, not the value: keep to the end if following.
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (following_) bar->setValue(maximum);
    });
}

void EndFollower::setFollowing(bool following) {
    following_ = following;
    if (following) area_.verticalScrollBar()->setValue(area_.verticalScrollBar()->maximum());
}

BenchPanel::BenchPanel(const QString& title, const QString& name, QWidget* parent)
    : QDockWidget(title, parent), content_(new QWidget(this)), layout_(new QVBoxLayout(content_)) {
    setObjectName(name);
    layout_->setContentsMargins(4, 4, 4, 4);
    layout_->setSpacing(4);
    setWidget(content_);
}

QPushButton* BenchPanel::makeButton(const QString& text, const QString& name, bool checkable) const {
    auto* button = new QPushButton(text, content_);
    button->setObjectName(name);
    button->setCheckable(checkable);
    return button;
}

void BenchPanel::startRefreshing() {
    timer_ = new QTimer(this);
    timer_->setInterval(refreshIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    connect(this, &QDockWidget::visibilityChanged, this, &BenchPanel::setRefreshing);
}

void BenchPanel::setRefreshing(bool visible) {
    if (visible) {
        refresh();
        timer_->start();
    } else {
        timer_->stop();
    }
}

}  // namespace orvane
