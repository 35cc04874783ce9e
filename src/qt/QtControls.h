#pragma once

// The Qt widgets behind the platform's control interfaces: text fields, sliders, popup buttons,
// progress indicators, push buttons and the outline's cell views. Each adapter refers to its
// widget through a QPointer and does nothing once the widget is gone; the widget belongs to its
// Qt parent as usual.

#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspector/ActionTableCellView.h"
#include "platform/Widgets.h"
#include "qt/QtImageView.h"

class QTimer;

namespace orvane {

// The event the front end is handling, as the console sees it through currentEventType(): the
// adapters set it around the actions they send.
class QtCurrentEvent {
public:
    // Makes currentEventType() answer from here.
    static void install();
    static std::optional<EventType> type();

    class Scope {
    public:
        explicit Scope(EventType type);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::optional<EventType> previous_;
    };
};

// Signal connections from a widget to its adapter, cut when the adapter goes (the widget may
// outlive it for a moment, until its parent deletes it).
class QtConnections {
public:
    QtConnections() = default;
    ~QtConnections();
    QtConnections(const QtConnections&) = delete;
    QtConnections& operator=(const QtConnections&) = delete;
    void add(QMetaObject::Connection connection) { connections_.push_back(std::move(connection)); }

private:
    std::vector<QMetaObject::Connection> connections_;
};

// A text field over a QLabel, a QLineEdit or (multi-line) a QPlainTextEdit.
class QtTextField : public TextField {
public:
    explicit QtTextField(QWidget* widget);

    void setStringValue(const std::string& text) override;
    std::string stringValue() const override;
    void setTextColor(Color color) override;
    void setToolTip(const std::string& text) override;

    QWidget* widget() const { return widget_; }
    QColor textColor() const;

    // A label with this property set true shows its whole text as its tooltip.
    static constexpr const char* textAsToolTipProperty = "orvaneTextAsToolTip";

    // The colours behind Color::systemRed and Color::systemGreen.
    static QColor color(Color color, const QColor& labelColor);

private:
    QPointer<QWidget> widget_;
    QColor labelColor_;
};

// A spring-loaded QSlider: it tells when the left mouse button is down on it, and it is released
// (back to rest) when the mouse button goes up, when a key that moved it goes up, and when it
// loses focus, so that no request outlives the hand on it. The mouse wheel does not move it. A range that spans zero is filled from the
// zero position to the handle, which reads better for a request in either direction than a fill
// from the minimum.
//
// A held key moves it one step per repeat. The window system delivers each repeat as a release and
// a press; X11 marks the release as a repeat only when the press has already been read with it, so
// a key's release lets go only when no press of a moving key follows within keyReleaseGrace.
class ControlSlider : public QSlider {
    Q_OBJECT
public:
    explicit ControlSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
    bool isLeftButtonDown() const { return leftButtonDown_; }

    static constexpr int keyReleaseGrace = 50;  // ms

signals:
    // The hand is off the slider: the mouse button or the key went up, or the focus went.
    void leftButtonReleased();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool leftButtonDown_ = false;
    QColor fillColor_;
    // Runs out keyReleaseGrace after a key's release that no press followed: the key is up.
    QTimer* keyRelease_;
};

// A slider with positions from -100 to 100. Its action runs for every move the user makes: with
// the event leftMouseDragged while the mouse moves it, leftMouseUp when the mouse lets go, and
// other for keyboard steps. Values set through setDoubleValue send no action.
class QtSlider : public Slider {
public:
    explicit QtSlider(ControlSlider* slider);

    double doubleValue() const override;
    void setDoubleValue(double value) override;
    void setEnabled(bool enabled) override;
    void setAction(std::function<void()> action) { action_ = std::move(action); }

    ControlSlider* widget() const { return slider_; }

private:
    void send(EventType type);

    QPointer<ControlSlider> slider_;
    std::function<void()> action_;
    QtConnections connections_;
    bool settingValue_ = false;
};

// A popup button over a QComboBox. Like the platform's popup, adding an entry whose title is
// already there replaces the old entry, and setTitle selects the entry with that title, adding it
// when there is none. Its action runs when the user picks an entry.
class QtPopupButton : public PopupButton {
public:
    explicit QtPopupButton(QComboBox* comboBox);

    void removeAllItems() override;
    void addItemWithTitle(const std::string& title) override;
    void setTitle(const std::string& title) override;
    int numberOfItems() const override;
    int indexOfSelectedItem() const override;
    void selectItemAtIndex(int index) override;
    void setItemEnabled(int index, bool enabled) override;
    void setEnabled(bool enabled) override;
    void setAction(std::function<void()> action) { action_ = std::move(action); }

