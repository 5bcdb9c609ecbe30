"""The measurements: each builds its map, runs kolvex-headless and reduces what it wrote to figures.

Every function returns a dict with "figures" (named numbers for the report's table) and "tables"
(lists of rows for the CSV files the plots are made from). Seeds, lengths of the runs and places
of the detectors are fixed here, so that one command gives the same figures again.
"""
import concurrent.futures
import math
import os
import re
import statistics

from . import maps
from .runs import STEP_S, detector_args, read_detectors, read_positions, summary_value

FEEDS = [1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 25, 50, 100]
CHECK_FEEDS = [1, 100]  # the feeds behind the headline figures
ROAD_M = 2000.0
ROAD_DETECTORS_X = [500.0, 1000.0, 1500.0]
ROAD_BUS_STOPS_X = [800.0, 1200.0]
BUS_HEADWAY_MIN = 2
ROAD_STEPS = 7200    # 30 minutes
ROAD_WARMUP = 1200   # the road fills in about 3 minutes
MINUTE = 240         # steps

RING_RADIUS_M = 240.0
RING_FEEDER_M = 200.0
RING_STEPS = 18000   # 75 minutes: the ring fills from empty to a standstill
RING_FCD_EVERY = 8
RING_STANDING_MPS = 1.0

SIGNAL_APPROACH_M = 400.0
SIGNAL_STEPS = 3600  # 15 minutes, 17 cycles of 52 s
SIGNAL_CYCLE = 208   # steps: two groups of 20 s green and 3 + 3 s amber
SIGNAL_GREEN = 80    # steps
QUEUE_GAP_M = 15.0   # a larger gap between standing cars ends a queue

CROSSROAD_APPROACH_M = 400.0
CROSSROAD_FEEDS = [1, 2, 3, 4, 5, 6, 8, 10, 16, 100]
CROSSROAD_CHECK_FEEDS = [4, 100]
CROSSROAD_STEPS = 4800  # 20 minutes
CROSSROAD_WARMUP = 960

CITY_STEPS = 28800      # two hours
CITY_FCD_EVERY = 4
CITY_MIN_TRIP_M = 100.0


def empty_schedules(h):
    path = h.path("no-lines.xml")
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<schedules>\n</schedules>\n')
    return path


def parallel(jobs, function, items):
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(function, items))


def road_sweep(h, jobs, with_bus_stops, feeds=FEEDS):
    """One lane fed at rising rates: flow, density and speed at three detectors along it."""
    name = "bus-road" if with_bus_stops else "road"
    osm = h.path(name + ".osm")
    maps.straight_road(ROAD_M, ROAD_BUS_STOPS_X if with_bus_stops else ()).write(osm)
    if with_bus_stops:
        schedules = h.path(name + "-schedules.xml")
        h.run(name + "-draft", ["--osm", osm, "--schedules", empty_schedules(h), "--draft-schedules", schedules,
                                "--draft-headway", BUS_HEADWAY_MIN])
    else:
        schedules = empty_schedules(h)
    places = [(x, 0.0, 5.0) for x in ROAD_DETECTORS_X]

    def one(feed):
        detectors = h.path(f"{name}-feed{feed}-detectors.csv")
        out = h.run(f"{name}-feed{feed}", ["--osm", osm, "--schedules", schedules, "--feed", feed,
                                           "--steps", ROAD_STEPS] + detector_args(places, detectors, MINUTE))
        rows = [r for r in read_detectors(detectors) if r["step"] > ROAD_WARMUP and r["seconds"] >= 60]
        buses = int(summary_value(out, "trips started").split()[0]) if with_bus_stops else 0
        return feed, rows, buses

    points, averages = [], []
    for feed, rows, buses in parallel(jobs, one, feeds):
        for d in sorted({r["detector"] for r in rows}):
            mine = [r for r in rows if r["detector"] == d]
            flow = statistics.mean(r["flow"] for r in mine)
            density = statistics.mean(r["density"] for r in mine)
            points.append({"lane": name, "feed": feed, "detector": d, "density_veh_km": density,
                           "flow_veh_h": flow, "speed_kmh": flow / density if density > 0 else ""})
        flow = statistics.mean(r["flow"] for r in rows)
        density = statistics.mean(r["density"] for r in rows)
        averages.append({"feed": feed, "flow": flow, "density": density,
                         "speed": flow / density if density > 0 else 0.0, "buses": buses})
    fed = {a["feed"]: a for a in averages}
    figures = {
        "free_speed_kmh": fed[1]["speed"],
        "end_flow_veh_h": fed[100]["flow"],
        "end_density_veh_km": fed[100]["density"],
        "end_speed_kmh": fed[100]["speed"],
    }
    if with_bus_stops:
        figures["buses_per_hour"] = fed[100]["buses"] * 3600.0 / (ROAD_STEPS * STEP_S)
    return {"figures": figures, "tables": {name.replace("-", "_") + "_points": points}, "averages": averages}


