#pragma once

// Helpers shared by the widget tests (whose waits run Qt's event loop, which also drives the main
// queue: see QtTestMain.cpp), and the shared fake gamepads and temporary directory.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gamepad.h"
#include "support/FakeGamepads.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane::testing {

// The visible windows of type W (sheets, which have a parent window, included).
template <typename W>
std::vector<W*> visibleWindows() {
    std::vector<W*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* typed = qobject_cast<W*>(widget); typed && typed->isVisible()) found.push_back(typed);
    }
    return found;
}

// The visible labels of every window whose text holds `fragment`.
inline std::vector<QLabel*> visibleLabelsHolding(const QString& fragment) {
    std::vector<QLabel*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        for (auto* label : window->findChildren<QLabel*>()) {
            if (label->isVisible() && label->text().contains(fragment)) found.push_back(label);
        }
    }
    return found;
}

// Where a user grabs the slider's handle.
inline QPoint handleCentre(QSlider& slider) {
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.subControls = QStyle::SC_All;
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
}

// The shared fakes, under the names these tests use.
using ScriptedController = FakeGameController;
using ScriptedGamepadSource = FakeGamepadSource;
using ScratchDirectory = TemporaryDirectory;

}  // namespace orvane::testing
