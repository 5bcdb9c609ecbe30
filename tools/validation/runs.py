"""Runs kolvex-headless and reads what it writes: detector readings, vehicle positions, the summary."""
import csv
import math
import os
import re
import subprocess

from . import maps

STEP_S = 0.25


class RunError(Exception):
    pass


class Headless:
    """One kolvex-headless program and a folder for the files of its runs."""

    def __init__(self, program, work):
        self.program = program
        self.work = work
        os.makedirs(work, exist_ok=True)

    def path(self, name):
        return os.path.join(self.work, name)

    def run(self, name, args):
        """Runs with `args` on one decision thread; returns the standard output, raises on failure."""
        result = subprocess.run([self.program, "--threads", "1"] + [str(a) for a in args],
                                capture_output=True, text=True)
        with open(self.path(name + ".log"), "w", encoding="utf-8") as log:
            log.write(result.stdout)
            log.write(result.stderr)
        if result.returncode != 0:
            raise RunError(f"{name}: kolvex-headless exited with {result.returncode}; see {self.path(name + '.log')}")
        return result.stdout


def detector_args(places, csv_path, every):
    """--detector options for (x, y, radius) places in the metres of the synthetic maps."""
    args = []
    for x, y, radius in places:
        lat, lon = maps.to_lat_lon(x, y)
        args += ["--detector", f"{lat:.8f},{lon:.8f},{radius}"]
    return args + ["--detector-csv", csv_path, "--detector-every", str(every)]


def to_xy(lat, lon):
    """Metres east and north of the synthetic maps' origin."""
    y = math.radians(lat - maps.ORIGIN[0]) * maps.EARTH_RADIUS_M
    x = math.radians(lon - maps.ORIGIN[1]) * maps.EARTH_RADIUS_M * math.cos(math.radians(maps.ORIGIN[0]))
    return x, y


def read_detectors(path):
    """Rows of a --detector-csv file with numbers converted; the watched cell's x and y added."""
    rows = []
    with open(path, newline="", encoding="utf-8") as f:
        for r in csv.DictReader(f):
            x, y = to_xy(float(r["lat"]), float(r["lon"]))
            rows.append({
                "step": int(r["step"]), "detector": int(r["detector"]), "way": int(r["way"]),
                "x": x, "y": y, "seconds": float(r["seconds"]), "vehicles": int(r["vehicles"]),
                "flow": float(r["flow_veh_h"]),
                "speed": float(r["mean_speed_kmh"]) if r["mean_speed_kmh"] else None,
                "occupancy": float(r["occupancy"]), "density": float(r["density_veh_km"]),
            })
    return rows


def read_positions(path, kinds=("car",)):
    """Rows of a --fcd file as tuples (step, id, x, y, speed in m/s) for vehicles of `kinds`."""
    rows = []
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.reader(f)
        next(reader)
        for step, _, vid, kind, lat, lon, speed, _ in reader:
            if kind in kinds:
                x, y = to_xy(float(lat), float(lon))
                rows.append((int(step), int(vid), x, y, float(speed)))
    return rows


def summary_value(text, label):
    match = re.search(r"^\s+" + re.escape(label) + r"[ .]*(.*)$", text, re.MULTILINE)
    if not match:
        raise RunError(f"the summary has no line \"{label}\"")
    return match.group(1).strip()
