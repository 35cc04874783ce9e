#include "qt/QtImageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "qt/Artwork.h"

namespace orvane {

namespace {

// Device pixels of transparent border around a cached picture.
constexpr int kCachePadding = 1;
// Device pixel rows of one band of a frame (see paintEvent).
constexpr int kBandDeviceRows = 64;

}  // namespace

QTransform planarTransform(const Transform3D& transform) {
    const auto& m = transform.m;
    return QTransform(m[0][0], m[0][1], m[0][3],  //
                      m[1][0], m[1][1], m[1][3],  //
                      m[3][0], m[3][1], m[3][3]);
}

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ImageCanvas::setOpaque(bool opaque) {
    opaque_ = opaque;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

void ImageCanvas::setImageName(const std::string& name) {
    if (name == imageName_) return;
    imageName_ = name;
    update();
}

void ImageCanvas::setAnchorPoint(Point anchor) {
    if (anchor == anchor_) return;
    anchor_ = anchor;
    update();
}

void ImageCanvas::setLayerTransform(const Transform3D& transform) {
    if (transform == transform_) return;
    transform_ = transform;
    // A change that moves no point of the picture by half a screen pixel from where the last
    // frame showed it cannot be seen: it waits until the changes add up to one that can.
    // (At the density the last frame was painted at: asking the widget for its own costs more
    // than the rest of this, fifty times a second.)
    if (shownTransform_ && largestShift(*shownTransform_, paintTransform()) < 0.5 / std::max<qreal>(cacheDensity_, 1))
        return;
    scheduleFrame();
}

void ImageCanvas::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_) return;
    opacity_ = opacity;
    update();
}

double ImageCanvas::largestShift(const QTransform& from, const QTransform& to) const {
    // How far a point moves is an affine function of the point, so over the picture's square it
    // is largest at a corner.
    const QRectF square = pictureRect();
    double largest = 0;
    for (const QPointF corner : {square.topLeft(), square.topRight(), square.bottomLeft(), square.bottomRight()}) {
        const QPointF shift = to.map(corner) - from.map(corner);
        largest = std::max(largest, std::hypot(shift.x(), shift.y()));
    }
    return largest;
}

QTransform ImageCanvas::withoutTurn(const QTransform& transform, QPointF centre, qreal density) {
    // A turn with a uniform scale and no mirroring: the same scale and the same place of the
    // centre, unturned.
    const double a = transform.m11(), b = transform.m12(), c = transform.m21(), d = transform.m22();
    const double size = std::abs(a) + std::abs(b);
    if (!transform.isAffine() || std::abs(a - d) > 1e-9 * size || std::abs(b + c) > 1e-9 * size) return transform;
    const double scale = std::hypot(a, b);
    QPointF shift = transform.map(centre) - centre * scale;
    if (std::abs(scale - 1) < 1e-9) {
        // On whole device pixels, so that the layer is copied rather than resampled: it moves
        // by less than half a pixel.
        shift = QPointF(std::round(shift.x() * density), std::round(shift.y() * density)) / density;
        return QTransform::fromTranslate(shift.x(), shift.y());
    }
    return QTransform(scale, 0, 0, scale, shift.x(), shift.y());
}

QRectF ImageCanvas::pictureRect() const {
    const int side = std::min(width(), height());
    return QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side);
}

void ImageCanvas::setMaximumFrameRate(int framesPerSecond) {
    frameIntervalMs_ = framesPerSecond > 0 ? 1000 / framesPerSecond : 0;
}

void ImageCanvas::scheduleFrame() {
    if (frameIntervalMs_ == 0) {
        update();
        return;
    }
    const qint64 elapsed = sinceFrame_.isValid() ? sinceFrame_.elapsed() : frameIntervalMs_;
    if (elapsed >= frameIntervalMs_) {
        // Due: shown now, by the call that brought the change, and the frame the timer was
        // holding for an earlier change shows this one as well.
        if (pendingFrame_) pendingFrame_->stop();
        sinceFrame_.start();
        update();
        return;
    }
    if (pendingFrame_ && pendingFrame_->isActive()) return;  // the coming frame shows this change too
    if (!pendingFrame_) {
        pendingFrame_ = new QTimer(this);
        pendingFrame_->setSingleShot(true);
        connect(pendingFrame_, &QTimer::timeout, this, [this] {
            sinceFrame_.start();
            update();
        });
    }
    // The timer is there for the last change, after which none comes: it waits a quarter of an
    // interval beyond the frame's due time, so that while a caller keeps changing the picture
    // (the console, 50 times a second), its own changes bring the frames, and the window is not
    // woken a second time for each of them.
    pendingFrame_->start(int(frameIntervalMs_ - elapsed + frameIntervalMs_ / 4));
}

QTransform ImageCanvas::paintTransform() const {
    const double w = width();
    const double h = height();
    // Applied left to right: into the layer's y-up space, relative to the anchor point, through
    // the layer transform, and back into the view's y-down space.
    const QTransform intoLayer(1, 0, 0, -1, 0, h);
    const QTransform aboutAnchor = QTransform::fromTranslate(-anchor_.x * w, -anchor_.y * h);
    const QTransform outOfLayer(1, 0, 0, -1, 0, h);
    return intoLayer * aboutAnchor * planarTransform(transform_) * outOfLayer;
}

QSize ImageCanvas::sizeHint() const { return {16, 16}; }

