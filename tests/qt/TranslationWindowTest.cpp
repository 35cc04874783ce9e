// The window in German, from the translation the build compiles: the console's own texts change,
// what the device reports does not, and a translation that cannot be loaded leaves English.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QSettings>
#include <mutex>

#include <gtest/gtest.h>

#include "inspector/InspectorManager.h"
#include "qt/Translations.h"
#include "support/PtyPeer.h"
#include "tests/qt/AppHarness.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::ScratchDirectory;
using testing::waitFor;

const QString kBuiltTranslations = QStringLiteral(ORVANE_BINARY_DIR "/src/qt/translations");

QStringList menuTitles(const AppHarness& h) {
    QStringList titles;
    for (QAction* action : h.app->window().menuBar()->actions()) titles << action->text();
    return titles;
}

std::string valueText(AppHarness& h, Object* row) {
    auto cell = h.outline().cellView(row, "Value Column");
    return cell && cell->textField() ? cell->textField()->stringValue() : "<none>";
}

// Back to English whatever the test ended with: the tests share one application.
struct EnglishAfterwards {
    ~EnglishAfterwards() { Translations::uninstall(); }
};

TEST(Translation, GermanWindowShowsTheConsolesTextsInGermanAndTheDevicesAsSent) {
    QSettings().clear();
    EnglishAfterwards english;
    ASSERT_TRUE(Translations::install("de", kBuiltTranslations));
    AppHarness h;
    EXPECT_EQ(menuTitles(h), QStringList({"&Datei", "&Gerät", "&Test", "&Ansicht", "&Hilfe"}));

    PtyPeer device;
    h.devices.link("ttyACM9", device.devicePath());
    h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
    const InspectorManager& manager = h.console().inspectorManager();
    // The device names its lateral control method in words the console does not know; they are
    // shown as it sent them, while the console's own words for the rows beside them are German.
    const std::vector<std::string> reports = {"DEVICE-INFO{version:1.2.3.4\n}",
                                              "STATE{lateral-control-method:Unknown\n}", "STEERING{angle:1.0\n}"};
    std::size_t next = 0;
    const bool shown = waitFor([&] {
        if (auto request = device.readRequest(std::chrono::milliseconds(20))) {
            device.send(reports[next++ % reports.size()]);
        }
        return valueText(h, manager.device().connectionStatus.get()) == "Fahrzeug verbunden" &&
               valueText(h, manager.steering().controlMethod.get()) == "Unknown" &&
               valueText(h, manager.device().version.get()) == "1.2.3.4";
    });
    EXPECT_TRUE(shown) << valueText(h, manager.device().connectionStatus.get()) << " / "
                       << valueText(h, manager.steering().controlMethod.get()) << " / "
                       << valueText(h, manager.device().version.get());
    EXPECT_EQ(valueText(h, manager.steering().apaTOI.get()), "Nicht aktiv");
}

struct RecordingWarnings {
    static inline std::mutex mutex;
    static inline QStringList lines;
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        std::lock_guard lock(mutex);
        if (type == QtWarningMsg) lines << QString(context.category) + ": " + message;
    }
    RecordingWarnings() { previous = qInstallMessageHandler(&handle); }
    ~RecordingWarnings() { qInstallMessageHandler(previous); }
    QtMessageHandler previous = nullptr;
};

TEST(Translation, AMissingOrDamagedTranslationLeavesEnglishWithOneLogLine) {
    QSettings().clear();
    EnglishAfterwards english;
    ScratchDirectory scratch;
    const QString damaged = QString::fromStdString(scratch.path().string()) + "/damaged";
    QDir().mkpath(damaged);
    QFile file(damaged + "/orvane_de.qm");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a compiled translation, only some text of the right name");
    file.close();

    for (const QString& directory : {QString::fromStdString(scratch.path().string()) + "/missing", damaged}) {
        SCOPED_TRACE(directory.toStdString());
        QStringList lines;
        {
            RecordingWarnings warnings;
            EXPECT_FALSE(Translations::install("de", directory));
            std::lock_guard lock(RecordingWarnings::mutex);
            lines = RecordingWarnings::lines;
            RecordingWarnings::lines.clear();
        }
        ASSERT_EQ(lines.size(), 1) << lines.join("\n").toStdString();
        EXPECT_TRUE(lines[0].startsWith("orvane.console: ")) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(directory + "/orvane_de.qm")) << lines[0].toStdString();
        AppHarness h;
        EXPECT_EQ(menuTitles(h), QStringList({"&File", "&Device", "&Test", "&View", "&Help"}));
        Translations::uninstall();
    }
}

TEST(Translation, TheSettingOrElseTheDesktopsFirstTranslatedLanguageIsChosen) {
    struct Case {
        QString setting;
        QStringList desktop;
        QString chosen;
    };
    const Case cases[] = {
        {"", {"de-DE", "en-US"}, "de"},       // LANG=de_DE.UTF-8
        {"", {"fr-FR", "de-AT"}, "de"},       // the first language there is a translation for
        {"", {"en-GB", "de-DE"}, "en"},       // English preferred before German
        {"", {"fr-FR"}, "en"},                // nothing translated: English
        {"", {}, "en"},                       //
        {"en", {"de-DE"}, "en"},              // the setting wins over the desktop
        {"de", {"en-US"}, "de"},              //
        {"xx", {"de-DE"}, "de"},              // a setting of a language not offered is ignored
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Translations::chooseLanguage(c.setting, c.desktop), c.chosen)
            << c.setting.toStdString() << " / " << c.desktop.join(",").toStdString();
    }
}

}  // namespace
}  // namespace orvane
