"""Small synthetic OpenStreetMap extracts for measuring the traffic model, written as plain XML.

Every map lies on a flat patch of ground near 60° N: positions are given in metres east (x) and
north (y) of an origin and turned into latitude and longitude there. Roads are one-way, so that
each carries one lane, and every boundary node that a road leaves from feeds cars into it.
"""
import math

ORIGIN = (60.0, 25.0)
EARTH_RADIUS_M = 6371000.0


def to_lat_lon(x, y):
    lat = ORIGIN[0] + math.degrees(y / EARTH_RADIUS_M)
    lon = ORIGIN[1] + math.degrees(x / (EARTH_RADIUS_M * math.cos(math.radians(ORIGIN[0]))))
    return lat, lon


class OsmMap:
    """Nodes, ways and route relations collected in order and written as OSM XML 0.6."""

    def __init__(self):
        self.nodes = []      # (id, x, y, tags)
        self.ways = []       # (id, node ids, tags)
        self.relations = []  # (id, members, tags)
        self.next_id = 1

    def _id(self):
        self.next_id += 1
        return self.next_id - 1

    def node(self, x, y, **tags):
        node_id = self._id()
        self.nodes.append((node_id, x, y, tags))
        return node_id

    def way(self, node_ids, highway="tertiary", **tags):
        way_id = self._id()
        self.ways.append((way_id, list(node_ids), dict(highway=highway, oneway="yes", **tags)))
        return way_id

    def road(self, points, highway="tertiary", **tags):
        """A one-way road through `points` ((x, y) pairs, or node ids of nodes made before)."""
        ids = [p if isinstance(p, int) else self.node(*p) for p in points]
        return self.way(ids, highway, **tags), ids

    def bus_route(self, ref, way_ids, stop_ids):
        members = [("way", w, "") for w in way_ids] + [("node", s, "stop") for s in stop_ids]
        self.relations.append((self._id(), members, {"type": "route", "route": "bus", "ref": ref}))

    def location(self, node_id):
        for n in self.nodes:
            if n[0] == node_id:
                return to_lat_lon(n[1], n[2])
        raise KeyError(node_id)

    def write(self, path):
        def tag_lines(tags, indent):
            return [f'{indent}<tag k="{k}" v="{v}"/>' for k, v in tags.items()]

        lines = ['<?xml version="1.0" encoding="UTF-8"?>',
                 '<osm version="0.6" generator="kolvex tools/validate">']
        for node_id, x, y, tags in self.nodes:
            lat, lon = to_lat_lon(x, y)
            if tags:
                lines.append(f' <node id="{node_id}" lat="{lat:.8f}" lon="{lon:.8f}">')
                lines += tag_lines(tags, "  ")
                lines.append(" </node>")
            else:
                lines.append(f' <node id="{node_id}" lat="{lat:.8f}" lon="{lon:.8f}"/>')
        for way_id, refs, tags in self.ways:
            lines.append(f' <way id="{way_id}">')
            lines += [f'  <nd ref="{r}"/>' for r in refs]
            lines += tag_lines(tags, "  ")
            lines.append(" </way>")
        for rel_id, members, tags in self.relations:
            lines.append(f' <relation id="{rel_id}">')
            lines += [f'  <member type="{t}" ref="{r}" role="{role}"/>' for t, r, role in members]
            lines += tag_lines(tags, "  ")
            lines.append(" </relation>")
        lines.append("</osm>")
        with open(path, "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")


def straight_road(length_m, bus_stops_at=()):
    """A straight one-way road eastward from x = 0, with bus stops on it and a bus line past them."""
    m = OsmMap()
    marks = sorted(set([0.0, length_m] + list(bus_stops_at)))
    ids = []
    stop_ids = []
    for x in marks:
        if x in bus_stops_at:
            node_id = m.node(x, 0.0, highway="bus_stop", name=f"Stop {len(stop_ids) + 1}")
            stop_ids.append(node_id)
        else:
            node_id = m.node(x, 0.0)
        ids.append(node_id)
    way_id, _ = m.road(ids)
    if stop_ids:
        m.bus_route("V1", [way_id], stop_ids)
    return m


def ring_with_feeder(radius_m, feeder_m, feeder_gives_way=True, nodes=72):
    """A one-way ring and a one-way feeder that joins it from the east; the ring has no exit.

    Cars come in through the feeder until the ring is full. Driven clockwise, the ring traffic
    comes from the feeder's right and the feeder gives way; anticlockwise, the ring gives way.
    """
    m = OsmMap()
    turn = -1 if feeder_gives_way else 1  # the angle, counted anticlockwise from east, falls clockwise
    ring = [m.node(radius_m * math.cos(2 * math.pi * turn * i / nodes),
                   radius_m * math.sin(2 * math.pi * turn * i / nodes)) for i in range(nodes)]
    half = nodes // 2
    m.road(ring[:half + 1])
    m.road(ring[half:] + [ring[0]])
    m.road([(radius_m + feeder_m, 0.0), ring[0]])
    return m


def signal_crossroad(approach_m, side_m, exit_m):
    """Traffic signals where a road from the west and one from the south meet and go on east."""
    m = OsmMap()
    signal = m.node(0.0, 0.0, highway="traffic_signals")
    m.road([(-approach_m, 0.0), signal])
    m.road([(0.0, -side_m), signal])
    m.road([signal, (exit_m, 0.0)])
    return m


def priority_crossroad(approach_m, exit_m):
    """A crossroad without signals: a primary road northward, a residential road eastward.

    The primary road comes from the right of the residential one, so traffic on the residential
    road gives way whether priority goes to the right or to the larger road.
    """
    m = OsmMap()
    centre = m.node(0.0, 0.0)
    m.road([(0.0, -approach_m), centre], highway="primary")
    m.road([centre, (0.0, exit_m)], highway="primary")
    m.road([(-approach_m, 0.0), centre], highway="residential")
    m.road([centre, (exit_m, 0.0)], highway="residential")
    return m
