// The image view draws its picture where a layer with that anchor point and transform would
// show it: y up, the anchor point at the view's origin, the transform about the anchor point.

#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QTest>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "qt/Artwork.h"
#include "qt/QtImageView.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

constexpr double kPi = 3.141592653589793;

// A test picture: red top half, blue bottom half.
void registerTopRedPicture() {
    Artwork::registerImage("TestTopRed", [](QPainter& painter, const QRectF& rect, const QPalette&) {
        painter.fillRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height() / 2), Qt::red);
        painter.fillRect(QRectF(rect.x(), rect.center().y(), rect.width(), rect.height() / 2), Qt::blue);
    });
}

QImage render(ImageCanvas& canvas) {
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    canvas.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// What the console sets for a steering angle: anchor in the middle, translate by half the width,
// rotate by the angle.
void turnLikeTheConsole(QtImageView& view, double degrees) {
    const double w = view.frame().width;
    view.setAnchorPoint({0.5, 0.5});
    view.setTransform(Transform3D::identity().translated(w * 0.5, w * 0.5, 0).rotated(degrees * kPi / 180, 0, 0, 1));
}

struct ImageViewFixture : ::testing::Test {
    void SetUp() override {
        registerTopRedPicture();
        canvas.resize(100, 100);
        canvas.setImageName("TestTopRed");
    }
    ImageCanvas canvas;
    QtImageView view{&canvas};
};

TEST_F(ImageViewFixture, UntransformedPictureFillsTheView) {
    const QImage image = render(canvas);
    EXPECT_EQ(image.pixelColor(50, 20), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(50, 80), QColor(Qt::blue));
}

TEST_F(ImageViewFixture, AnchorPointAloneMovesThePictureDownAndLeft) {
    view.setAnchorPoint({0.5, 0.5});
    const QImage image = render(canvas);
    // The picture's centre now sits on the view's bottom-left corner: only its top-right quarter
    // (red) shows, in the view's bottom-left quarter.
    EXPECT_EQ(image.pixelColor(25, 75), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(75, 25).alpha(), 0);
    EXPECT_EQ(image.pixelColor(75, 75).alpha(), 0);
}

TEST_F(ImageViewFixture, ZeroAngleShowsTheWheelUprightInPlace) {
    turnLikeTheConsole(view, 0);
    const QTransform t = canvas.paintTransform();
    EXPECT_EQ(t.map(QPointF(0, 0)), QPointF(0, 0));
    EXPECT_EQ(t.map(QPointF(100, 100)), QPointF(100, 100));
}

TEST_F(ImageViewFixture, PositiveAnglesTurnCounterclockwiseNegativeClockwise) {
    turnLikeTheConsole(view, 90);
    QImage image = render(canvas);
    EXPECT_EQ(image.pixelColor(20, 50), QColor(Qt::red)) << "a quarter turn left puts the top on the left";
    EXPECT_EQ(image.pixelColor(80, 50), QColor(Qt::blue));

    turnLikeTheConsole(view, -450);  // one and a quarter turns clockwise
    image = render(canvas);
    EXPECT_EQ(image.pixelColor(80, 50), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(20, 50), QColor(Qt::blue));

    turnLikeTheConsole(view, 180);
    image = render(canvas);
    EXPECT_EQ(image.pixelColor(50, 80), QColor(Qt::red));
}

TEST_F(ImageViewFixture, PictureStaysSharpAtTwiceThePixelDensity) {
    // Rendered for a 2x screen, the edge between the halves is still one device pixel wide.
    turnLikeTheConsole(view, 0);
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2.0);
    image.fill(Qt::transparent);
    canvas.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(image.pixelColor(100, 99), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(100, 100), QColor(Qt::blue));
}

TEST_F(ImageViewFixture, TurnsTooSmallToSeeWaitUntilTheyAddUpToOneThatCanBeSeen) {
    // The corners of a 100-pixel picture lie 70.7 pixels from its centre: a tenth of a degree
    // moves them 0.12 pixels, half a degree 0.62.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    turnLikeTheConsole(view, 10);
    canvas.installEventFilter(&counter);
    ASSERT_TRUE(orvane::testing::waitFor([&] { return counter.paints > 0; }));
    const auto settle = [] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };
    settle();
    const int shown = counter.paints;
    for (double degrees : {10.1, 10.2, 10.3, 10.4}) {
        turnLikeTheConsole(view, degrees);
        settle();
        EXPECT_EQ(counter.paints, shown) << degrees << " degrees differs too little from the 10 on screen";
    }
    turnLikeTheConsole(view, 10.5);
    ASSERT_TRUE(orvane::testing::waitFor([&] { return counter.paints > shown; }));
    // A picture painted now shows the latest turn.
    const QImage image = render(canvas);
    const QImage expected = [&] {
        ImageCanvas reference;
        reference.resize(100, 100);
        reference.setImageName("TestTopRed");
        QtImageView referenceView(&reference);
        turnLikeTheConsole(referenceView, 10.5);
        return render(reference);
    }();
    EXPECT_EQ(image, expected);
}

