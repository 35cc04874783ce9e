// The sheets and dialogs the console presents: the modal progress sheet, error and alert boxes,
// and the software update dialog, each showing the texts it is given.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "platform/InformativeError.h"
#include "platform/SeguePresentation.h"
#include "qt/ManeuverRunControl.h"
#include "qt/UserGuide.h"
#include "tests/qt/AppHarness.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::visibleWindows;
using testing::waitFor;

// Each test starts from no kept settings, whatever an earlier (perhaps failed) one left.
struct Dialogs : ::testing::Test {
    void SetUp() override { QSettings().clear(); }
};

QMessageBox* onlyMessageBox() {
    auto boxes = visibleWindows<QMessageBox>();
    return boxes.size() == 1 ? boxes.front() : nullptr;
}

void answer(QMessageBox* box) {
    QPushButton* ok = qobject_cast<QPushButton*>(box->button(QMessageBox::Ok));
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
}

TEST_F(Dialogs, TheProgressSheetShowsItsTextAndProgressAndGoesAwayWhenCleared) {
    AppHarness h;
    ViewController& console = h.console();
    console.setModalProgressStatusText("Checking for Updates...");
    console.setModalProgressStatusProgress(std::nullopt);

    auto* sheet = h.find<QDialog>("modalProgressSheet");
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &h.app->window());
    auto* status = sheet->findChild<QLabel*>("statusLabel");
    auto* bar = sheet->findChild<QProgressBar*>("progressIndicator");
    ASSERT_TRUE(status && bar);
    EXPECT_EQ(status->text(), "Checking for Updates...");
    EXPECT_EQ(bar->maximum(), 0) << "no progress value: busy";

    console.setModalProgressStatusText("Downloading software...");
    console.setModalProgressStatusProgress(0.42);
    EXPECT_EQ(h.find<QDialog>("modalProgressSheet"), sheet) << "one sheet, updated";
    EXPECT_EQ(status->text(), "Downloading software...");
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 42);
    console.setModalProgressStatusText("");
    EXPECT_EQ(status->text(), "Please wait...");

    // The user cannot wave it away: not with Escape, not with the window manager's close.
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_TRUE(sheet->isVisible());
    for (int attempt = 0; attempt < 5; ++attempt) EXPECT_FALSE(sheet->close());
    EXPECT_TRUE(sheet->isVisible());

    // The step and the tool's output: the output waits behind Details.
    console.setModalProgressDetailText("Writing the firmware: 40%");
    console.setModalProgressOutput("Write 64 bytes to flash (1 pages)\n");
    auto* detail = sheet->findChild<QLabel*>("detailLabel");
    auto* output = sheet->findChild<QPlainTextEdit*>("outputView");
    auto* details = sheet->findChild<QToolButton*>("detailsButton");
    ASSERT_TRUE(detail && output && details);
    EXPECT_EQ(detail->text(), "Writing the firmware: 40%");
    EXPECT_EQ(output->toPlainText(), "Write 64 bytes to flash (1 pages)\n");
    EXPECT_FALSE(output->isVisible());
    details->click();
    EXPECT_TRUE(output->isVisible());

    console.setModalProgressStatusText(std::nullopt);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(console.currentModalProgressViewController(), nullptr);
    EXPECT_TRUE(h.app->host().presentedViewControllers(console).empty());

    console.setModalProgressStatusText("Flashing new firmware to device...");
    ASSERT_TRUE(waitFor([&] {
        auto* again = h.find<QDialog>("modalProgressSheet");
        return again && again->isVisible() &&
               again->findChild<QLabel*>("statusLabel")->text() == "Flashing new firmware to device...";
    }));
    console.setModalProgressStatusText(std::nullopt);
}

TEST_F(Dialogs, ErrorsShowDescriptionAndRecoverySuggestionAsSheetOrApplicationModal) {
    AppHarness h;
    auto underlying = std::make_shared<PlatformError>("Transfer", 7, "Could not connect to the server.");
    auto error = std::make_shared<InformativeError>("Unable to check for updates.",
                                                    "Check your internet connection and try again.", underlying);
    h.console().presentErrorModalForWindow(error);
    QMessageBox* box = onlyMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Unable to check for updates.");
    EXPECT_EQ(box->informativeText(),
              "Check your internet connection and try again.\n\nTechnical Details: Could not connect to the server.");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &h.app->window());
    answer(box);
    ASSERT_TRUE(waitFor([] { return visibleWindows<QMessageBox>().empty(); }));

    h.console().presentError(std::make_shared<InformativeError>(
        "Failed to flash the firmware update.", "Disconnect and reconnect the device's USB connection and try again.",
        underlying));
    box = onlyMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Failed to flash the firmware update.");
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    answer(box);
}

