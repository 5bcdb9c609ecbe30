#include "paintrig.h"

#include "map/networkpainter.h"
#include "map/vehiclepainter.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

using Arm = FourArmCrossroad::Arm;
using V = Visualization;

/// Whether some pixel within `radius` of `at` is close to `colour`.
bool near(const QImage &image, const QPoint &at, const QColor &colour, int radius = 1)
{
    for (int dx = -radius; dx <= radius; ++dx)
        for (int dy = -radius; dy <= radius; ++dy) {
            const QColor c = image.pixelColor(at + QPoint(dx, dy));
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                60)
                return true;
        }
    return false;
}

} // namespace

TEST(Visualization, SwitchesStartAsTheWindowExpects)
{
    PaintRig rig;
    V fresh;
    for (int l = 0; l < V::LayerCount; ++l) {
        const bool on = l == V::Map || l == V::Rails || l == V::RoadEdges || l == V::StopPlatforms || l == V::Cars ||
                        l == V::Buses || l == V::Trams || l == V::VehiclesFancy || l == V::Semaphores;
        EXPECT_EQ(fresh.layer(V::Layer(l)), on) << l;
    }
}

TEST(Visualization, EverySwitchChangesTheImage)
{
    PaintRig rig;
    for (int l = 0; l < V::LayerCount; ++l)
        rig.view.setLayer(V::Layer(l), true);
    const QImage all = rig.frame();
    for (int l = 0; l < V::LayerCount; ++l) {
        rig.view.setLayer(V::Layer(l), false);
        EXPECT_NE(rig.frame(), all) << "layer " << l;
        rig.view.setLayer(V::Layer(l), true);
    }
    EXPECT_EQ(rig.frame(), all);
}

TEST(Visualization, DrawsTheCarAndTheCellsWhereTheyAre)
{
    PaintRig rig;
    rig.only({V::Cars, V::VehiclesFancy});
    const QPoint corner(2, 2);
    const QPoint carMiddle = rig.pixel(rig.x.approach(Arm::E, 20 + 6)); // 12 cells behind the front
    QImage image = rig.frame();
    EXPECT_EQ(image.pixelColor(corner), SlippyMap::BACKGROUND);
    EXPECT_EQ(image.pixelColor(carMiddle), QColor(Qt::red));

    rig.view.setLayer(V::VehiclesFancy, false);
    // Simple style: a red square, outlined black, around each occupied cell.
    EXPECT_EQ(rig.frame().pixelColor(rig.pixel(rig.x.approach(Arm::E, 20)) - QPoint(1, 1)), QColor(Qt::red));
    rig.view.setLayer(V::Cars, false);
    EXPECT_EQ(rig.frame().pixelColor(carMiddle), SlippyMap::BACKGROUND);

    const QPoint plain = rig.pixel(rig.x.approach(Arm::W, 40));
    const QPoint path = rig.pixel(rig.x.pathCell(Arm::W, Arm::E)->next()->next());
    rig.only({V::Cells});
    image = rig.frame();
    EXPECT_TRUE(near(image, plain, Qt::darkBlue));
    EXPECT_FALSE(near(image, path, Qt::darkBlue));
    rig.only({V::Cells, V::CrossCells});
    EXPECT_TRUE(near(rig.frame(), path, Qt::darkBlue));
}

TEST(Visualization, LabelsGuidedVehiclesWithTheirLineAndStopState)
{
    EXPECT_EQ(VehiclePainter::guidedLabel("3", true, 6, false, 0), "3 - Loading | 1.5");
    EXPECT_EQ(VehiclePainter::guidedLabel("3", false, 6, true, 10), "3 - Waiting | 2.5");
    EXPECT_EQ(VehiclePainter::guidedLabel("7B", false, 6, false, 10), "7B");

    PaintRig rig;
    rig.only({V::Trams, V::VehiclesFancy});
    const QImage drawn = rig.frame();
    rig.only({});
    QImage alone = rig.frame();
    const QString label = "T1 - Loading | 1.5";
    const QPoint f = rig.pixel(rig.x.approach(Arm::W, 0));
    const QPoint at(f.x() + 5, f.y() - 5);
    QRect textBox;
    {
        QPainter p(&alone);
        NetworkPainter::setupPainter(p);
        p.drawText(at, label);
        textBox = p.fontMetrics().boundingRect(label).translated(at);
    }
    int inked = 0;
    for (int x = textBox.left(); x <= textBox.right(); ++x)
        for (int y = textBox.top(); y <= textBox.bottom(); ++y) {
            ASSERT_EQ(drawn.pixel(x, y), alone.pixel(x, y)) << x << "," << y;
            inked += alone.pixelColor(x, y) != SlippyMap::BACKGROUND;
        }
    EXPECT_GT(inked, 50);
    // The tram's body, in its colour, behind the front; the joint sits in the middle.
    EXPECT_EQ(drawn.pixelColor(rig.pixel(rig.x.approach(Arm::W, 10))), QColor(Qt::green));
    EXPECT_EQ(drawn.pixelColor(rig.pixel(rig.x.approach(Arm::W, 60))), QColor(Qt::green));
}

TEST(Visualization, ZoomAndPanKeepThePointUnderTheCursor)
{
    PaintRig rig;
    const QPointF cursor(613, 171);
    const Location under = rig.view.map()->pixelToCoordinate(cursor);
    const int zoom = rig.view.map()->zoom();
    for (int delta : {40, 40}) {
        QWheelEvent wheel(cursor, rig.view.mapToGlobal(cursor.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&rig.view, &wheel);
    }
    EXPECT_EQ(rig.view.map()->zoom(), zoom);
    QWheelEvent third(cursor, rig.view.mapToGlobal(cursor.toPoint()), QPoint(), QPoint(0, 40), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&rig.view, &third);
    EXPECT_EQ(rig.view.map()->zoom(), zoom + 1);
    QPointF now = rig.view.map()->coordinateToPixelF(under);
    EXPECT_NEAR(now.x(), cursor.x(), 1.0);
    EXPECT_NEAR(now.y(), cursor.y(), 1.0);

    const QPointF to = cursor + QPointF(-157, 92);
    QMouseEvent press(QEvent::MouseButtonPress, cursor, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&rig.view, &press);
    QCoreApplication::sendEvent(&rig.view, &move);
    QCoreApplication::sendEvent(&rig.view, &release);
    now = rig.view.map()->coordinateToPixelF(under);
    EXPECT_NEAR(now.x(), to.x(), 1.0);
    EXPECT_NEAR(now.y(), to.y(), 1.0);
}
