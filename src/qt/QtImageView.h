#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTransform>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "platform/Widgets.h"

namespace orvane {

// A widget that shows a named image (see Artwork) the way a layer-backed image view does: the
// picture is scaled to the largest centred square that fits, and the layer's anchor point and
// 3-D transform move it. The model is the platform's:
// - layer coordinates have y pointing up, the origin at the view's bottom-left corner;
// - the layer's position stays at that origin, so an anchor point (ax, ay) places the point
//   (ax * width, ay * height) of the layer there: changing the anchor moves the picture;
// - the transform (row-vector convention) then acts about the anchor point.
// The picture is rendered at the pixel density it is shown at, so it is sharp on high-density
// screens, and in the canvas' palette (see Artwork), rendered again when the palette changes.
class ImageCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    void setImageName(const std::string& name);
    const std::string& imageName() const { return imageName_; }
    void setAnchorPoint(Point anchor);
    Point anchorPoint() const { return anchor_; }
    void setLayerTransform(const Transform3D& transform);
    const Transform3D& layerTransform() const { return transform_; }
    // The picture's opacity, 0 to 1.
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }

    // The painter transform that takes the view's own (y-down) coordinates of the untransformed
    // picture to where the layer shows them.
    QTransform paintTransform() const;

    QSize sizeHint() const override;

    // An opaque canvas paints its own background, so a turn of the picture repaints only the
    // canvas and not the views behind it.
    void setOpaque(bool opaque);
    // At most this many repaints a second for transform changes (0: no limit). A change that
    // comes once the interval since the last frame has passed is shown at once; one within it
    // waits for the next change that is due, or at most a quarter of an interval beyond it, so
    // the last position always appears.
    void setMaximumFrameRate(int framesPerSecond);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::string imageName_;
    bool opaque_ = false;
    int frameIntervalMs_ = 0;
    QElapsedTimer sinceFrame_;
    QTimer* pendingFrame_ = nullptr;
    void scheduleFrame();
    // The square the untransformed picture fills, and the farthest any of its points moves
    // from one paint transform to the other.
    QRectF pictureRect() const;
    double largestShift(const QTransform& from, const QTransform& to) const;
    // The transform without its turn about `centre`, when it is a turn with a uniform scale:
    // what a round layer is drawn with.
    static QTransform withoutTurn(const QTransform& transform, QPointF centre, qreal density);
    std::optional<QTransform> shownTransform_;  // the paint transform of the last frame painted
    Point anchor_{0, 0};
    Transform3D transform_ = Transform3D::identity();
    double opacity_ = 1.0;
    // The image's layers as bitmaps of their visible pixels, and where each lies in the
    // picture's square (logical pixels from its top-left corner).
    struct CachedLayer {
        QPixmap bitmap;
        QRectF where;
        bool round = false;
    };
    std::vector<CachedLayer> layers_;
    std::string cacheName_;
    int cacheSide_ = 0;
    qreal cacheDensity_ = 0;
    qint64 cachePalette_ = 0;  // the cache key of the palette the layers were rendered in
    void renderLayers(int side, qreal density);
    void paintLayers(QPainter& painter, const QRect& area, bool background);
};

// The platform's image view over an ImageCanvas.
class QtImageView : public ImageView {
public:
    explicit QtImageView(ImageCanvas* canvas);

    void setImageNamed(const std::string& name) override;
    Rect frame() const override;
    void setAnchorPoint(Point anchor) override;
    void setTransform(const Transform3D& transform) override;
    void setAlphaValue(double alpha) override;

    ImageCanvas* widget() const { return canvas_; }

private:
    QPointer<ImageCanvas> canvas_;
};

// The 2-D part of a layer transform, for points in the plane z = 0, as a QTransform (both use
// row vectors, so the entries map one to one).
QTransform planarTransform(const Transform3D& transform);

}  // namespace orvane