TEST_F(ImageViewFixture, AFrameRateLimitedCanvasEndsAtTheLastTurnOfABurst) {
    // However the frames are held back, the picture settles where the last turn put it, both
    // when that turn comes in a frame's interval and when it comes on its own later.
    struct ShownTransforms : QObject {
        ImageCanvas* canvas = nullptr;
        std::vector<QTransform> shown;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) shown.push_back(canvas->paintTransform());
            return false;
        }
    } painted;
    painted.canvas = &canvas;
    canvas.installEventFilter(&painted);
    canvas.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
    struct Case {
        int framesPerSecond;
        std::vector<double> turns;  // degrees, the last one the angle to end at
    };
    for (const Case& c : {Case{0, {1, 2, 3, 4, 5}}, Case{8, {11, 12, 13, 14, 15, 16, 17, 18}}, Case{8, {30}},
                          Case{30, {-40, -41, -42, -43}}}) {
        canvas.setMaximumFrameRate(c.framesPerSecond);
        painted.shown.clear();
        for (const double degrees : c.turns) {
            turnLikeTheConsole(view, degrees);
            QCoreApplication::processEvents();
        }
        const QTransform last = canvas.paintTransform();
        EXPECT_TRUE(orvane::testing::waitFor([&] { return !painted.shown.empty() && painted.shown.back() == last; }))
            << c.framesPerSecond << " frames a second, ending at " << c.turns.back() << " degrees";
    }
}

TEST(ImageView, ALayeredPictureTurnsAsOneBitmapOfItWould) {
    // A picture in layers like the wheel's: a bar under a round ring (drawn unturned) under a
    // dot. Drawn band by band, each layer cut to its visible pixels, it must look like one plain
    // turned draw of the whole picture, also faded (faded layer by layer, the bar would show
    // through the ring).
    const auto bar = [](QPainter& p, const QRectF& r, const QPalette&) {
        p.fillRect(
            QRectF(r.x() + r.width() * 0.1, r.center().y() - r.height() * 0.05, r.width() * 0.8, r.height() * 0.1),
            QColor(0x30, 0x90, 0x30));
    };
    // Soft-edged, so that it looks the same resampled (turned) or not.
    const auto ring = [](QPainter& p, const QRectF& r, const QPalette&) {
        QRadialGradient shade(r.center(), r.width() * 0.48);
        shade.setColorAt(0.4, Qt::transparent);
        shade.setColorAt(0.75, QColor(0x20, 0x30, 0xc0));
        shade.setColorAt(1.0, Qt::transparent);
        p.fillRect(r, shade);
    };
    const auto dot = [](QPainter& p, const QRectF& r, const QPalette&) {
        p.fillRect(
            QRectF(r.center().x() - r.width() * 0.05, r.y() + r.height() * 0.06, r.width() * 0.1, r.height() * 0.1),
            QColor(0xf0, 0x80, 0x20));
    };
    Artwork::registerImage("TestLayered", {{bar, false}, {ring, true}, {dot, false}});
    for (const int side : {57, 200}) {
        ImageCanvas canvas;
        canvas.resize(side + 30, side);
        canvas.setImageName("TestLayered");
        QtImageView view(&canvas);
        QPixmap bitmap(side + 2, side + 2);
        bitmap.fill(Qt::transparent);
        {
            QPainter painter(&bitmap);
            Artwork::paint(painter, "TestLayered", QRectF(1, 1, side, side));
        }
        for (const double opacity : {1.0, 0.4}) {
            view.setAlphaValue(opacity);
            for (const double degrees : {0.0, 17.0, 45.0, -100.0, 190.5}) {
                turnLikeTheConsole(view, degrees);
                QImage expected(canvas.size(), QImage::Format_ARGB32_Premultiplied);
                expected.fill(Qt::transparent);
                {
                    QPainter painter(&expected);
                    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
                    painter.setTransform(canvas.paintTransform());
                    painter.setOpacity(opacity);
                    painter.drawPixmap(QRectF(15 - 1, -1, side + 2, side + 2), bitmap, bitmap.rect());
                }
                // Spans that start further right round their sampling a hair differently: a few
                // levels on a few edge pixels. A pixel cut off, a layer out of place or one
                // showing through another differ by far more.
                const QImage actual = render(canvas);
                int worst = 0;
                for (int y = 0; y < actual.height(); ++y) {
                    for (int x = 0; x < actual.width(); ++x) {
                        const QRgb a = actual.pixel(x, y), b = expected.pixel(x, y);
                        worst = std::max({worst, std::abs(qAlpha(a) - qAlpha(b)), std::abs(qRed(a) - qRed(b)),
                                          std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
                    }
                }
                EXPECT_LE(worst, 16) << side << " pixels, " << degrees << " degrees, opacity " << opacity;
            }
        }
    }
}

TEST(Artwork, EveryNamedImageDrawsSomething) {
    for (const char* name : {"NSStatusNone", "NSStatusUnavailable", "NSStatusPartiallyAvailable", "NSStatusAvailable",
                             "FirmwareUpdate", "SteeringWheel", "ApplicationIcon"}) {
        const QImage image = Artwork::pixmap(name, QSize(32, 32), 2.0).toImage();
        ASSERT_EQ(image.size(), QSize(64, 64)) << name;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) opaque += image.pixelColor(x, y).alpha() > 200;
        EXPECT_GT(opaque, 200) << name;
    }
    EXPECT_TRUE(Artwork::pixmap("NoSuchImage", QSize(16, 16)).isNull());
}

TEST(Artwork, TheFourLampsAreEmptyRedYellowGreen) {
    auto centre = [](const char* name) { return Artwork::pixmap(name, QSize(40, 40)).toImage().pixelColor(22, 26); };
    const QColor none = centre("NSStatusNone");
    const QColor red = centre("NSStatusUnavailable");
    const QColor yellow = centre("NSStatusPartiallyAvailable");
    const QColor green = centre("NSStatusAvailable");
    EXPECT_LT(std::abs(none.red() - none.blue()), 30) << "the empty lamp is grey";
    EXPECT_GT(red.red(), red.green() + 80);
    EXPECT_GT(yellow.red(), yellow.blue() + 80);
    EXPECT_GT(yellow.green(), yellow.blue() + 60);
    EXPECT_GT(green.green(), green.red() + 60);
}

}  // namespace
}  // namespace orvane
