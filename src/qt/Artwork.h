#pragma once

#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace orvane {

// The application's named images. Every image is drawn with QPainter as vector artwork, so it is
// sharp at any size and on any pixel density: a view paints it straight into its own painter,
// and a pixmap is rendered at the device pixel ratio it is shown at. A drawing is given the palette
// of what shows it: the steering wheel and the empty lamp take their greys from it (the text
// colour faded towards the window's), so they stand out on a light, dark or high-contrast
// desktop alike; the lit lamps, the icons and the wheel's marker keep their own colours.
//
// Names: "NSStatusNone", "NSStatusUnavailable", "NSStatusPartiallyAvailable", "NSStatusAvailable",
// "OrvaneStatusReplaying" (the status lamps; the last, blue, while a recording is shown),
// "FirmwareUpdate", "SteeringWheel" and "ApplicationIcon".
class Artwork {
public:
    // Draws the image into `rect` (its whole area; the artwork is square) in the colours of
    // `palette` (the application's unless given). Returns false, and draws nothing, for an
    // unknown name.
    using Drawing = std::function<void(QPainter&, const QRectF&, const QPalette&)>;
    static bool paint(QPainter& painter, const std::string& name, const QRectF& rect,
                      const QPalette& palette = QPalette());

    static bool contains(const std::string& name);

    // One layer of an image. A round layer looks the same turned about the image's centre (its
    // shading, if any, is light that stays where it is), so a view turning the image may draw
    // it unturned.
    struct Layer {
        Drawing drawing;
        bool round = false;
    };
    // The image's layers, bottom first: drawn in turn into the same rectangle they make what
    // paint() draws. Empty for an unknown name.
    static std::vector<Layer> layers(const std::string& name);

    // A pixmap of `size` logical pixels at `devicePixelRatio`, in the colours of `palette`; a null
    // pixmap for an unknown name.
    static QPixmap pixmap(const std::string& name, QSize size, qreal devicePixelRatio = 1.0,
                          const QPalette& palette = QPalette());

    // The window and application icon, at the usual icon sizes.
    static QIcon applicationIcon();

    // Adds or replaces a named image (tests use their own pictures).
    static void registerImage(const std::string& name, Drawing drawing);
    static void registerImage(const std::string& name, std::vector<Layer> layers);
};

}  // namespace orvane
