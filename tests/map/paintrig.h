// A small network with every kind of thing the map widget draws, shown by a widget whose tile
// hosts are a loopback server that has no tiles.
#ifndef KOLVEX_TESTS_MAP_PAINTRIG_H
#define KOLVEX_TESTS_MAP_PAINTRIG_H

#include "tests/loopbacktileserver.h"
#include "tests/model/testguided.h"
#include "tests/model/testnetwork.h"

#include "engine/stepframe.h"
#include "map/maptiledownloader.h"
#include "map/slippymap.h"
#include "map/visualization.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "osm/node.h"
#include "osm/osmdata.h"

#include <QTemporaryDir>

struct PaintRig
{
    LoopbackTileServer http;
    QTemporaryDir dir;
    FourArmCrossroad x{100};
    OSMData osm;
    BindingData bindings;
    Node junctionNode{99, Location(50.0, 14.0)};
    TestCar *car = new TestCar;
    PublicTransportLine line = makeLine({}, {}, {});
    TestTram *tram = new TestTram(&line, 0);
    TestBus *bus = new TestBus(&line, 0);
    Visualization view;

    PaintRig() : view(nullptr, new MapTileDownloader(tileServer(), TileStore(dir.path()), QString()))
    {
        http.setHandler([](const LoopbackTileServer::Request &) { return LoopbackTileServer::Answer{404, {}, false}; });
        using Arm = FourArmCrossroad::Arm;
        // The map: a road along the west arm with a bus stop, a tram stop at the centre, a route.
        Node *centre = osm.addNode(1, Location(50.0, 14.0));
        Node *west = osm.addNode(2, geo::moveLocation(centre->getLocation(), 270.0, 20.0));
        osm.addWay(10, {1, 2}, false, true, false, false, Residential, 1, 1);
        osm.addBusStop("Bus stop", west);
        osm.addTramStop("Tram stop", centre);
        auto *route = new OSMRoute;
        route->ways.push_back(osm.ways()->ways().front());
        osm.routes()->add(route);

        // Road edges and a rail along the west way; a stop platform on the east exit lane.
        WayBinding *way = bindings.addWayBinding(osm.ways()->ways().front());
        const Location a = centre->getLocation(), b = west->getLocation();
        way->centreLine = {a, b};
        way->rightEdge = {geo::moveLocation(a, 0.0, 3.0), geo::moveLocation(b, 0.0, 3.0)};
        way->leftEdge = {geo::moveLocation(b, 180.0, 3.0), geo::moveLocation(a, 180.0, 3.0)};
        bindings.addLane(&way->forward, true, way->centreLine);
        OSMStop *busStop = osm.busStops()->stops().front();
        for (int i = 20; i < 40; ++i)
            x.exitCell(Arm::E, i)->setStop(busStop);
        bindings.addStopBinding(busStop)->cells.push_back(x.exitCell(Arm::E, 39));

        // A signal whose stop lines come from the arms' edges, a generator, a junction node, a car.
        for (int arm = 0; arm < 4; ++arm) {
            WayBinding *w = x.way(Arm(arm));
            const Location in0 = x.approach(Arm(arm), 59)->location(), in1 = x.stopLine(Arm(arm))->location();
            const Location out0 = x.exitCell(Arm(arm), 0)->location(), out1 = x.exitCell(Arm(arm), 59)->location();
            w->leftEdge = {in0, in1};
            w->centreLine = {geo::intermediateLocation(in1, out0, 0.5), geo::intermediateLocation(in0, out1, 0.5)};
        }
        x.addSemaphore();
        x.crossroad->junction->node = &junctionNode;
        x.data.generators.push_back(new Generator(x.data.newGeneratorId(), x.approach(Arm::N, 50), &x.data.cars));
        putAt(x.approach(Arm::E, 20), *car);
        x.data.cars.push_back(car);
        // A loading tram heading east with its front at the west stop line, a bus heading south.
        tram->setState(GuidedState::Loading).setLoadCount(6);
        putAt(x.approach(Arm::W, 0), *tram);
        x.data.trams.push_back(tram);
        putAt(x.approach(Arm::N, 0), *bus);
        x.data.buses.push_back(bus);

        view.resize(800, 600);
        view.map()->setViewWidth(800);
        view.map()->setViewHeight(600);
        view.setData(&osm, &x.data, &bindings);
        while (view.map()->zoom() < 20)
            view.map()->zoomIn();
    }
    static TileServer tileServer()
    {
        TileServer s;
        s.host = "tiles.test";
        return s;
    }
    /// A picture of the widget with the network as it stands (as the step thread would publish it).
    QImage frame()
    {
        auto step = std::make_shared<StepFrame>();
        step->capture(x.data);
        view.showFrame(step);
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        view.render(painter, image.rect());
        return image;
    }
    QPoint pixel(const Cell *cell) const { return view.map()->coordinateToPixel(cell->location()); }
    void only(std::initializer_list<Visualization::Layer> on)
    {
        for (int l = 0; l < Visualization::LayerCount; ++l)
            view.setLayer(Visualization::Layer(l), false);
        for (Visualization::Layer l : on)
            view.setLayer(l, true);
    }
};

#endif
