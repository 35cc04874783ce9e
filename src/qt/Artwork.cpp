#include "qt/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <map>
#include <mutex>
#include <vector>

#include "qt/ViewStyle.h"

namespace orvane {

namespace {

// Every drawing works in a 100 x 100 design box; this maps the box onto the target rectangle.
class DesignBox {
public:
    DesignBox(QPainter& painter, const QRectF& rect) : painter_(painter) {
        painter_.save();
        painter_.setRenderHint(QPainter::Antialiasing, true);
        painter_.translate(rect.topLeft());
        painter_.scale(rect.width() / 100.0, rect.height() / 100.0);
    }
    ~DesignBox() { painter_.restore(); }
    DesignBox(const DesignBox&) = delete;
    DesignBox& operator=(const DesignBox&) = delete;

private:
    QPainter& painter_;
};

struct LampColors {
    QColor light, base, dark;
};

// The unlit lamp is a hollow of the view's base with a ring of faded text: light on a light
// desktop, dark on a dark one, never a bright disc that could pass for a lit lamp.
void drawEmptyLamp(QPainter& painter, const QRectF& rect, const QPalette& palette) {
    DesignBox box(painter, rect);
    const QColor base = palette.color(QPalette::Base);
    QRadialGradient fill(QPointF(42, 36), 46);
    fill.setColorAt(0, base);
    fill.setColorAt(1, mixedColor(palette.color(QPalette::Text), base, 0.14));
    painter.setBrush(fill);
    painter.setPen(QPen(mutedTextColor(palette, 0.45), 6));
    painter.drawEllipse(QPointF(50, 50), 40, 40);
}

void drawLitLamp(QPainter& painter, const QRectF& rect, const LampColors& colors) {
    DesignBox box(painter, rect);
    QRadialGradient fill(QPointF(40, 34), 52);
    fill.setColorAt(0, colors.light);
    fill.setColorAt(0.55, colors.base);
    fill.setColorAt(1, colors.dark);
    painter.setBrush(fill);
    painter.setPen(QPen(colors.dark.darker(115), 5));
    painter.drawEllipse(QPointF(50, 50), 40, 40);
    // The glint that makes it read as a lamp rather than a dot.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 120));
    painter.drawEllipse(QRectF(30, 20, 34, 20));
}

void drawFirmwareUpdate(QPainter& painter, const QRectF& rect, const QPalette&) {
    DesignBox box(painter, rect);
    // Pins on all four sides of the chip.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x9a, 0xa3, 0xb0));
    for (int i = 0; i < 4; ++i) {
        const double along = 25 + i * 14;
        painter.drawRoundedRect(QRectF(along, 6, 6, 14), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(along, 80, 6, 14), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(6, along, 14, 6), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(80, along, 14, 6), 1.5, 1.5);
    }
    // The chip body and its die.
    QLinearGradient body(QPointF(0, 16), QPointF(0, 84));
    body.setColorAt(0, QColor(0x46, 0x4f, 0x60));
    body.setColorAt(1, QColor(0x25, 0x2a, 0x33));
    painter.setBrush(body);
    painter.setPen(QPen(QColor(0x1b, 0x1f, 0x26), 1.5));
    painter.drawRoundedRect(QRectF(16, 16, 68, 68), 9, 9);
    painter.setBrush(QColor(0x56, 0x62, 0x78));
    painter.setPen(QPen(QColor(0x6d, 0x7b, 0x94), 1.5));
    painter.drawRoundedRect(QRectF(29, 29, 34, 34), 4, 4);
    // The download badge: a blue disc with a white arrow pointing down.
    painter.setBrush(QColor(0x2f, 0x81, 0xf7));
    painter.setPen(QPen(Qt::white, 4));
    painter.drawEllipse(QPointF(70, 70), 24, 24);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(66, 55, 8, 17), 2, 2);
    QPainterPath head;
    head.moveTo(57, 69);
    head.lineTo(83, 69);
    head.lineTo(70, 84);
    head.closeSubpath();
    painter.drawPath(head);
}

// The steering wheel as seen from the driver's seat: rim, three spokes, hub, and an orange
// marker at the top so that the turn is easy to read. Drawn in layers, bottom first, so that a
// view turning it turns only what shows the turn: the rim and hub are round, and their shading
// is light from above, which stays where it is as the wheel turns.
//
// The wheel is drawn in the window's text colour faded a little towards the window: dark grey on a
// light desktop, light grey on a dark one, black or white under a high-contrast scheme. Its shading
// lightens the top and darkens the bottom of that colour, whichever it is.
QColor wheelColor(const QPalette& palette, qreal strength) {
    return mixedColor(palette.color(QPalette::WindowText), palette.color(QPalette::Window), strength);
}

void drawWheelSpoke(QPainter& painter, const QRectF& rect, const QPalette& palette, QPointF from, QPointF to) {
    DesignBox box(painter, rect);
    painter.setPen(QPen(wheelColor(palette, 0.8), 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from, to);
}

void drawWheelRimAndHub(QPainter& painter, const QRectF& rect, const QPalette& palette) {
    DesignBox box(painter, rect);
    const QPointF centre(50, 50);
    const QColor rim = wheelColor(palette, 0.85);

    QLinearGradient rimShade(QPointF(0, 6), QPointF(0, 94));
    rimShade.setColorAt(0, mixedColor(Qt::white, rim, 0.2));
    rimShade.setColorAt(1, mixedColor(Qt::black, rim, 0.25));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(rimShade), 9.5));
    painter.drawEllipse(centre, 41.5, 41.5);
    // A fine edge on the inside and outside of the rim.
    const QColor edge = mixedColor(Qt::black, rim, 0.45);
    painter.setPen(QPen(edge, 0.8));
    painter.drawEllipse(centre, 46.3, 46.3);
    painter.drawEllipse(centre, 36.7, 36.7);

