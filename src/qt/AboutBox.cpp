#include "qt/AboutBox.h"

#include <SDL.h>

#include <QApplication>
#include <QMessageBox>

#include <curl/curl.h>
#include <nlohmann/json.hpp>
#include <unicode/uversion.h>

#include "qt/SheetDialog.h"

namespace orvane {

QString aboutText() {
    SDL_version sdl{};
    SDL_GetVersion(&sdl);
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    const QString json = QString("%1.%2.%3")
                             .arg(NLOHMANN_JSON_VERSION_MAJOR)
                             .arg(NLOHMANN_JSON_VERSION_MINOR)
                             .arg(NLOHMANN_JSON_VERSION_PATCH);
    return QString(
               "<h3>Orvane Console %1</h3>"
               "<p>Configurator and test console for the Orvane USB vehicle interface device.<br>"
               "Build %2, %3.</p>"
               "<table>"
               "<tr><td>Qt</td><td>%4</td><td>LGPL 3.0</td></tr>"
               "<tr><td>SDL</td><td>%5.%6.%7</td><td>zlib licence</td></tr>"
               "<tr><td>libcurl</td><td>%8</td><td>curl licence (MIT-style)</td></tr>"
               "<tr><td>ICU</td><td>%9</td><td>Unicode licence (ICU)</td></tr>"
               "<tr><td>nlohmann/json</td><td>%10</td><td>MIT licence</td></tr>"
               "</table>")
        .arg(QString::fromLatin1(ORVANE_VERSION), QString::fromLatin1(ORVANE_BUILD), QString::fromLatin1(__DATE__),
             QString::fromLatin1(qVersion()))
        .arg(sdl.major)
        .arg(sdl.minor)
        .arg(sdl.patch)
        .arg(QString::fromLatin1(curl ? curl->version : "?"), QString::fromLatin1(U_ICU_VERSION), json);
}

void showAboutBox(QWidget* parent) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, "About Orvane Console", aboutText(), QMessageBox::Ok, parent,
                                sheetWindowFlags());
    box->setObjectName("aboutBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIconPixmap((parent ? parent->windowIcon() : QApplication::windowIcon()).pixmap(64, 64));
    openOverWindow(*box, parent);
}

}  // namespace orvane
