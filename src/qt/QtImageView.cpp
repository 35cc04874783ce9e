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
    if (shownTransform_ && largestShift(*shownTransform_, paintTransform()) < 0.5 / devicePixelRatioF()) return;
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

double ImageCanvas::opaqueRadius(const QImage& image) {
    // The farthest pixel that is not wholly transparent, from the image's centre, plus the
    // pixel itself.
    const double cx = image.width() / 2.0;
    const double cy = image.height() / 2.0;
    double farthest = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0) continue;
            const double dx = std::max(std::abs(x - cx), std::abs(x + 1 - cx));
            const double dy = std::max(std::abs(y - cy), std::abs(y + 1 - cy));
            farthest = std::max(farthest, std::hypot(dx, dy));
        }
    }
    return farthest;
}

double ImageCanvas::largestStretch(const QTransform& transform) {
    // The larger singular value of the transform's linear part: no length grows more.
    const double a = transform.m11(), b = transform.m12(), c = transform.m21(), d = transform.m22();
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    return std::sqrt((sum + std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2);
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

void ImageCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const int side = std::min(width(), height());
    if (imageName_.empty() || side <= 0) {
        if (opaque_) painter.fillRect(event->rect(), palette().window());
        return;
    }
    // The picture is rendered once per size and pixel density (that of whatever this paints on,
    // a high-density screen or an image), then moved by the layer transform: a wheel that turns
    // fifty times a second costs one bitmap draw per frame, and stays sharp.
    const QTransform toDevice = painter.deviceTransform();
    const qreal density = std::max(1.0, std::hypot(toDevice.m11(), toDevice.m12()));
    if (cache_.isNull() || cacheName_ != imageName_ || cacheSide_ != side || cacheDensity_ != density) {
        // A transparent pixel around the picture: its bitmap's own edges then never show, so a
        // turned picture needs no antialiased edges (which would cut each turned row into many
        // short spans, several times the work of one frame).
        const int pixels = int(std::ceil(side * density));
        cache_ = QPixmap(pixels + 2 * kCachePadding, pixels + 2 * kCachePadding);
        cache_.fill(Qt::transparent);
        QPainter picture(&cache_);
        Artwork::paint(picture, imageName_, QRectF(kCachePadding, kCachePadding, side * density, side * density));
        picture.end();
        cacheRadius_ = opaqueRadius(cache_.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        cacheName_ = imageName_;
        cacheSide_ = side;
        cacheDensity_ = density;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const double padding = kCachePadding / density;
    const QRectF target = pictureRect().adjusted(-padding, -padding, padding, padding);
    shownTransform_ = paintTransform();
    // Painted in bands of rows: Qt hands a fill of more than about a hundred rows to its thread
    // pool in parts and waits for them, and for a picture of this size the hand-offs cost more
    // than the drawing. Each pixel lies in one band, so the image is the same.
    const QTransform base = painter.worldTransform();
    const QTransform turned = *shownTransform_ * base;
    // Each band draws only across the disc that holds the picture's visible pixels (a round
    // picture such as the wheel leaves a third of its square transparent): turning a bitmap
    // costs by the pixel.
    const QPointF centre = shownTransform_->map(target.center());
    const double radius = cacheRadius_ / density * largestStretch(*shownTransform_) + 2;
    const QRect area = event->rect();
    const int bandRows = std::max(1, int(kBandDeviceRows / density));
    for (int top = area.top(); top <= area.bottom(); top += bandRows) {
        const QRect band(area.left(), top, area.width(), std::min(bandRows, area.bottom() + 1 - top));
        painter.setWorldTransform(base);
        painter.setClipRect(band);
        if (opaque_) {
            painter.setOpacity(1.0);
            painter.fillRect(band, palette().window());
        }
        const double rise = std::max({0.0, band.top() - centre.y(), centre.y() - (band.bottom() + 1)});
        if (rise >= radius) continue;
        const double reach = std::sqrt(radius * radius - rise * rise);
        const int left = std::max(band.left(), int(std::floor(centre.x() - reach)));
        const int right = std::min(band.right(), int(std::ceil(centre.x() + reach)));
        if (left > right) continue;
        painter.setClipRect(QRect(left, band.top(), right - left + 1, band.height()));
        painter.setWorldTransform(turned);
        painter.setOpacity(opacity_);
        painter.drawPixmap(target, cache_, cache_.rect());
    }
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
