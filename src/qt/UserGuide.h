#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace orvane {

// The user guide's first page: the one installed with the program
// (`applicationDirectory`/../share/doc/orvane-console/guide/index.html), else the one rendered in
// the build tree (`buildGuide`), else none.
std::optional<QString> userGuidePage(const QString& applicationDirectory, const QString& buildGuide);

// Help > User Guide: opens the guide in the desktop's browser. A guide that is not there, or a
// desktop that opens no browser, is told in an alert saying where the guide lives.
void openUserGuide(QWidget* parent);

}  // namespace orvane