    const QColor hubColor = wheelColor(palette, 0.75);
    QRadialGradient hub(QPointF(46, 45), 20);
    hub.setColorAt(0, mixedColor(Qt::white, hubColor, 0.15));
    hub.setColorAt(1, mixedColor(Qt::black, hubColor, 0.3));
    painter.setBrush(hub);
    painter.setPen(QPen(edge, 1.2));
    painter.drawEllipse(centre, 15, 15);
    const QColor cap = palette.color(QPalette::Highlight);
    painter.setBrush(cap);
    painter.setPen(QPen(mixedColor(Qt::white, cap, 0.5), 1.0));
    painter.drawEllipse(centre, 4.5, 4.5);
}

void drawWheelMarker(QPainter& painter, const QRectF& rect, const QPalette&) {
    DesignBox box(painter, rect);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf2, 0x8c, 0x28));
    painter.drawRoundedRect(QRectF(46.5, 3.8, 7, 9.4), 1.5, 1.5);
}

std::vector<Artwork::Layer> steeringWheelLayers() {
    // Each spoke is a layer of its own: a view turning the wheel turns each one's small bitmap
    // rather than one that spans the wheel.
    auto spoke = [](QPointF from, QPointF to) {
        return Artwork::Layer{[from, to](QPainter& p, const QRectF& r, const QPalette& colours) {
                                  drawWheelSpoke(p, r, colours, from, to);
                              },
                              false};
    };
    return {spoke(QPointF(13, 53), QPointF(38, 51)), spoke(QPointF(87, 53), QPointF(62, 51)),
            spoke(QPointF(50, 62), QPointF(50, 87)), Artwork::Layer{drawWheelRimAndHub, true},
            Artwork::Layer{drawWheelMarker, false}};
}

