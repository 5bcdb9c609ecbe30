"""The plots of docs/validation.md, drawn from the CSV files beside them."""
import csv
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the back end is chosen first)

PLOTS = {
    "flow_density": "fd-flow-density.png",
    "speed_density": "fd-speed-density.png",
    "headways": "signal-headways.png",
    "trips": "trip-times.png",
    "crossroad": "crossroad-flows.png",
    "ring_space_time": "ring-space-time.png",
}


def read(folders, name):
    """Rows of the CSV file `name` from the first of `folders` that holds it."""
    for folder in folders:
        path = os.path.join(folder, name + ".csv")
        if os.path.exists(path):
            with open(path, newline="", encoding="utf-8") as f:
                return list(csv.DictReader(f))
    raise FileNotFoundError(name + ".csv")


def numbers(rows, *keys):
    chosen = [r for r in rows if all(r[k] != "" for k in keys)]
    return [[float(r[k]) for r in chosen] for k in keys]


def save(fig, folder, key):
    fig.tight_layout()
    fig.savefig(os.path.join(folder, PLOTS[key]), dpi=110)
    plt.close(fig)


def fundamental_diagram(folders, figures, value, key, label):
    points = read(folders, "road_points") + read(folders, "bus_road_points")
    fig, ax = plt.subplots(figsize=(7.5, 4.8))
    k, q = numbers(read(folders, "ring_detectors") + read(folders, "ring_dense_detectors"), "density_veh_km", value)
    ax.scatter(k, q, s=8, color="0.78", label="rings, detectors (1 min)")
    for table, colour, text in (("ring", "tab:blue", "ring, feeder gives way (whole lane, 1 min)"),
                                ("ring_dense", "tab:purple", "ring, ring gives way at the merge")):
        k, q = numbers(read(folders, table), "density_veh_km", value)
        ax.plot(k, q, "o-", ms=3, lw=0.8, color=colour, label=text)
    for lane, colour, marker, text in (("road", "tab:orange", "s", "straight lane fed at rising rates"),
                                       ("bus-road", "tab:green", "^", "the same with two bus stops")):
        k, q = numbers([p for p in points if p["lane"] == lane], "density_veh_km", value)
        ax.scatter(k, q, s=26, marker=marker, facecolors="none", edgecolors=colour, label=text, zorder=3)
    if value == "flow_veh_h":
        ax.plot([figures["signal"]["jam_density_veh_km"]], [0], "kx", ms=9, mew=2,
                label="queue standing at a red light", zorder=4)
        ax.axvline(figures["ring"]["critical_density_veh_km"], color="tab:blue", ls=":", lw=1)
        ax.axhline(figures["ring"]["capacity_veh_h"], color="tab:blue", ls=":", lw=1)
        ax.axhspan(1500, 2000, color="tab:red", alpha=0.08, label="usual urban lane capacity")
    ax.axvspan(120, 160, color="tab:brown", alpha=0.08, label="usual jam density")
    ax.set_xlabel("density (vehicles/km/lane)")
    ax.set_ylabel(label)
    ax.set_xlim(0, 220)
    ax.set_ylim(bottom=0)
    ax.legend(fontsize=7.5, loc="upper right")
    save(fig, folders[0], key)


def headways(folders, figures):
    rows = read(folders, "headways")
    pos, mean, low, high = numbers(rows, "position", "mean_s", "min_s", "max_s")
    fig, ax = plt.subplots(figsize=(6.5, 4))
    ax.bar(pos, mean, color="tab:orange", yerr=[[m - lo for m, lo in zip(mean, low)],
                                                [hi - m for m, hi in zip(mean, high)]], capsize=3)
    sat = figures["signal"]["saturation_headway_s"]
    ax.axhline(sat, color="k", ls="--", lw=1, label=f"saturation headway {sat:.2f} s")
    ax.axhspan(3600 / 1900, 3600 / 1800, color="tab:red", alpha=0.12, label="usual: 1,800–1,900 veh/h of green")
    ax.set_xlabel("position in the queue at the start of green")
    ax.set_ylabel("headway at the stop line (s)")
    ax.set_xticks(pos)
    ax.legend(fontsize=8)
    save(fig, folders[0], "headways")