// Texts from devices, servers and files reach alerts and labels; markup in them reads as it is.
TEST_F(Dialogs, TextFromOutsideIsShownAsPlainText) {
    AppHarness h;
    testing::ScratchDirectory files;
    const QString markup = "<img src=x><b>bold</b>";
    const auto recording = files.path() / (markup.toStdString() + ".csv");
    std::ofstream(recording) << "time,message\r\n-1,STEERING\r\n";
    const std::function<void()> shows[] = {
        [&] {
            h.console().presentError(std::make_shared<InformativeError>(
                markup.toStdString(), "", std::make_shared<PlatformError>("Transfer", 7, markup.toStdString())));
        },
        [&] {
            h.console().showAlert({"Done.", markup.toStdString(), "FirmwareUpdate"}, true, [] {});
        },
        [&] { h.app->openRecording(recording.string()); },
        [&] {
            const auto suite = files.path() / "suite.json";
            std::ofstream(suite) << R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1},
                "maneuvers": [{"name": ")"
                                 << markup.toStdString() << R"(", "channel": "lateral", "profile": "step",
                "amplitude": 0.5, "duration": 1}]})";
            h.app->maneuverRun().open(suite.string());
        },
    };
    for (std::size_t i = 0; i < std::size(shows); ++i) {
        SCOPED_TRACE(i);
        shows[i]();
        ASSERT_TRUE(waitFor([&] { return !testing::visibleLabelsHolding(markup).empty(); }));
        for (QLabel* label : testing::visibleLabelsHolding(markup)) EXPECT_EQ(label->textFormat(), Qt::PlainText);
        for (QMessageBox* box : visibleWindows<QMessageBox>()) box->accept();
    }
}

TEST_F(Dialogs, AlertsShowTheirTextsAndIconAndCompleteWhenAnswered) {
    AppHarness h;
    int completions = 0;
    h.console().showAlert(
        {"No software update is available.", "Your device is already running the latest version.", "FirmwareUpdate"},
        true, [&] { ++completions; });
    QMessageBox* box = onlyMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "No software update is available.");
    EXPECT_EQ(box->informativeText(), "Your device is already running the latest version.");
    EXPECT_FALSE(box->iconPixmap().isNull());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(completions, 0) << "the alert does not block, and completes only when answered";
    answer(box);
    EXPECT_EQ(completions, 1);
}