// The application icon: a white steering wheel on a blue tile (the same picture as
// resources/orvane-console.svg).
void drawApplicationIcon(QPainter& painter, const QRectF& rect, const QPalette&) {
    DesignBox box(painter, rect);
    QLinearGradient tile(QPointF(0, 4), QPointF(0, 96));
    tile.setColorAt(0, QColor(0x3b, 0x8e, 0xff));
    tile.setColorAt(1, QColor(0x17, 0x4a, 0xb0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(4, 4, 92, 92), 20, 20);

    const QPointF centre(50, 52);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 8));
    painter.drawEllipse(centre, 29, 29);
    painter.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 55), QPointF(42, 53));
    painter.drawLine(QPointF(76, 55), QPointF(58, 53));
    painter.drawLine(QPointF(50, 62), QPointF(50, 78));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 10, 10);
    painter.setBrush(QColor(0xf2, 0x8c, 0x28));
    painter.drawRoundedRect(QRectF(46, 19, 8, 8), 2, 2);
}

struct Catalog {
    std::mutex mutex;
    std::map<std::string, std::vector<Artwork::Layer>> drawings;

    Catalog() {
        drawings["NSStatusNone"] = {{drawEmptyLamp}};
        drawings["NSStatusUnavailable"] = {{[](QPainter& p, const QRectF& r, const QPalette&) {
            drawLitLamp(p, r, {QColor(0xff, 0x9a, 0x94), QColor(0xe5, 0x48, 0x4d), QColor(0xa8, 0x1f, 0x24)});
        }}};
        drawings["NSStatusPartiallyAvailable"] = {{[](QPainter& p, const QRectF& r, const QPalette&) {
            drawLitLamp(p, r, {QColor(0xff, 0xe8, 0x8a), QColor(0xf5, 0xb4, 0x00), QColor(0xb7, 0x80, 0x00)});
        }}};
        drawings["NSStatusAvailable"] = {{[](QPainter& p, const QRectF& r, const QPalette&) {
            drawLitLamp(p, r, {QColor(0x9c, 0xeb, 0xbd), QColor(0x30, 0xa4, 0x6c), QColor(0x1a, 0x6e, 0x45)});
        }}};
        drawings["OrvaneStatusReplaying"] = {{[](QPainter& p, const QRectF& r, const QPalette&) {
            drawLitLamp(p, r, {QColor(0x9c, 0xc8, 0xff), QColor(0x2f, 0x7b, 0xe5), QColor(0x17, 0x4a, 0xa8)});
        }}};
        drawings["FirmwareUpdate"] = {{drawFirmwareUpdate}};
        drawings["SteeringWheel"] = steeringWheelLayers();
        drawings["ApplicationIcon"] = {{drawApplicationIcon}};
    }
};

Catalog& catalog() {
    static Catalog instance;
    return instance;
}

std::vector<Artwork::Layer> find(const std::string& name) {
    Catalog& c = catalog();
    std::lock_guard lock(c.mutex);
    auto it = c.drawings.find(name);
    return it == c.drawings.end() ? std::vector<Artwork::Layer>{} : it->second;
}

void drawLayers(QPainter& painter, const std::vector<Artwork::Layer>& layers, const QRectF& rect,
                const QPalette& palette) {
    for (const auto& layer : layers) layer.drawing(painter, rect, palette);
}

}  // namespace

bool Artwork::paint(QPainter& painter, const std::string& name, const QRectF& rect, const QPalette& palette) {
    const auto found = find(name);
    drawLayers(painter, found, rect, palette);
    return !found.empty();
}

bool Artwork::contains(const std::string& name) { return !find(name).empty(); }

std::vector<Artwork::Layer> Artwork::layers(const std::string& name) { return find(name); }

QPixmap Artwork::pixmap(const std::string& name, QSize size, qreal devicePixelRatio, const QPalette& palette) {
    const auto found = find(name);
    if (found.empty() || size.isEmpty()) return {};
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawLayers(painter, found, QRectF(QPointF(0, 0), QSizeF(size)), palette);
    return pixmap;
}

QIcon Artwork::applicationIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(pixmap("ApplicationIcon", QSize(side, side)));
    }
    return icon;
}

void Artwork::registerImage(const std::string& name, Drawing drawing) {
    registerImage(name, std::vector<Layer>{{std::move(drawing), false}});
}

void Artwork::registerImage(const std::string& name, std::vector<Layer> layers) {
    Catalog& c = catalog();
    std::lock_guard lock(c.mutex);
    c.drawings[name] = std::move(layers);
}

}  // namespace orvane
