#include "qt/QtViewHost.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSplitter>
#include <algorithm>

#include "console/ModalProgressViewController.h"
#include "console/ViewController.h"
#include "inspector/InspectorViewController.h"
#include "qt/Artwork.h"
#include "qt/ConsoleView.h"
#include "qt/InspectorView.h"
#include "qt/MasterView.h"
#include "qt/MasterViewController.h"
#include "qt/ProgressSheet.h"
#include "qt/QtOutlineView.h"
#include "qt/SheetDialog.h"
#include "qt/UpdateInformationDialog.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

namespace {

QString toQString(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

void QtWindow::makeFirstResponder(PlatformViewController* responder) {
    firstResponder_ = responder ? responder->weak_from_this() : std::weak_ptr<PlatformViewController>();
    if (responder && widget_) widget_->activateWindow();
}

QtViewHost::QtViewHost() = default;

QtViewHost::~QtViewHost() = default;

void QtViewHost::setMainWindow(QWidget* window, std::shared_ptr<Object> windowController) {
    mainWindowController_ = std::move(windowController);
    mainWindow_ = std::make_unique<QtWindow>(window, mainWindowController_.get());
}

QtViewHost::Record& QtViewHost::record(const PlatformViewController& controller) {
    forgetExpiredRecords();
    Record& entry = records_[&controller];
    if (entry.controller.expired()) {
        entry = Record{};
        entry.controller = const_cast<PlatformViewController&>(controller).weak_from_this();
    }
    return entry;
}

const QtViewHost::Record* QtViewHost::findRecord(const PlatformViewController& controller) const {
    auto found = records_.find(&controller);
    if (found == records_.end() || found->second.controller.expired()) return nullptr;
    return &found->second;
}

void QtViewHost::forgetExpiredRecords() {
    for (auto it = records_.begin(); it != records_.end();) {
        it = it->second.controller.expired() ? records_.erase(it) : std::next(it);
    }
    for (auto it = otherWindows_.begin(); it != otherWindows_.end();) {
        it = it->second->widget() ? std::next(it) : otherWindows_.erase(it);
    }
}

void QtViewHost::releaseControllers() {
    // Moved out first: destroying a controller may come back here.
    auto records = std::move(records_);
    records_.clear();
    for (auto& [controller, entry] : records) {
        if (entry.view) {
            if (auto* dialog = qobject_cast<QDialog*>(entry.view.data())) dialog->deleteLater();
        }
    }
    records.clear();
}

QWidget* QtViewHost::viewOf(const PlatformViewController& controller) const {
    const Record* entry = findRecord(controller);
    return entry ? entry->view.data() : nullptr;
}

std::vector<std::shared_ptr<PlatformViewController>> QtViewHost::presentedViewControllers(
    const PlatformViewController& presenter) const {
    const Record* entry = findRecord(presenter);
    return entry ? entry->presented : std::vector<std::shared_ptr<PlatformViewController>>{};
}

void QtViewHost::loadView(PlatformViewController& controller) {
    Record& entry = record(controller);
    if (entry.view) return;
    if (auto* console = dynamic_cast<ViewController*>(&controller)) {
        entry.view = makeConsoleView(*console);
    } else if (auto* inspector = dynamic_cast<InspectorViewController*>(&controller)) {
        auto outline = makeInspectorView(*inspector);
        entry.view = outline->widget();
        // The inspector holds its outline weakly; the view hierarchy keeps it here.
        entry.resources.push_back(outline);
    } else if (auto* master = dynamic_cast<MasterViewController*>(&controller)) {
        entry.view = makeMasterView(*master);
        // The inspector is embedded as the master's view loads, before anything appears.
        performSegue(*master, EmbedInspectorSegue, nullptr);
    } else if (auto* progress = dynamic_cast<ModalProgressViewController*>(&controller)) {
        entry.view = makeModalProgressView(*progress);
    } else if (auto* update = dynamic_cast<UpdateInformationViewController*>(&controller)) {
        entry.view = makeUpdateInformationView(*update);
    }
}

void QtViewHost::performSegue(PlatformViewController& source, const std::string& identifier,
                              const std::shared_ptr<Object>& sender) {
    std::shared_ptr<PlatformViewController> destination;
    if (identifier == EmbedInspectorSegue) {
        destination = std::make_shared<InspectorViewController>();
    } else if (identifier == ModalProgressSegue) {
        destination = std::make_shared<ModalProgressViewController>();
    } else if (identifier == SoftwareUpdateInformationSegue) {
        destination = std::make_shared<UpdateInformationViewController>();
    } else {
        qCritical("No segue is named \"%s\"", identifier.c_str());
        return;
    }
    destination->setHost(shared_from_this());

    StoryboardSegue segue{identifier, source.shared_from_this(), destination};
    source.prepareForSegue(segue, sender.get());

    if (identifier == EmbedInspectorSegue) {
        embed(source, destination, -1);
    } else {
        present(source, destination);
    }
}

void QtViewHost::addChildViewController(PlatformViewController& parent,
                                        const std::shared_ptr<PlatformViewController>& child, int position) {
    child->setParentViewController(parent.shared_from_this());
    embed(parent, child, position);
}

void QtViewHost::embed(PlatformViewController& source, const std::shared_ptr<PlatformViewController>& destination,
                       int position) {
    if (!destination->host()) destination->setHost(shared_from_this());
    if (!destination->parentViewController()) destination->setParentViewController(source.shared_from_this());
    destination->loadViewIfNeeded();
    Record& sourceEntry = record(source);
    sourceEntry.children.push_back(destination);
    QWidget* childView = viewOf(*destination);
    if (auto* splitter = qobject_cast<QSplitter*>(sourceEntry.view.data()); splitter && childView) {
        splitter->insertWidget(position < 0 ? splitter->count() : position, childView);
        arrangeMasterView(*splitter);
    }
}

QWidget* QtViewHost::windowWidgetFor(PlatformViewController& controller) const {
    std::shared_ptr<PlatformViewController> parent;
    for (const PlatformViewController* c = &controller; c; c = parent.get()) {
        if (QWidget* view = viewOf(*c)) return view->window();
        parent = c->parentViewController();
    }
    return mainWindow_ ? mainWindow_->widget() : nullptr;
}

void QtViewHost::present(PlatformViewController& source, const std::shared_ptr<PlatformViewController>& destination) {
    destination->loadViewIfNeeded();
    record(source).presented.push_back(destination);
    auto* dialog = qobject_cast<QDialog*>(viewOf(*destination));
    if (!dialog) return;
    openOverWindow(*dialog, windowWidgetFor(source));
}

void QtViewHost::dismissViewController(PlatformViewController& presenter, PlatformViewController& presented) {
    Record& entry = record(presenter);
    auto found = std::find_if(entry.presented.begin(), entry.presented.end(),
                              [&](const auto& controller) { return controller.get() == &presented; });
    if (found == entry.presented.end()) return;
    const std::shared_ptr<PlatformViewController> keep = *found;
    entry.presented.erase(found);
    if (auto* dialog = qobject_cast<QDialog*>(viewOf(presented))) {
        SheetDialog::closeWithoutAnswer(*dialog);
        dialog->deleteLater();
    }
}

Window* QtViewHost::window(PlatformViewController& controller) {
    const Record* entry = findRecord(controller);
    QWidget* view = entry ? entry->view.data() : nullptr;
    if (!view) return nullptr;
    QWidget* top = view->window();
    if (mainWindow_ && top == mainWindow_->widget()) return mainWindow_.get();
    auto& wrapper = otherWindows_[top];
    if (!wrapper) wrapper = std::make_unique<QtWindow>(top, nullptr);
    return wrapper.get();
}

void QtViewHost::openMessageBox(QMessageBox* box, PlatformViewController& controller, bool asSheetOnWindow) {
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The message in bold over the informative text, and room for a few lines of details.
    if (auto* message = box->findChild<QLabel*>("qt_msgbox_label")) {
        QFont font = message->font();
        font.setBold(true);
        message->setFont(font);
    }
    box->setStyleSheet("QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 360px; }");
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowFlags(sheetWindowFlags());
    // Over the window it concerns (the main window when the controller has none on screen),
    // raised and active: an outcome never waits unseen behind another window.
    QWidget* parentWindow = windowWidgetFor(controller);
    if (!parentWindow && mainWindow_) parentWindow = mainWindow_->widget();
    openOverWindow(*box, parentWindow, asSheetOnWindow ? Qt::WindowModal : Qt::ApplicationModal);
}

void QtViewHost::presentError(PlatformViewController& controller, const ErrorRef& error, bool asSheetOnWindow) {
    if (!error) return;
    auto* box = new QMessageBox();
    box->setIcon(QMessageBox::Warning);
    box->setText(toQString(error->localizedDescription()));
    box->setInformativeText(toQString(error->recoverySuggestion().value_or(std::string())));
    if (auto details = error->detailedText(); details && !details->empty()) box->setDetailedText(toQString(*details));
    openMessageBox(box, controller, asSheetOnWindow);
}

void QtViewHost::showAlert(PlatformViewController& controller, const Alert& alert, bool asSheetOnWindow,
                           std::function<void()> completion) {
    auto* box = new QMessageBox();
    box->setText(toQString(alert.messageText));
    box->setInformativeText(toQString(alert.informativeText));
    if (alert.detailedText && !alert.detailedText->empty()) box->setDetailedText(toQString(*alert.detailedText));
    if (alert.iconName && Artwork::contains(*alert.iconName)) {
        box->setIconPixmap(Artwork::pixmap(*alert.iconName, QSize(64, 64), qApp->devicePixelRatio()));
    } else {
        box->setIcon(QMessageBox::Information);
    }
    if (completion) {
        QObject::connect(box, &QMessageBox::finished, box, [completion = std::move(completion)] { completion(); });
    }
    openMessageBox(box, controller, asSheetOnWindow);
}

}  // namespace orvane
