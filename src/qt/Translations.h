#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

// The console's languages: English as written in the sources, and the translations built from
// translations/orvane_<language>.ts. The choice is kept in the settings ("language": empty to
// follow the desktop's locale, or a language code) and takes effect at the next start.
class Translations {
public:
    // The languages offered besides English, as codes ("de").
    static QStringList translatedLanguages();
    // The language's own name for itself ("Deutsch"), never translated.
    static QString nativeName(const QString& language);

    // The language to show for a setting and the desktop's preferred languages (first is
    // preferred): the setting when it names a translated language or "en", else the first of the
    // desktop's languages that is translated, else English ("en").
    static QString chooseLanguage(const QString& setting, const QStringList& desktopLanguages);

    // Loads the console's translation and Qt's own for `language` into the application and hands
    // the console's core the same translator. A translation that is missing or damaged leaves the
    // console in English and logs one line saying which file could not be loaded. Returns whether
    // the language is now shown.
    static bool install(const QString& language, const QString& directory = defaultDirectory());

    // Back to English: removes what install() loaded (for the tests, which share one application).
    static void uninstall();

    // Where the .qm files are: beside the program in the build tree, or the installed share folder.
    static QString defaultDirectory();

    static QString loadSetting();
    static void saveSetting(const QString& setting);
};

}  // namespace orvane
