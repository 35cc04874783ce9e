#include "qt/BenchPanel.h"

#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace orvane {

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
