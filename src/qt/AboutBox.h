#pragma once

#include <QString>

class QWidget;

namespace orvane {

// The About box's text: the console's version and build, and the version and licence of each
// library it runs on.
QString aboutText();
void showAboutBox(QWidget* parent);

}  // namespace orvane
