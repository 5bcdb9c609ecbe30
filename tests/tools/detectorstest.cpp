// The detectors of kolvex-headless: which cell they watch, and which vehicles they count.

#include "tools/headless/detectors.h"

#include "model/bindingrecords.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"

#include <QString>
#include <QTextStream>

#include <gtest/gtest.h>

namespace {

const Location START(50.0, 14.0);

/// A car that the test moves by hand: front cell and speed as if a step had moved it there.
class DrivenCar : public Car
{
public:
    DrivenCar(SimulationData &run, int32_t length) : Car(run) { m_length = length; }

    void driveTo(Cell *front, int32_t speed)
    {
        release(this);
        std::vector<Cell *> body;
        for (Cell *c = front; c && int32_t(body.size()) < length(); c = c->previous())
            body.push_back(c);
        setCells(body);
        occupy(body, this);
        m_speed = speed;
    }
};

/// A lane of `count` cells eastward from `start`, bound to `lane`.
std::vector<Cell *> lane(SimulationData &data, LaneBinding &binding, int count, const Location &start = START)
{
    std::vector<Cell *> cells;
    for (int i = 0; i < count; ++i) {
        Cell *c = data.createCell();
        c->setLocation(geo::moveLocation(start, 90.0, 0.25 * i));
        c->setWayLink(&binding);
        if (!cells.empty()) {
            cells.back()->setNext(c);
            c->setPrevious(cells.back());
        }
        cells.push_back(c);
    }
    binding.firstCell = cells.front();
    binding.lastCell = cells.back();
    return cells;
}

DrivenCar *addCar(SimulationData &data, int32_t length = 16)
{
    auto *car = new DrivenCar(data, length);
    data.cars.push_back(car);
    return car;
}

} // namespace

TEST(Detectors, WatchTheNearestCellOfEachLaneWithinReachAndSayWhichPlacesFindNone)
{
    SimulationData data;
    LaneBinding near, far;
    const std::vector<Cell *> nearCells = lane(data, near, 200);
    lane(data, far, 200, geo::moveLocation(START, 0.0, 30.0));
    const Location place = geo::moveLocation(nearCells[80]->location(), 0.0, 2.0);

    const Detectors detectors({{place, 10.0}, {geo::moveLocation(START, 180.0, 500.0), 10.0}}, data);
    ASSERT_EQ(detectors.sites().size(), 1u);
    EXPECT_EQ(detectors.sites()[0].cell, nearCells[80]);
    EXPECT_EQ(detectors.placesWithoutLane(), std::vector<int>{1});
    EXPECT_TRUE(detectors.description().contains("Detector 2 at")) << detectors.description().toStdString();
}

TEST(Detectors, CountEachFrontThatPassesOnceWithItsSpeedAndTheTimeTheCellIsCovered)
{
    SimulationData data;
    LaneBinding road;
    const std::vector<Cell *> cells = lane(data, road, 300);
    Cell *watched = cells[150];
    DrivenCar *fast = addCar(data, 12);
    DrivenCar *slow = addCar(data, 16);
    fast->driveTo(cells[149], 0);
    slow->driveTo(cells[100], 0);
    Detectors detectors({{watched->location(), 1.0}}, data);

    // Faster than it is long: its body jumps over the watched cell and still counts.
    fast->driveTo(cells[163], 14);
    detectors.observe(data);
    // The slow car stands with its front on the cell, then leaves it.
    slow->driveTo(cells[150], 2);
    detectors.observe(data);
    detectors.observe(data);
    slow->driveTo(cells[151], 1);
    detectors.observe(data);

    const Detectors::Reading &r = detectors.sites()[0].reading;
    EXPECT_EQ(r.steps, 4);
    EXPECT_EQ(r.vehicles, 2);
    EXPECT_EQ(r.speedSum, 14 + 1);
    EXPECT_EQ(r.coveredSteps, 3);
    EXPECT_DOUBLE_EQ(r.inverseLengths, 3.0 / 16);

    QString text;
    QTextStream out(&text);
    detectors.writeRows(out, data);
    out.flush();
    // Two vehicles in one second are 7200 an hour; three of four steps covered.
    EXPECT_TRUE(text.contains(",1.00,2,7200.0,27.00,0.7500,")) << text.toStdString();
    EXPECT_EQ(detectors.sites()[0].reading.steps, 0);
}

TEST(Detectors, CountFrontsComingOutOfACrossroadButNotVehiclesThatLeaveTheLaneForABay)
{
    SimulationData data;
    LaneBinding exit;
    const std::vector<Cell *> cells = lane(data, exit, 100);
    // A crossroad path of 30 cells leads into the lane, which does not link back to it.
    std::vector<Cell *> path;
    for (int i = 0; i < 30; ++i) {
        path.push_back(data.createCell());
        path.back()->inCrossroad = true;
        path.back()->setLocation(geo::moveLocation(START, 270.0, 0.25 * (30 - i)));
        if (i > 0) {
            path[size_t(i) - 1]->setNext(path.back());
            path.back()->setPrevious(path[size_t(i) - 1]);
        }
    }
    path.back()->setNext(cells.front());
    exit.pathsInto.push_back(path.front());
    // A bay beside the lane further on.
    std::vector<Cell *> bay;
    for (int i = 0; i < 20; ++i) {
        bay.push_back(data.createCell());
        linkSide(cells[size_t(60 + i)], bay.back());
        if (i > 0) {
            bay[size_t(i) - 1]->setNext(bay.back());
            bay.back()->setPrevious(bay[size_t(i) - 1]);
        }
    }

    DrivenCar *fromPath = addCar(data);
    DrivenCar *toBay = addCar(data);
    fromPath->driveTo(path[25], 0);
    toBay->driveTo(cells[50], 0);
    Detectors detectors({{cells[3]->location(), 1.0}, {cells[70]->location(), 1.0}}, data);
    ASSERT_EQ(detectors.sites().size(), 2u);

    fromPath->driveTo(cells[8], 12);
    toBay->driveTo(bay[15], 5);
    detectors.observe(data);
    EXPECT_EQ(detectors.sites()[0].reading.vehicles, 1);
    EXPECT_EQ(detectors.sites()[1].reading.vehicles, 0);
}
