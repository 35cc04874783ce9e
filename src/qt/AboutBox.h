#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace orvane {

// The About box's text: the console's version and build, and the version and licence of each
// library it runs on.
// `trustedKeyIds`: the minisign key IDs firmware descriptions are trusted from.
QString aboutText(const QStringList& trustedKeyIds = {});
void showAboutBox(QWidget* parent, const QStringList& trustedKeyIds = {});

}  // namespace orvane