def ring_arc(x, y, ring_m, clockwise):
    """Distance driven from the ring's east point, in metres of the ring's lane."""
    angle = (-1 if clockwise else 1) * math.atan2(y, x) % (2 * math.pi)
    return angle / (2 * math.pi) * ring_m


def ring(h, feeder_gives_way):
    """A ring that fills slowly through a feeder: the flow at every density it reaches.

    Where the feeder gives way, cars get in only through gaps and the ring stops filling while it
    still flows; where the ring gives way, its cars stop at the merge, which fills it to a standstill.
    """
    name = "ring" if feeder_gives_way else "ring-dense"
    osm = h.path(name + ".osm")
    maps.ring_with_feeder(RING_RADIUS_M, RING_FEEDER_M, feeder_gives_way).write(osm)
    fcd = h.path(name + "-positions.csv")
    detectors = h.path(name + "-detectors.csv")
    # Detectors a quarter, a half and three quarters round from the feeder.
    places = [(RING_RADIUS_M * math.cos(a), RING_RADIUS_M * math.sin(a), 6.0)
              for a in (-math.pi / 2, math.pi, math.pi / 2)]
    h.run(name, ["--osm", osm, "--schedules", empty_schedules(h), "--steps", RING_STEPS,
                 "--fcd", fcd, "--fcd-every", RING_FCD_EVERY] + detector_args(places, detectors, MINUTE))
    ring_m = 72 * 2 * RING_RADIUS_M * math.sin(math.pi / 72)
    snapshots = {}
    for step, vid, x, y, speed in read_positions(fcd):
        if abs(math.hypot(x, y) - RING_RADIUS_M) < 4.0:
            snapshots.setdefault(step, []).append((ring_arc(x, y, ring_m, feeder_gives_way), speed))
    per_window = MINUTE // RING_FCD_EVERY
    steps = sorted(snapshots)
    windows = []
    for i in range(0, len(steps) - per_window + 1, per_window):
        chunk = [snapshots[s] for s in steps[i:i + per_window]]
        cars = statistics.mean(len(c) for c in chunk)
        moved = statistics.mean(sum(v for _, v in c) for c in chunk)  # metres per second, all cars
        density = cars / (ring_m / 1000.0)
        flow = moved / ring_m * 3600.0
        windows.append({"minute": (i + per_window) * RING_FCD_EVERY // MINUTE, "density_veh_km": density,
                        "flow_veh_h": flow, "speed_kmh": flow / density if density > 0 else ""})
    # Capacity: the highest flow among windows grouped by density, 5 veh/km wide.
    groups = {}
    for w in windows:
        groups.setdefault(int(w["density_veh_km"] // 5), []).append(w)
    binned = sorted((statistics.mean(w["density_veh_km"] for w in g), statistics.mean(w["flow_veh_h"] for w in g))
                    for g in groups.values())
    critical, capacity = max(binned, key=lambda b: b[1])
    final = windows[-1]
    detector_rows = [{"lane": name, "feed": "", "detector": r["detector"], "density_veh_km": r["density"],
                      "flow_veh_h": r["flow"], "speed_kmh": r["speed"] if r["speed"] is not None else ""}
                     for r in read_detectors(detectors) if r["seconds"] >= 60]
    wave = jam_wave_speed(snapshots, ring_m, critical)
    figures = {
        "capacity_veh_h": capacity,
        "critical_density_veh_km": critical,
        "final_density_veh_km": final["density_veh_km"],
        "final_flow_veh_h": final["flow_veh_h"],
        "jam_wave_kmh": wave,
    }
    table = name.replace("-", "_")
    space_time = [{"step": s, "arc_m": round(a, 1), "speed_mps": v} for s in steps for a, v in snapshots[s]
                  if s % (4 * RING_FCD_EVERY) == 0]
    return {"figures": figures, "tables": {table: windows, table + "_detectors": detector_rows,
                                           table + "_space_time": space_time}}


def jam_wave_speed(snapshots, ring_m, critical_density):
    """Speed (km/h, negative upstream) at which standing cars move along the ring when it is dense.

    The pattern of standing cars at one time is compared with the pattern 20 s later shifted by
    every distance; the shift that matches best gives the speed of the jams. The stretch next to
    the feeder, where cars stand to give way, is left out.
    """
    bin_m = 5.0
    bins = int(ring_m // bin_m)
    lag = int(20 / (RING_FCD_EVERY * STEP_S))
    grids = []
    for s in sorted(snapshots):
        dense = len(snapshots[s]) / (ring_m / 1000.0) >= critical_density * 1.2
        grids.append({int(arc // bin_m) for arc, speed in snapshots[s]
                      if speed <= RING_STANDING_MPS and 80.0 < arc < ring_m - 80.0} if dense else None)
    # score[k]: standing bins at x that hold standing cars again at x + k bins 20 s later.
    score = {}
    for a, b in zip(grids, grids[lag:]):
        if a is None or b is None:
            continue
        for x in a:
            for y in b:
                k = (y - x + bins // 2) % bins - bins // 2
                score[k] = score.get(k, 0) + 1
    if not score:
        return float("nan")
    shift = max(sorted(score), key=lambda k: score[k])
    return shift * bin_m / (lag * RING_FCD_EVERY * STEP_S) * 3.6


def signal(h):
    """A queue that never empties at a signal: headways at the stop line, the queue, its start-up."""
    osm = h.path("signal.osm")
    maps.signal_crossroad(SIGNAL_APPROACH_M, 300.0, 300.0).write(osm)
    fcd = h.path("signal-positions.csv")
    detectors = h.path("signal-detectors.csv")
    h.run("signal", ["--osm", osm, "--schedules", empty_schedules(h), "--feed", 100, "--steps", SIGNAL_STEPS,
                     "--fcd", fcd] + detector_args([(0.0, 0.0, 15.0)], detectors, 1))
    rows = read_detectors(detectors)
    stop_line = [r for r in rows if r["x"] < 0 and abs(r["y"]) < 5.0]
    passes = []
    for r in stop_line:
        passes += [r["step"]] * r["vehicles"]
    greens = green_starts(passes, SIGNAL_STEPS)
    by_position, per_green = headways_after_green(passes, greens)
    headways = [{"position": i, "mean_s": statistics.mean(v), "min_s": min(v), "max_s": max(v), "cycles": len(v)}
                for i, v in sorted(by_position.items())]
    last = max(by_position)
    saturated = [statistics.mean(by_position[i]) for i in range(5, last + 1)]
    saturation_headway = statistics.mean(saturated)
    lost = sum(statistics.mean(by_position[i]) - saturation_headway for i in range(1, 5))

    positions = {}
    for step, vid, x, y, speed in read_positions(fcd):
        if abs(y) < 5.0 and x < 0:
            positions.setdefault(step, []).append((x, vid, speed))
    spacings, waves = [], []
    for g in greens:
        queue = queue_at(positions.get(g - 1, []))
        spacings += [a[0] - b[0] for a, b in zip(queue, queue[1:])]
        # When each car of the queue first moves after the light turned green.
        starts = []
        waiting = {vid: x for x, vid, _ in queue}
        for s in range(g, g + SIGNAL_GREEN):
            for _, vid, speed in positions.get(s, []):
                if speed > 0 and vid in waiting:
                    starts.append(((s - g + 1) * STEP_S, -waiting.pop(vid)))
        if len(starts) >= 4:
            waves.append(slope(starts))
    figures = {
        "saturation_flow_veh_h": 3600.0 / saturation_headway,
        "saturation_headway_s": saturation_headway,
        "lost_time_s": lost,
        "first_headway_s": statistics.mean(by_position[1]),
        "cars_per_green": statistics.mean(per_green),
        "jam_density_veh_km": 1000.0 / statistics.mean(spacings),
        "start_wave_kmh": -statistics.mean(waves) * 3.6,
    }
    return {"figures": figures, "tables": {"headways": headways}}


def green_starts(passes, steps):
    """The first steps of the approach's greens after the first cycle, from the steps its cars passed.

    Of the signal's two groups, the approach is the one in whose greens its cars pass.
    """
    offset = min((0, SIGNAL_CYCLE // 2), key=lambda g: sum((p - g) % SIGNAL_CYCLE >= SIGNAL_GREEN for p in passes))
    return list(range(offset + SIGNAL_CYCLE, steps - SIGNAL_CYCLE, SIGNAL_CYCLE))


def headways_after_green(passes, greens):
    """Headways in seconds by position in the queue (up to 10), and the cars passed in each green.

    The first headway runs from the moment the light turned green, the start of the step `g`.
    """
    by_position = {}
    per_green = []
    for g in greens:
        mine = sorted(p for p in passes if g <= p < g + SIGNAL_GREEN)
        per_green.append(len(mine))
        previous = g - 1
        for i, p in enumerate(mine[:10]):
            by_position.setdefault(i + 1, []).append((p - previous) * STEP_S)
            previous = p
    return by_position, per_green


def slope(points):
    """Least-squares slope of y over x for (x, y) points."""
    mx = statistics.mean(x for x, _ in points)
    my = statistics.mean(y for _, y in points)
    return sum((x - mx) * (y - my) for x, y in points) / sum((x - mx) ** 2 for x, _ in points)


def queue_at(cars):
    """The standing cars from the stop line upstream, front positions falling, up to the first gap."""
    standing = sorted((c for c in cars if c[2] == 0), reverse=True)
    queue = standing[:1]
    for car in standing[1:]:
        if queue[-1][0] - car[0] > QUEUE_GAP_M:
            break
        queue.append(car)
    return queue


def crossroad(h, jobs, feeds=CROSSROAD_FEEDS):
    """A crossroad without signals loaded at rising rates: flow through it from each road."""
    osm = h.path("crossroad.osm")
    maps.priority_crossroad(CROSSROAD_APPROACH_M, 300.0).write(osm)
    schedules = empty_schedules(h)
    entry = CROSSROAD_APPROACH_M - 20.0
    places = [(0.0, 0.0, 15.0), (-entry, 0.0, 5.0), (0.0, -entry, 5.0)]

    def one(feed):
        detectors = h.path(f"crossroad-feed{feed}-detectors.csv")
        h.run(f"crossroad-feed{feed}", ["--osm", osm, "--schedules", schedules, "--feed", feed,
                                        "--steps", CROSSROAD_STEPS] + detector_args(places, detectors, MINUTE))
        rows = [r for r in read_detectors(detectors) if r["step"] > CROSSROAD_WARMUP and r["seconds"] >= 60]

        def mean(pick, value):
            chosen = [r[value] for r in rows if pick(r)]
            return statistics.mean(chosen) if chosen else 0.0
        return {
            "feed": feed,
            "major_veh_h": mean(lambda r: r["detector"] == 1 and r["y"] < -1 and abs(r["x"]) < 5, "flow"),
            "minor_veh_h": mean(lambda r: r["detector"] == 1 and r["x"] < -1 and abs(r["y"]) < 5, "flow"),
            "minor_entry_occupancy": mean(lambda r: r["detector"] == 2, "occupancy"),
            "major_entry_occupancy": mean(lambda r: r["detector"] == 3, "occupancy"),
        }

    table = parallel(jobs, one, feeds)
    for row in table:
        # Both roads are fed alike and the primary road never queues (its entry stays mostly free),
        # so the residential road is short of its demand where it carries clearly less.
        row["minor_saturated"] = int(row["minor_veh_h"] < 0.9 * row["major_veh_h"])
    fed = {r["feed"]: r for r in table}
    figures = {}
    for feed in CROSSROAD_CHECK_FEEDS:
        figures[f"major_at_feed{feed}_veh_h"] = fed[feed]["major_veh_h"]
        figures[f"minor_at_feed{feed}_veh_h"] = fed[feed]["minor_veh_h"]
    return {"figures": figures, "tables": {"crossroad": table}}


def city(h, data_dir, free_speed_kmh):
    """Two hours of the bundled city: trip times of cars and the punctuality of public transport."""
    fcd = h.path("city-positions.csv")
    out = h.run("city", ["--osm", os.path.join(data_dir, "kesta_center_2014-04-15_compressed_edited.osm"),
                         "--schedules", os.path.join(data_dir, "schedules.xml"), "--steps", CITY_STEPS,
                         "--fcd", fcd, "--fcd-every", CITY_FCD_EVERY])
    seen = {}
    last_step = 0
    for step, vid, _, _, speed in read_positions(fcd):
        last_step = max(last_step, step)
        first, last, metres, standing = seen.get(vid, (step, step, 0.0, 0))
        seen[vid] = (first, step, metres + speed * CITY_FCD_EVERY * STEP_S, standing + (speed == 0))
    free_mps = free_speed_kmh / 3.6
    trips = []
    stood = 0
    for vid, (first, last, metres, standing) in sorted(seen.items()):
        if last >= last_step or metres < CITY_MIN_TRIP_M:
            continue  # still under way at the end, or hardly moved
        seconds = (last - first) * STEP_S
        stood += standing * CITY_FCD_EVERY * STEP_S
        trips.append({"id": vid, "trip_s": seconds, "distance_m": round(metres, 1),
                      "free_flow_s": round(metres / free_mps, 1), "ratio": seconds / (metres / free_mps)})
    ratios = sorted(t["ratio"] for t in trips)
    arrivals = summary_value(out, "stop arrivals")
    match = [float(v) for v in re.findall(r"-?\d+(?:\.\d+)?", arrivals)]
    figures = {
        "trips": len(trips),
        "median_trip_s": statistics.median(t["trip_s"] for t in trips),
        "median_ratio": statistics.median(ratios),
        "standing_share": stood / sum(t["trip_s"] for t in trips),
        "p90_ratio": ratios[int(0.9 * (len(ratios) - 1))],
        "stop_arrivals": match[0],
        "mean_lateness_s": match[1],
        "late_over_minute": match[2],
        "early_over_minute": match[3],
        "mean_speed_kmh": float(summary_value(out, "mean speed").split()[0]),
    }
    return {"figures": figures, "tables": {"trips": trips}}
