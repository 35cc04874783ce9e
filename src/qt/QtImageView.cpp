#include "qt/QtImageView.h"

#include <QPainter>

#include <algorithm>

#include "qt/Artwork.h"

namespace orvane {

QTransform planarTransform(const Transform3D& transform) {
    const auto& m = transform.m;
    return QTransform(m[0][0], m[0][1], m[0][3],   //
                      m[1][0], m[1][1], m[1][3],   //
                      m[3][0], m[3][1], m[3][3]);
}

ImageCanvas::ImageCanvas(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
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
    update();
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

void ImageCanvas::paintEvent(QPaintEvent*) {
    if (imageName_.empty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setTransform(paintTransform());
    const double side = std::min(width(), height());
    const QRectF square((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    Artwork::paint(painter, imageName_, square);
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

}  // namespace orvane
