// The wheel and the plots are drawn in the palette's colours: on a light, a dark and a
// high-contrast palette, and again after the palette changes while they are shown, their
// background is the palette's and their strokes stand out from it.

#include <QImage>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "qt/PlotPanel.h"
#include "qt/QtImageView.h"

namespace orvane {
namespace {

double luminance(const QColor& colour) {
    const auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

// The contrast ratio of two colours as accessibility guidelines reckon it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

QImage render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Checks one picture of a widget drawn in `palette`.
using Check = std::function<void(const QImage&, const QPalette&)>;

// The steering wheel: the window's colour around it; the rim and a spoke in a colour nearer the
// window's text than to the window, in contrast enough for a graphic (3:1).
void checkWheel(const QImage& image, const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    EXPECT_EQ(image.pixelColor(2, 2), window) << "background";
    // On a 200-pixel wheel: the rim below and left of the centre, and the middle of the lower spoke.
    for (const QPoint at : {QPoint(41, 159), QPoint(100, 150)}) {
        const QColor stroke = image.pixelColor(at);
        EXPECT_GE(contrast(stroke, window), 3.0)
            << "stroke at " << at.x() << "," << at.y() << ": " << stroke.name().toStdString();
        EXPECT_LT(contrast(stroke, text), contrast(stroke, window))
            << "stroke at " << at.x() << "," << at.y() << ": " << stroke.name().toStdString();
    }
}

// The plot: the window's colour around it and the base's inside its frame; the frame in contrast
// to the window (3:1), the horizontal grid lines visible on the base, the axis labels in the
// window's text colour.
void checkPlot(const QImage& image, const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    EXPECT_EQ(image.pixelColor(0, 0), window) << "background";
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == base) area |= QRect(x, y, 1, 1);
    ASSERT_GT(area.width() * area.height(), image.width() * image.height() / 3) << "the base fills the plot";
    const QColor frame = image.pixelColor(area.left() - 1, area.center().y() + 3);
    EXPECT_GE(contrast(frame, window), 3.0) << "frame " << frame.name().toStdString();
    int gridLines = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QColor grid = image.pixelColor(area.center().x() + 7, y);
        if (grid == base) continue;
        ++gridLines;
        EXPECT_GE(contrast(grid, base), 1.4) << "grid at row " << y << ": " << grid.name().toStdString();
    }
    EXPECT_GE(gridLines, 3);
    double strongest = 1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < area.left() - 2; ++x)
            strongest = std::max(strongest, contrast(image.pixelColor(x, y), window));
    EXPECT_GE(strongest, 7.0) << "the labels beside the plot";
}

TEST(PaletteColours, WheelAndPlotFollowThePalette) {
    // As a desktop's scheme gives them: the other roles derived from the button and window colours.
    struct Scheme {
        const char* name;
        QPalette palette;
    };
    const Scheme light{"light", QPalette(QColor(0xef, 0xef, 0xef), QColor(0xef, 0xef, 0xef))};
    const Scheme dark{"dark", QPalette(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35))};
    // White fields with black text in a black window with white text: the plot's labels are the
    // window's text, its lines on the fields' base.
    Scheme highContrast{"high contrast", QPalette(Qt::black, Qt::black)};
    highContrast.palette.setColor(QPalette::Base, Qt::white);
    highContrast.palette.setColor(QPalette::Text, Qt::black);

    struct Subject {
        const char* name;
        std::function<std::unique_ptr<QWidget>()> make;
        Check check;
    };
    const Subject subjects[] = {
        {"wheel",
         [] {
             auto canvas = std::make_unique<ImageCanvas>();
             canvas->setImageName("SteeringWheel");
             canvas->setOpaque(true);
             canvas->resize(200, 200);
             return std::unique_ptr<QWidget>(std::move(canvas));
         },
         checkWheel},
        {"plot",
         [] {
             auto plot = std::make_unique<TimePlot>(30);
             plot->setAxis(TimePlot::left, QStringLiteral("Angle (°)"), 90);
             plot->resize(420, 240);
             return std::unique_ptr<QWidget>(std::move(plot));
         },
         checkPlot},
    };
    for (const Subject& subject : subjects) {
        const std::unique_ptr<QWidget> widget = subject.make();
        // One after the other on the same widget, as a desktop switching its scheme would.
        for (const Scheme& scheme : {light, dark, highContrast, light}) {
            SCOPED_TRACE(std::string(subject.name) + " on the " + scheme.name + " palette");
            widget->setPalette(scheme.palette);
            subject.check(render(*widget), scheme.palette);
        }
    }
}

}  // namespace
}  // namespace orvane
