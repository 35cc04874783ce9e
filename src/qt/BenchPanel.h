#pragma once

#include <QDockWidget>

class QAbstractScrollArea;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace orvane {

// Keeps a scroll area at its newest (last) line while the user leaves it there: lines that come,
// and a horizontal scroll bar that comes or goes with a long line, keep it at the end. Once the
// user scrolls away it stays where they put it, until they scroll back to the end.
class EndFollower : public QObject {
public:
    explicit EndFollower(QAbstractScrollArea& area);

    bool isFollowing() const { return following_; }
    // Following again moves to the end at once.
    void setFollowing(bool following);

private:
    QAbstractScrollArea& area_;
    bool following_ = true;
};

// A dockable panel of the test bench: its content is a column of controls and views, and it
// refreshes at most 10 times a second, and only while it is visible (a hidden panel costs
// nothing and catches up at once when shown).
class BenchPanel : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int refreshIntervalMs = 100;

    BenchPanel(const QString& title, const QString& name, QWidget* parent);

public slots:
    virtual void refresh() = 0;

protected:
    QWidget* content() const { return content_; }
    QVBoxLayout* contentLayout() const { return layout_; }
    // A push button of the panel's controls, named for tests and style sheets.
    QPushButton* makeButton(const QString& text, const QString& name, bool checkable = false) const;
    // Call once the panel is built: the refresh follows the panel's visibility from then on.
    void startRefreshing();

private:
    void setRefreshing(bool visible);

    QWidget* content_;
    QVBoxLayout* layout_;
    QTimer* timer_ = nullptr;
};

}  // namespace orvane
