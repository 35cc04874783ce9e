#include "qt/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QSettings>
#include <QTranslator>

#include "platform/Translation.h"

namespace orvane {

namespace {

Q_LOGGING_CATEGORY(translationLog, "orvane.console")

std::string qtTranslate(const char* context, const char* sourceText) {
    return QCoreApplication::translate(context, sourceText).toStdString();
}

// What install() put in, for uninstall().
QList<QTranslator*> installedTranslators;

QString languageOf(const QString& name) { return QLocale(name).name().section('_', 0, 0); }

}  // namespace

QStringList Translations::translatedLanguages() { return {"de"}; }

QString Translations::nativeName(const QString& language) {
    if (language == "en") return "English";
    if (language == "de") return "Deutsch";
    return language;
}

QString Translations::chooseLanguage(const QString& setting, const QStringList& desktopLanguages) {
    const QStringList translated = translatedLanguages();
    if (setting == "en" || translated.contains(setting)) return setting;
    for (const QString& desktop : desktopLanguages) {
        const QString language = languageOf(desktop);
        // A desktop that prefers English before a translated language keeps English.
        if (language == "en") return "en";
        if (translated.contains(language)) return language;
    }
    return "en";
}

bool Translations::install(const QString& language, const QString& directory) {
    setTranslator(&qtTranslate);
    if (language == "en") return true;
    auto* own = new QTranslator(QCoreApplication::instance());
    const QString file = QDir(directory).filePath("orvane_" + language + ".qm");
    if (!own->load(file)) {
        delete own;
        qCWarning(translationLog).noquote() << "The translation" << file
                                            << "could not be loaded (missing or damaged); the console is shown in English";
        return false;
    }
    QCoreApplication::installTranslator(own);
    installedTranslators << own;
    // Qt's own texts (the standard buttons, the file dialogs), from Debian's Qt translations.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load("qtbase_" + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
        installedTranslators << qt;
    } else {
        delete qt;
    }
    return true;
}

void Translations::uninstall() {
    for (QTranslator* translator : std::as_const(installedTranslators)) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    installedTranslators.clear();
    setTranslator(nullptr);
}

QString Translations::defaultDirectory() {
    const QString programDirectory = QCoreApplication::applicationDirPath();
    const QString beside = programDirectory + "/translations";
    if (QFileInfo(beside).isDir()) return beside;
    return QDir::cleanPath(programDirectory + "/../share/orvane-console/translations");
}

QString Translations::loadSetting() { return QSettings().value("language").toString(); }

void Translations::saveSetting(const QString& setting) {
    QSettings settings;
    if (setting.isEmpty()) {
        settings.remove("language");
    } else {
        settings.setValue("language", setting);
    }
}

}  // namespace orvane