    QComboBox* widget() const { return comboBox_; }
    std::string itemTitle(int index) const;
    bool isItemEnabled(int index) const;

private:
    QPointer<QComboBox> comboBox_;
    std::function<void()> action_;
    QtConnections connections_;
};

// A progress indicator over a QProgressBar: 0 to 100, or busy (range 0 to 0) when indeterminate.
class QtProgressIndicator : public ProgressIndicator {
public:
    explicit QtProgressIndicator(QProgressBar* bar);

    void setIndeterminate(bool indeterminate) override;
    void setDoubleValue(double value) override;

    bool isIndeterminate() const { return indeterminate_; }
    double doubleValue() const { return value_; }
    QProgressBar* widget() const { return bar_; }

private:
    void show();

    QPointer<QProgressBar> bar_;
    bool indeterminate_ = false;
    double value_ = 0;
};

// A menu item as a button: its text is the title, pressing it is triggering it. Several may
// stand for one control (a toolbar button and its menu item), through QtButtons.
class QtMenuAction : public Button {
public:
    explicit QtMenuAction(QAction* action);
    void setTitle(const std::string& title) override;
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    void setEnabled(bool enabled) override;
    QAction* action() const { return qAction_; }

private:
    QPointer<QAction> qAction_;
    std::function<void()> action_;
    QtConnections connections_;
};

// One control shown by several buttons: titles and enabled states go to each, and each one's
// press runs the control's action.
class QtButtons : public Button {
public:
    explicit QtButtons(std::vector<std::shared_ptr<Button>> buttons) : buttons_(std::move(buttons)) {}
    void setTitle(const std::string& title) override {
        for (auto& button : buttons_) button->setTitle(title);
    }
    void setAction(std::function<void()> action) override {
        for (auto& button : buttons_) button->setAction(action);
    }
    void setEnabled(bool enabled) override {
        for (auto& button : buttons_) button->setEnabled(enabled);
    }

private:
    std::vector<std::shared_ptr<Button>> buttons_;
};

class QtButton : public Button {
public:
    explicit QtButton(QPushButton* button);

    void setTitle(const std::string& title) override;
    void setAction(std::function<void()> action) override { action_ = std::move(action); }
    void setEnabled(bool enabled) override;

    QPushButton* widget() const { return button_; }

private:
    QPointer<QPushButton> button_;
    std::function<void()> action_;
    QtConnections connections_;
};

// What the outline needs to host a cell view: its prototype identifier and its widget.
class QtHostedCell {
public:
    virtual ~QtHostedCell() = default;
    virtual const std::string& identifier() const = 0;
    virtual QWidget* widget() const = 0;
};

// What every cell view of the outline holds: its widget and, optionally, a text field and an
// image view inside it.
template <typename Base>
class QtCellView : public Base, public QtHostedCell {
public:
    QtCellView(std::string identifier, QWidget* widget, std::shared_ptr<QtTextField> textField,
               std::shared_ptr<QtImageView> imageView)
        : identifier_(std::move(identifier)),
          widget_(widget),
          textField_(std::move(textField)),
          imageView_(std::move(imageView)) {}

    TextField* textField() override { return textField_.get(); }
    ImageView* imageView() override { return imageView_.get(); }

    const std::string& identifier() const override { return identifier_; }
    QWidget* widget() const override { return widget_; }
    QtTextField* qtTextField() const { return textField_.get(); }
    QtImageView* qtImageView() const { return imageView_.get(); }

private:
    std::string identifier_;
    QPointer<QWidget> widget_;
    std::shared_ptr<QtTextField> textField_;
    std::shared_ptr<QtImageView> imageView_;
};

using QtTableCellView = QtCellView<TableCellView>;

// The value cell of an action row: a text field and a push button.
class QtActionTableCellView : public QtCellView<ActionTableCellView> {
public:
    QtActionTableCellView(std::string identifier, QWidget* widget, std::shared_ptr<QtTextField> textField,
                          std::shared_ptr<QtButton> button)
        : QtCellView<ActionTableCellView>(std::move(identifier), widget, std::move(textField), nullptr),
          button_(std::move(button)) {}

    Button* button() override { return button_.get(); }
    QtButton* qtButton() const { return button_.get(); }

private:
    std::shared_ptr<QtButton> button_;
};

}  // namespace orvane