TEST_F(Dialogs, TheUpdateDialogShowsTheReleaseAndHandsOverTheAnswers) {
    AppHarness h;
    DeviceSoftwareUpdateInformation information;
    information.version = Version("1.2.3.5");
    information.releaseNotes = "Smoother torque overlay.\nFixes the CAN 1 counter.";
    information.releaseDate = std::chrono::system_clock::from_time_t(1560508200);
    std::vector<UpdateSoftwareInformationViewResult> answers;
    std::shared_ptr<UpdateInformationViewController> dialogController;

    int prepared = 0;
    performSegueWithHandler<UpdateInformationViewController>(
        h.console(), SoftwareUpdateInformationSegue, [&](UpdateInformationViewController& dialog) {
            ++prepared;
            dialog.setUpdateInformation(information);
            dialog.resultHandler = [&](UpdateSoftwareInformationViewResult result) { answers.push_back(result); };
            dialogController = std::static_pointer_cast<UpdateInformationViewController>(dialog.shared_from_this());
        });
    ASSERT_EQ(prepared, 1);
    auto* dialog = h.find<QDialog>("updateInformationDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->findChild<QLabel*>("versionTextField")->text(), "1.2.3.5");
    EXPECT_FALSE(dialog->findChild<QLabel*>("releaseDateTextField")->text().isEmpty());
    auto* notes = dialog->findChild<QPlainTextEdit*>("releaseNotesTextField");
    EXPECT_TRUE(notes->isReadOnly());
    EXPECT_EQ(notes->toPlainText(), "Smoother torque overlay.\nFixes the CAN 1 counter.");

    QTest::mouseClick(dialog->findChild<QPushButton*>("updateButton"), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton*>("notNowButton"), Qt::LeftButton);
    QTest::keyClick(dialog, Qt::Key_Escape);
    const std::vector<UpdateSoftwareInformationViewResult> expected{UpdateSoftwareInformationViewResult::updateNow,
                                                                    UpdateSoftwareInformationViewResult::dontUpdate,
                                                                    UpdateSoftwareInformationViewResult::dontUpdate};
    EXPECT_EQ(answers, expected);
    EXPECT_TRUE(dialog->isVisible()) << "the dialog leaves closing to the console";

    h.console().dismissViewController(*dialogController);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(h.app->host().presentedViewControllers(h.console()).empty());
}

TEST_F(Dialogs, GamepadSettingsTakeEffectAndAreKept) {
    AppHarness h;
    EXPECT_EQ(h.console().gamepadSettings().deadZone, 0.1);
    h.app->showSettings();
    auto* dialog = h.find<QDialog>("settingsDialog");
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QDoubleSpinBox*>("deadZone")->setValue(0.25);
    dialog->findChild<QCheckBox*>("holdToEnable")->setChecked(true);
    dialog->accept();
    EXPECT_EQ(h.console().gamepadSettings().deadZone, 0.25);
    EXPECT_TRUE(h.console().gamepadSettings().holdToEnable);

    // The next start finds them again.
    AppHarness next;
    EXPECT_EQ(next.console().gamepadSettings().deadZone, 0.25);
    EXPECT_TRUE(next.console().gamepadSettings().holdToEnable);
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using testing::AppHarness;
using testing::visibleWindows;
using testing::waitFor;

// A window manager minimises a modal dialog with its window (and openbox then hides the whole
// application): sheets and alerts have no title bar to minimise them from, belong to the main
// window, and an outcome brings a minimised main window back with the alert on top.
TEST_F(Dialogs, SheetsAndAlertsStayWithTheMainWindowAndBringItBack) {
    AppHarness h;
    QWidget& window = h.app->window();
    const auto keptWithWindow = [&](QWidget* dialog, const char* what) {
        ASSERT_NE(dialog, nullptr) << what;
        EXPECT_TRUE(dialog->isVisible()) << what;
        EXPECT_EQ(dialog->parentWidget(), &window) << what;
        EXPECT_TRUE(dialog->windowFlags() & Qt::FramelessWindowHint) << what;
        EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint) << what;
        EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == dialog; })) << what << " is not active";
    };

    h.console().setModalProgressStatusText("Flashing new firmware to device...");
    keptWithWindow(h.find<QDialog>("modalProgressSheet"), "the progress sheet");
    h.console().setModalProgressStatusText(std::nullopt);
    ASSERT_TRUE(waitFor([&] { return !h.find<QDialog>("modalProgressSheet"); }));

    window.showMinimized();
    ASSERT_TRUE(window.isMinimized());
    h.console().showAlert({"The firmware update completed.", "", "FirmwareUpdate"}, true, nullptr);
    EXPECT_FALSE(window.isMinimized()) << "an outcome brings the window back";
    keptWithWindow(visibleWindows<QMessageBox>().empty() ? nullptr : visibleWindows<QMessageBox>().front(),
                   "the outcome alert");
    answer(visibleWindows<QMessageBox>().front());

    h.app->showSettings();
    keptWithWindow(h.find<QDialog>("settingsDialog"), "the settings");
}

}  // namespace
}  // namespace orvane

// Help > User Guide opens the installed guide, else the build tree's, and says so when neither is
// there rather than doing nothing.
TEST(UserGuide, TheInstalledGuideComesFirstThenTheBuildTreesThenNone) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("share/doc/orvane-console/guide"));
    const QString bin = root.filePath("bin"), installed = root.filePath("share/doc/orvane-console/guide/index.html");
    const QString built = root.filePath("index.html");
    EXPECT_EQ(orvane::userGuidePage(bin, built), std::nullopt);
    QFile(built).open(QIODevice::WriteOnly);
    EXPECT_EQ(orvane::userGuidePage(bin, built), built);
    QFile(installed).open(QIODevice::WriteOnly);
    EXPECT_EQ(orvane::userGuidePage(bin, built), installed);
}
