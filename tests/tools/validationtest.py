#!/usr/bin/env python3
"""The reductions of tools/validate on made-up readings whose answers are known."""
import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from validation import experiments as ex, maps  # noqa: E402
from validation.runs import to_xy  # noqa: E402


class Reductions(unittest.TestCase):
    def test_headways_start_at_green_and_pick_the_approachs_group(self):
        # Cars of the second group pass from step 104 of each 208-step cycle, one every 8 steps.
        passes = [c * 208 + 104 + 1 + 8 * i for c in range(4) for i in range(12)]
        greens = ex.green_starts(passes, 4 * 208)
        self.assertEqual(greens, [312, 520])
        by_position, per_green = ex.headways_after_green(passes, greens)
        self.assertEqual(per_green, [10, 10])  # the 11th and 12th pass after the 80 steps of green
        self.assertEqual(by_position[1], [0.5, 0.5])
        self.assertEqual(by_position[10], [2.0, 2.0])

    def test_a_queue_ends_at_the_first_wide_gap_and_holds_standing_cars_only(self):
        cars = [(-5.0, 1, 0), (-10.0, 2, 0), (-12.0, 3, 4.0), (-16.0, 4, 0), (-40.0, 5, 0)]
        self.assertEqual([c[1] for c in ex.queue_at(cars)], [1, 2, 4])
        self.assertAlmostEqual(ex.slope([(0, 1), (1, 3), (2, 5)]), 2.0)

    def test_jams_moving_upstream_give_their_speed(self):
        ring_m = 1000.0
        # Every 2 s a block of standing cars 20 m long sits 10 m further upstream: 18 km/h.
        snapshots = {}
        for i in range(200):
            back = (900.0 - 10.0 * i) % ring_m
            cars = [((back + d) % ring_m, 0.0) for d in range(0, 20, 5)]
            cars += [((back + 200.0 + d) % ring_m, 10.0) for d in range(0, 400, 5)]
            snapshots[i * ex.RING_FCD_EVERY] = cars
        self.assertAlmostEqual(ex.jam_wave_speed(snapshots, ring_m, critical_density=1.0), -18.0)
        self.assertAlmostEqual(ex.ring_arc(0.0, -100.0, 2 * math.pi * 100.0, clockwise=True), 50.0 * math.pi)

    def test_maps_put_bus_stops_on_the_road_and_positions_read_back(self):
        road = maps.straight_road(1000.0, [400.0, 600.0])
        stops = [n for n in road.nodes if n[3].get("highway") == "bus_stop"]
        self.assertEqual([n[1] for n in stops], [400.0, 600.0])
        self.assertEqual(road.ways[0][1], [n[0] for n in road.nodes])
        members = road.relations[0][1]
        self.assertEqual([m[1] for m in members if m[2] == "stop"], [n[0] for n in stops])
        x, y = to_xy(*maps.to_lat_lon(1234.5, -678.9))
        self.assertAlmostEqual(x, 1234.5, places=3)
        self.assertAlmostEqual(y, -678.9, places=3)
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "road.osm")
            road.write(path)
            with open(path, encoding="utf-8") as f:
                self.assertEqual(f.read().count('k="highway" v="bus_stop"'), 2)


if __name__ == "__main__":
    unittest.main()