void ImageCanvas::renderLayers(int side, qreal density) {
    // Each layer is rendered once per size and pixel density (that of whatever this paints on, a
    // high-density screen or an image) and cut down to its visible pixels with a transparent
    // pixel around them: the bitmap's own edges then never show, so a turned layer needs no
    // antialiased edges (which would cut each turned row into many short spans), and turning a
    // bitmap costs by the pixel.
    layers_.clear();
    const int pixels = int(std::ceil(side * density));
    for (const auto& layer : Artwork::layers(imageName_)) {
        QImage image(pixels + 2 * kCachePadding, pixels + 2 * kCachePadding, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        layer.drawing(painter, QRectF(kCachePadding, kCachePadding, side * density, side * density), palette());
        painter.end();
        int left = image.width(), right = -1, top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(row[x]) == 0) continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        if (right < 0) continue;
        const QRect kept = QRect(QPoint(left, top), QPoint(right, bottom))
                               .adjusted(-kCachePadding, -kCachePadding, kCachePadding, kCachePadding)
                               .intersected(image.rect());
        layers_.push_back({QPixmap::fromImage(image.copy(kept)),
                           QRectF(QPointF(kept.x() - kCachePadding, kept.y() - kCachePadding) / density,
                                  QSizeF(kept.size()) / density),
                           layer.round});
    }
}

void ImageCanvas::paintLayers(QPainter& painter, const QRect& area, bool background) {
    // Painted in bands of rows: Qt hands a fill of more than about a hundred rows to its thread
    // pool in parts and waits for them, and for a picture of this size the hand-offs cost more
    // than the drawing. Each pixel lies in one band, so the image is the same.
    const QTransform base = painter.worldTransform();
    const QRectF picture = pictureRect();
    const QTransform turned = *shownTransform_;
    const QTransform steady = withoutTurn(turned, picture.center(), cacheDensity_);
    struct Placed {
        const CachedLayer* layer;
        QRectF target;
        QTransform transform;
        QRect bounds;
    };
    std::vector<Placed> placed;
    placed.reserve(layers_.size());
    for (const auto& layer : layers_) {
        const QTransform& transform = layer.round ? steady : turned;
        const QRectF target = layer.where.translated(picture.topLeft());
        placed.push_back(
            {&layer, target, transform * base, transform.mapRect(target).toAlignedRect().adjusted(-1, -1, 1, 1)});
    }
    const int bandRows = std::max(1, int(kBandDeviceRows / cacheDensity_));
    for (int top = area.top(); top <= area.bottom(); top += bandRows) {
        const QRect band(area.left(), top, area.width(), std::min(bandRows, area.bottom() + 1 - top));
        if (background) {
            painter.setWorldTransform(base);
            painter.setClipRect(band);
            painter.fillRect(band, palette().window());
        }
        for (const Placed& layer : placed) {
            const QRect clip = band.intersected(layer.bounds);
            if (clip.isEmpty()) continue;
            painter.setWorldTransform(base);
            painter.setClipRect(clip);
            painter.setWorldTransform(layer.transform);
            painter.drawPixmap(layer.target, layer.layer->bitmap, layer.layer->bitmap.rect());
        }
    }
}

void ImageCanvas::changeEvent(QEvent* event) {
    // The picture takes its colours from the palette (a desktop switched to a dark scheme while
    // the console runs): the next paint renders the layers again.
    if (event->type() == QEvent::PaletteChange) update();
    QWidget::changeEvent(event);
}

void ImageCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const int side = std::min(width(), height());
    if (imageName_.empty() || side <= 0) {
        if (opaque_) painter.fillRect(event->rect(), palette().window());
        return;
    }
    const QTransform toDevice = painter.deviceTransform();
    const qreal density = std::max(1.0, std::hypot(toDevice.m11(), toDevice.m12()));
    if (cacheName_ != imageName_ || cacheSide_ != side || cacheDensity_ != density ||
        cachePalette_ != palette().cacheKey()) {
        renderLayers(side, density);
        cacheName_ = imageName_;
        cacheSide_ = side;
        cacheDensity_ = density;
        cachePalette_ = palette().cacheKey();
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    shownTransform_ = paintTransform();
    const QRect area = event->rect();
    if (opacity_ >= 1.0) {
        paintLayers(painter, area, opaque_);
        return;
    }
    // Faded, the layers are put together first and faded as one picture: faded one by one,
    // each would show through the one above it.
    if (opaque_) {
        painter.setClipRect(area);
        painter.fillRect(area, palette().window());
    }
    QImage together((QSizeF(area.size()) * density).toSize(), QImage::Format_ARGB32_Premultiplied);
    together.setDevicePixelRatio(density);
    together.fill(Qt::transparent);
    {
        QPainter layers(&together);
        layers.setRenderHint(QPainter::SmoothPixmapTransform, true);
        layers.translate(-area.topLeft());
        paintLayers(layers, area, false);
    }
    painter.setClipRect(area);
    painter.setOpacity(opacity_);
    painter.drawImage(area.topLeft(), together);
}

QtImageView::QtImageView(ImageCanvas* canvas) : canvas_(canvas) {}

void QtImageView::setImageNamed(const std::string& name) {
    if (canvas_) canvas_->setImageName(name);
}

Rect QtImageView::frame() const {
    if (!canvas_) return {};
    const QRect geometry = canvas_->geometry();
    return {double(geometry.x()), double(geometry.y()), double(geometry.width()), double(geometry.height())};
}

void QtImageView::setAnchorPoint(Point anchor) {
    if (canvas_) canvas_->setAnchorPoint(anchor);
}

void QtImageView::setTransform(const Transform3D& transform) {
    if (canvas_) canvas_->setLayerTransform(transform);
}

void QtImageView::setAlphaValue(double alpha) {
    if (canvas_) canvas_->setOpacity(alpha);
}

}  // namespace orvane
