#include "qt/AboutBox.h"

#include <SDL.h>
#include <csv.h>
#include <sodium.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include <curl/curl.h>
#include <nlohmann/json.hpp>
#include <openssl/crypto.h>
#include <openssl/opensslv.h>
#include <unicode/uversion.h>

#include "orvane/OrvaneVersion.h"
#include "qt/SheetDialog.h"

namespace orvane {

QString aboutText(const QStringList& trustedKeyIds) {
    SDL_version sdl{};
    SDL_GetVersion(&sdl);
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    const auto dotted = [](auto major, auto minor, auto patch) {
        return QString("%1.%2.%3").arg(major).arg(minor).arg(patch);
    };
    // Each library the program links: its name, the version in use and its licence. The versions
    // are those of the libraries loaded where they can say so, else those built against.
    struct Library {
        QString name, version, licence;
    };
    const Library libraries[] = {
        {"Qt", qVersion(), "LGPL 3.0"},
        {"SDL", dotted(sdl.major, sdl.minor, sdl.patch), QCoreApplication::translate("AboutBox", "zlib licence")},
        {"libcurl", curl ? curl->version : "?", QCoreApplication::translate("AboutBox", "curl licence (MIT-style)")},
        {"OpenSSL", OpenSSL_version(OPENSSL_VERSION_STRING),
         OPENSSL_VERSION_MAJOR >= 3 ? "Apache License 2.0"
                                    : QCoreApplication::translate("AboutBox", "OpenSSL and SSLeay licences")},
        {"ICU", U_ICU_VERSION, QCoreApplication::translate("AboutBox", "Unicode licence (ICU)")},
        {"nlohmann/json", dotted(NLOHMANN_JSON_VERSION_MAJOR, NLOHMANN_JSON_VERSION_MINOR, NLOHMANN_JSON_VERSION_PATCH),
         QCoreApplication::translate("AboutBox", "MIT licence")},
        {"libcsv", dotted(CSV_MAJOR, CSV_MINOR, CSV_RELEASE),
         QCoreApplication::translate("AboutBox", "LGPL 2.1 or later")},
        {"libsodium", QString::fromLatin1(sodium_version_string()),
         QCoreApplication::translate("AboutBox", "ISC licence")},
    };
    QString rows;
    for (const Library& library : libraries) {
        rows +=
            QString(
                "<tr><td style=\"padding-right:14px\">%1</td><td style=\"padding-right:14px\">%2</td><td>%3</td></tr>")
                .arg(library.name.toHtmlEscaped(), library.version.toHtmlEscaped(), library.licence.toHtmlEscaped());
    }
    return QCoreApplication::translate(
               "AboutBox",
               "<h3>Orvane Console %1</h3>"
               "<p>Configurator and test console for the Orvane USB vehicle interface device.<br>"
               "Build %2, %3.</p>"
               "<table cellspacing=\"2\">%4</table>"
               "<p>Firmware is written by <tt>bossac</tt> (BOSSA, BSD 3-clause), run as a separate program.</p>"
               "<p>Firmware descriptions are trusted when signed by %5.</p>")
        .arg(QString::fromLatin1(ORVANE_VERSION), QString::fromLatin1(ORVANE_BUILD), QString::fromLatin1(__DATE__),
             rows,
             trustedKeyIds.isEmpty() ? QCoreApplication::translate("AboutBox", "no key (none is installed)")
                                     : QCoreApplication::translate("AboutBox", "the minisign key ID %1")
                                           .arg(trustedKeyIds.join(", ").toHtmlEscaped()));
}

void showAboutBox(QWidget* parent, const QStringList& trustedKeyIds) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::translate("AboutBox", "About Orvane Console"),
                                aboutText(trustedKeyIds), QMessageBox::Ok, parent, sheetWindowFlags());
    box->setObjectName("aboutBox");
    box->setTextFormat(Qt::RichText);  // our own text, with the libraries' names escaped
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIconPixmap((parent ? parent->windowIcon() : QApplication::windowIcon()).pixmap(64, 64));
    openOverWindow(*box, parent);
}

}  // namespace orvane
