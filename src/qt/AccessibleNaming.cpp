#include "qt/AccessibleNaming.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>

namespace orvane {

void AccessibleNaming::install() { qApp->installEventFilter(new AccessibleNaming(qApp)); }

void AccessibleNaming::name(QWidget& widget) {
    if (!widget.accessibleName().isEmpty()) return;
    if (auto* bar = qobject_cast<QScrollBar*>(&widget)) {
        bar->setAccessibleName(bar->orientation() == Qt::Vertical
                                   ? QCoreApplication::translate("AccessibleNaming", "Vertical scroll bar")
                                   : QCoreApplication::translate("AccessibleNaming", "Horizontal scroll bar"));
        return;
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(&widget)) {
        // A combo box's popup sits in a container whose parent is the combo box.
        for (QObject* up = view->parent(); up; up = up->parent()) {
            if (auto* combo = qobject_cast<QComboBox*>(up)) {
                const QString owner = combo->accessibleName().isEmpty() ? combo->toolTip() : combo->accessibleName();
                view->setAccessibleName(
                    QCoreApplication::translate("AccessibleNaming", "%1 choices")
                        .arg(owner.isEmpty() ? QCoreApplication::translate("AccessibleNaming", "Menu") : owner));
                return;
            }
        }
        return;
    }
    if (auto* button = qobject_cast<QToolButton*>(&widget);
        button && qobject_cast<QToolBar*>(button->parentWidget()) &&
        button->objectName() == QLatin1String("qt_toolbar_ext_button")) {
        button->setAccessibleName(QCoreApplication::translate("AccessibleNaming", "More tools"));
    }
}

bool AccessibleNaming::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Polish && watched->isWidgetType()) name(*static_cast<QWidget*>(watched));
    return false;
}

}  // namespace orvane
