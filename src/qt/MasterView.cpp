#include "qt/MasterView.h"

#include <QSplitter>

namespace orvane {

QSplitter* makeMasterView(MasterViewController&) {
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName("masterView");
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    return splitter;
}

void arrangeMasterView(QSplitter& splitter) {
    // The console (first) takes what the inspector (second) leaves.
    for (int i = 0; i < splitter.count(); ++i) {
        const bool inspector = splitter.widget(i)->objectName() == "inspectorOutline";
        splitter.setStretchFactor(i, inspector ? 0 : 1);
    }
    if (splitter.count() == 2) splitter.setSizes({600, 500});
}

}  // namespace orvane
