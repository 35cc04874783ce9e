#include "qt/UserGuide.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QUrl>

namespace orvane {

namespace {

Q_LOGGING_CATEGORY(guideLog, "orvane.console")

#ifndef ORVANE_GUIDE_BUILD_PAGE
#define ORVANE_GUIDE_BUILD_PAGE ""
#endif

}  // namespace

std::optional<QString> userGuidePage(const QString& applicationDirectory, const QString& buildGuide) {
    const QString installed =
        QDir(applicationDirectory).absoluteFilePath("../share/doc/orvane-console/guide/index.html");
    for (const QString& page : {installed, buildGuide}) {
        if (!page.isEmpty() && QFileInfo(page).isFile()) return QDir::cleanPath(page);
    }
    return std::nullopt;
}

void openUserGuide(QWidget* parent) {
    const auto page = userGuidePage(QCoreApplication::applicationDirPath(), QStringLiteral(ORVANE_GUIDE_BUILD_PAGE));
    if (page && QDesktopServices::openUrl(QUrl::fromLocalFile(*page))) {
        qCInfo(guideLog).noquote() << "Opened the user guide" << *page;
        return;
    }
    const QString where = page ? QString("It is at %1; open it in a web browser.").arg(*page)
                               : QString("The package installs it in /usr/share/doc/orvane-console/guide/; in the "
                                         "source it is docs/guide/index.md.");
    qCWarning(guideLog).noquote() << (page ? "No browser opened the user guide." : "The user guide is not installed.")
                                  << where;
    // The log line above stays in English; the message box is in the console's language.
    QMessageBox box(QMessageBox::Information, QCoreApplication::translate("UserGuide", "User Guide"),
                    page ? QCoreApplication::translate("UserGuide", "No browser opened the user guide.")
                         : QCoreApplication::translate("UserGuide", "The user guide is not installed."),
                    QMessageBox::Ok, parent);
    box.setInformativeText(
        page ? QCoreApplication::translate("UserGuide", "It is at %1; open it in a web browser.").arg(*page)
             : QCoreApplication::translate("UserGuide",
                                           "The package installs it in /usr/share/doc/orvane-console/guide/; in the "
                                           "source it is docs/guide/index.md."));
    box.exec();
}

}  // namespace orvane