def trips(folders, figures):
    rows = read(folders, "trips")
    trip, free, ratio = numbers(rows, "trip_s", "free_flow_s", "ratio")
    fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4))
    left.scatter(free, trip, s=3, alpha=0.3)
    top = max(max(trip), max(free))
    left.plot([0, top], [0, top], "k--", lw=1, label="trip time = free-flow time")
    left.set_xlabel("free-flow time (s)")
    left.set_ylabel("trip time (s)")
    left.legend(fontsize=8)
    right.hist([min(r, 10.0) for r in ratio], bins=60, color="tab:blue")
    right.axvline(figures["city"]["median_ratio"], color="k", ls="--", lw=1,
                  label=f"median {figures['city']['median_ratio']:.2f}")
    right.set_xlabel("trip time / free-flow time (10 and above in the last bar)")
    right.set_ylabel("car trips")
    right.legend(fontsize=8)
    save(fig, folders[0], "trips")


def crossroad(folders, figures):
    rows = read(folders, "crossroad")
    fig, ax = plt.subplots(figsize=(6.5, 4.5))
    for saturated, marker, text in (("1", "o", "residential road carries less than it is fed (queue)"),
                                    ("0", "s", "residential road carries what it is fed")):
        major, minor = numbers([r for r in rows if r["minor_saturated"] == saturated], "major_veh_h", "minor_veh_h")
        ax.scatter(major, minor, marker=marker, s=30, label=text)
    for r in rows:
        ax.annotate(f"×{r['feed']}", (float(r["major_veh_h"]), float(r["minor_veh_h"])), fontsize=7,
                    xytext=(3, 3), textcoords="offset points")
    ax.set_xlabel("flow on the primary road (veh/h)")
    ax.set_ylabel("flow from the residential road (veh/h)")
    ax.set_xlim(left=0)
    ax.set_ylim(bottom=0)
    ax.legend(fontsize=8)
    save(fig, folders[0], "crossroad")


def ring_space_time(folders, figures):
    """Mean speed in cells of 10 m and 16 s, from the positions of the cars on the filling ring."""
    import numpy

    rows = read(folders, "ring_space_time")
    step, arc, speed = (numpy.array(v) for v in numbers(rows, "step", "arc_m", "speed_mps"))
    minutes = step * 0.25 / 60
    t_edges = numpy.arange(0, minutes.max() + 16 / 60, 16 / 60)
    x_edges = numpy.arange(0, arc.max() + 10, 10)
    total, _, _ = numpy.histogram2d(minutes, arc, bins=[t_edges, x_edges], weights=speed * 3.6)
    count, _, _ = numpy.histogram2d(minutes, arc, bins=[t_edges, x_edges])
    mean = numpy.where(count > 0, total / numpy.maximum(count, 1), numpy.nan)
    fig, ax = plt.subplots(figsize=(8, 4.5))
    image = ax.pcolormesh(t_edges, x_edges, mean.T, cmap="RdYlGn", vmin=0, vmax=50, shading="flat")
    fig.colorbar(image, ax=ax, label="mean speed (km/h)")
    ax.set_xlabel("minutes since the start (the ring fills through its feeder; white: no car)")
    ax.set_ylabel("position along the ring (m, driving direction)")
    save(fig, folders[0], "ring_space_time")


def draw_all(folders, figures):
    """Draws every plot into the first of `folders` from the CSV files found in them."""
    fundamental_diagram(folders, figures, "flow_veh_h", "flow_density", "flow (vehicles/h/lane)")
    fundamental_diagram(folders, figures, "speed_kmh", "speed_density", "space-mean speed (km/h)")
    headways(folders, figures)
    if "city" in figures:
        trips(folders, figures)
    crossroad(folders, figures)
    ring_space_time(folders, figures)
