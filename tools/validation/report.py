"""docs/validation.md: the figures beside the usual urban ranges, the plots, and what causes each difference."""
import math

from . import experiments as ex
from .plots import PLOTS


def compare(value, low, high):
    if math.isnan(value):
        return "not measured"
    if low <= value <= high:
        return "within"
    if 0.98 * low <= value <= 1.02 * high:
        return "at the edge"
    return "below" if value < low else "above"


def n(value, digits=0):
    return f"{value:,.{digits}f}".replace("-", "−")


def write(path, f, results):
    road, bus, ring, dense, sig, cross = (f["road"], f["bus_road"], f["ring"], f["ring_dense"], f["signal"],
                                          f["crossroad"])
    city = f.get("city")
    mean_length_m = 4.0
    gap_m = 1000.0 / sig["jam_density_veh_km"] - mean_length_m
    sat_headway = sig["saturation_headway_s"]
    crossing = results["crossroad"]["tables"]["crossroad"]
    road_levels = {a["feed"]: a for a in results["road"]["averages"]}
    free_top = max(a["flow"] for a in results["road"]["averages"] if a["speed"] > 0.9 * road["free_speed_kmh"])
    no_reaction = "no reaction time: the first car goes in the first step of green"
    rows = [
        ("Free-flow speed of a car alone", f"{n(road['free_speed_kmh'], 1)} km/h", "the speed limit, 50 km/h", "",
         "top speed 14 m/s (50.4 km/h), less random dawdling"),
        ("Capacity of one lane (highest flow on the ring)", f"{n(ring['capacity_veh_h'])} veh/h",
         "1,500–2,000 veh/h", compare(ring["capacity_veh_h"], 1500, 2000),
         "a follower keeps its braking distance less half its leader's, plus 1.5 m; no signal or crossing"),
        ("Critical density (density at that flow)", f"{n(ring['critical_density_veh_km'])} veh/km", "—", "", ""),
        ("Flow out of a lane that ends at the network's edge", f"{n(road['end_flow_veh_h'])} veh/h", "—", "",
         "a car brakes to a stop at the end of a lane that leads nowhere"),
        ("Jam density (queue standing at a red light)", f"{n(sig['jam_density_veh_km'])} veh/km",
         "120–160 veh/km", compare(sig["jam_density_veh_km"], 120, 160),
         f"cars are 3–5 m long and stand about {n(gap_m, 1)} m apart"),
        ("Jam density (ring at a standstill)", f"{n(dense['final_density_veh_km'])} veh/km", "120–160 veh/km",
         compare(dense["final_density_veh_km"], 120, 160), "the same"),
        ("Speed of the jams on the ring (their back and front)", f"{n(-ring['jam_wave_kmh'])} km/h upstream",
         "about 15–20 km/h upstream", compare(-ring["jam_wave_kmh"], 15, 20), ""),
        ("Start-up wave through a queue at green", f"{n(sig['start_wave_kmh'] * -1)} km/h upstream",
         "about 15–20 km/h upstream", compare(-sig["start_wave_kmh"], 15, 20),
         "no reaction time: a car starts as soon as its following rule lets it"),
        ("Saturation flow at a signal", f"{n(sig['saturation_flow_veh_h'])} veh/h of green",
         "1,800–1,900 veh/h of green", compare(sig["saturation_flow_veh_h"], 1800, 1900), ""),
        ("Saturation headway (5th car on)", f"{n(sat_headway, 2)} s", "1.9–2.0 s",
         compare(sat_headway, 3600 / 1900, 3600 / 1800), ""),
        ("Start-up lost time (first four cars)", f"{n(sig['lost_time_s'], 1)} s", "about 2 s",
         compare(sig["lost_time_s"], 1.5, 2.5), no_reaction),
        ("Headway of the first car after green", f"{n(sig['first_headway_s'], 2)} s", "—", "", no_reaction),
        ("Cars through one green of 20 s", f"{n(sig['cars_per_green'], 1)}", "—", "", "amber stops cars as red does"),
        ("Lane with two bus stops: free-flow speed", f"{n(bus['free_speed_kmh'], 1)} km/h",
         f"lane without: {n(road['free_speed_kmh'], 1)}", "", "buses load in bays beside the lane"),
        ("Lane with two bus stops: flow out at its end", f"{n(bus['end_flow_veh_h'])} veh/h",
         f"lane without: {n(road['end_flow_veh_h'])}", "", "the same"),
        ("Residential road at a crossroad, primary road at "
         f"{n(cross['major_at_feed4_veh_h'])} veh/h", f"{n(cross['minor_at_feed4_veh_h'])} veh/h", "—", "",
         "a car that gives way stops at the crossroad first"),
        ("Residential road, primary road at its most "
         f"({n(cross['major_at_feed100_veh_h'])} veh/h)", f"{n(cross['minor_at_feed100_veh_h'])} veh/h", "—", "",
         ""),
    ]
    if city:
        rows += [
            ("City, two hours: median trip time / free-flow time", f"{n(city['median_ratio'], 2)}", "—", "",
             f"{n(city['trips'])} car trips; 90 % below {n(city['p90_ratio'], 1)}"),
            ("City: mean lateness of buses and trams at stops", f"{n(city['mean_lateness_s'])} s", "—", "",
             f"{n(city['stop_arrivals'])} arrivals; {n(city['late_over_minute'])} over a minute late, "
             f"{n(city['early_over_minute'])} over a minute early"),
        ]
    table = "\n".join("| " + " | ".join(row) + " |" for row in rows)
    minor_rows = "\n".join(
        f"| ×{r['feed']} | {n(r['major_veh_h'])} | {n(r['minor_veh_h'])} | "
        f"{'yes' if r['minor_saturated'] else 'no'} |" for r in crossing)
    city_part = ""
    if city:
        city_part = f"""
## The bundled city: trip times and punctuality

Two simulated hours of the bundled Helsinki centre from 14:00 with its timetable, at the
generators' own pace (`kolvex-headless --steps {ex.CITY_STEPS} --fcd … --fcd-every {ex.CITY_FCD_EVERY}`). A car's trip
runs from the first to the last second it is on the network; its length is the sum of its speeds,
second by second; its free-flow time is that length at the free-flow speed of a car alone on a
straight lane ({n(road['free_speed_kmh'], 1)} km/h). Trips still under way at the end, and cars that moved less
than {n(ex.CITY_MIN_TRIP_M)} m, are left out. The free-flow time leaves out the slowing for bends and turns,
which every trip through crossroads pays even on empty streets.

![Trip time against free-flow time](validation/{PLOTS['trips']})

Of {n(city['trips'])} car trips the median took {n(city['median_trip_s'])} s and {n(city['median_ratio'], 2)} times its free-flow time;
one in ten took more than {n(city['p90_ratio'], 1)} times. The city's mean speed at the end of the two hours was
{n(city['mean_speed_kmh'], 1)} km/h. Cars stood still for {n(100 * city['standing_share'])} % of their trip time, most of it before
crossroads: a car that gives way comes to a standstill at the crossroad first (see the crossroad
above), and a signal serves each of its arms for 20 s in every 26 s × arms.

Buses and trams arrived {n(city['stop_arrivals'])} times at a stop, on average {n(city['mean_lateness_s'])} s
{'late' if city['mean_lateness_s'] >= 0 else 'early'} against their timetable; {n(city['late_over_minute'])} arrivals were more than a
minute late and {n(city['early_over_minute'])} more than a minute early. The timetable is drafted from
the route relations at 15 km/h for trams and 18 km/h for buses (see `data/README.md`), not an
official one, so lateness measures the traffic and that assumed speed together.
"""
    text = f"""# What the traffic model does, measured

This report gives the aggregate behaviour of Kolvex's vehicles: how many cars one lane carries, at
what density, how fast jams move, how a queue leaves a green light, how a crossroad without signals
shares its room, and how long trips take in the bundled city. Every figure and plot here is made by

```sh
tools/validate            # about 2 minutes on a 2-core machine, with the two-hour city run
```

from a built `kolvex-headless` (Debian's `python3-matplotlib` draws the plots). It builds small
OpenStreetMap files, runs them with fixed seeds, and writes the CSV files, the plots and
`figures.json` into `docs/validation/` and this text. The figures are those of the driving rules as
they are: where they differ from what is usually quoted for urban traffic, the text says which rule
causes it. `tools/validate --check` (a test, label `validation`) measures the headline figures again
on the small maps and fails when one has moved by more than 10 %, so that a change of the rules that
moves them is noticed and this report renewed.

All roads of the test maps are one-way, so each has one lane, and `--feed N` makes every
generator start cars N times as often as it would (at ×1 a generator starts a car on average
every 12.6 s, about 285 an hour). Counts come from `kolvex-headless --detector LAT,LON[,RADIUS]`,
which counts the vehicles whose front passes the nearest cell of each lane near a point and how
long that cell is covered (density = share of time covered ÷ vehicle length); positions from
`--fcd`.

## Headline figures

| Figure | Kolvex | Usual urban range | Kolvex is | Cause, note |
|---|---|---|---|---|
{table}

## Fundamental diagram of one lane

Three experiments:

- **Ring** ({n(2 * math.pi * ex.RING_RADIUS_M)} m one-way ring with a {n(ex.RING_FEEDER_M)} m feeder that gives way to the ring):
  cars come in at the feeder's pace for {ex.RING_STEPS // 240} minutes and never leave, so the density rises slowly;
  flow and density are taken over the whole ring once a minute from the positions (density = cars ÷ length,
  flow = sum of speeds ÷ length), and at three detectors. The feeder finds gaps only up to about
  {n(ring['final_density_veh_km'])} veh/km, where the ring still flows at {n(ring['final_flow_veh_h'])} veh/h.
- **Dense ring** (the same ring driven the other way, so that the ring gives way to the feeder): its cars
  stop at the merge every time round, which holds the flow to about {n(dense['capacity_veh_h'])} veh/h, but the ring
  fills until it stands still at {n(dense['final_density_veh_km'])} veh/km.
- **Straight lane** ({n(ex.ROAD_M)} m, detectors at {', '.join(n(x) for x in ex.ROAD_DETECTORS_X)} m) fed at ×{ex.FEEDS[0]} to ×{ex.FEEDS[-1]},
  each for {ex.ROAD_STEPS // 240} minutes after {ex.ROAD_WARMUP // 240} minutes of filling; and the same lane with two bus stops
  (bays at {' and '.join(n(x) for x in ex.ROAD_BUS_STOPS_X)} m) and a bus line every {ex.BUS_HEADWAY_MIN} minutes.

![Flow against density](validation/{PLOTS['flow_density']})

![Speed against density](validation/{PLOTS['speed_density']})

**Free flow.** A car alone drives at {n(road['free_speed_kmh'], 1)} km/h: its top speed is 14 cells of 0.25 m a step of
0.25 s (50.4 km/h), and above half of it a car slows by one cell a step at random with probability
0.5. Flow grows with density at that speed up to about {n(free_top)} veh/h on the straight lane.

**Capacity.** The ring carries at most {n(ring['capacity_veh_h'])} veh/h at {n(ring['critical_density_veh_km'])} veh/km
({compare(ring['capacity_veh_h'], 1500, 2000)} the usual 1,500–2,000 veh/h of an urban lane). A following car keeps
only its own braking distance less half of its leader's, plus 6 cells (1.5 m), so at capacity cars
follow {n(3600 / ring['capacity_veh_h'], 1)} s apart at {n(ring['capacity_veh_h'] / ring['critical_density_veh_km'])} km/h: a lane free of crossroads, parking and
pedestrians carries what a motorway lane does. Urban lane capacities are lower because of what happens at crossroads,
which in Kolvex is measured separately below.

**The end of the network is a bottleneck.** At ×{ex.FEEDS[5]} and above the straight lane carries
{n(road_levels[ex.FEEDS[5]]['flow'])}–{n(road['end_flow_veh_h'])} veh/h whatever the feed, at speeds near
{n(road['end_speed_kmh'])} km/h and densities up to {n(road['end_density_veh_km'])} veh/km: a car treats the end of
a lane that leads nowhere as an obstacle to stop before (it finishes its trip only within one cell
of the end), so every car brakes almost to a stop there, and the queue behind that point fills the
whole lane. Those points are states of a queue discharging at about {n(road['end_flow_veh_h'])} veh/h, not
of free traffic; a lane that leaves the map carries at most that.

**Jam density.** Standing cars are {n(sig['jam_density_veh_km'])} veh/km in a queue at a red light and
{n(dense['final_density_veh_km'])} veh/km on the ring at a standstill, {compare(sig['jam_density_veh_km'], 120, 160)} the usual
120–160 veh/km. Cars are 3, 4 or 5 m long (4 m on average) and stop about {n(gap_m, 1)} m behind the car
ahead, a spacing of {n(1000 / sig['jam_density_veh_km'], 1)} m where 6–8 m is usual: real cars are longer on average
and drivers leave 2–3 m.

**Jams.** Above the critical density the ring breaks into stop-and-go waves
(plot below): standing cars move upstream at {n(-ring['jam_wave_kmh'])} km/h (the shift of the pattern of
standing cars 20 s later that matches it best, away from the feeder), as the back and the front of a
real jam do. The start-up wave through a queue at a green light is faster, {n(-sig['start_wave_kmh'])} km/h: each
car there starts as soon as the gap in front of it is as long as its following rule asks, without
the second or so a driver takes to react.

![Positions and speeds on the ring as it fills](validation/{PLOTS['ring_space_time']})

**Bus stops.** The lane with two bus stops carries the same as the lane without
({n(bus['free_speed_kmh'], 1)} against {n(road['free_speed_kmh'], 1)} km/h free, {n(bus['end_flow_veh_h'])} against
{n(road['end_flow_veh_h'])} veh/h at most, with about {n(bus['buses_per_hour'])} buses an hour): a bus pulls into a bay of
cells beside the lane to load, and cars pass it; bus stops in Kolvex are always such bays.

## Discharge of a queue at a signal

A road from the west and one from the south meet at a signal and go on east; both are fed at ×100,
so each green finds a queue back to the road's entry. A detector at the stop line counts the cars
each step for {ex.SIGNAL_STEPS // 240} minutes; headways are measured from the start of green, over
{len(results['signal']['tables']['headways'])} positions and the cycles after the first.

![Headways of the first cars after green](validation/{PLOTS['headways']})

Saturation flow is {n(sig['saturation_flow_veh_h'])} veh/h of green (a headway of {n(sat_headway, 2)} s from the
fifth car on), {compare(sig['saturation_flow_veh_h'], 1800, 1900)} the usual 1,800–1,900 veh/h. The start-up
lost time of the first four cars is {n(sig['lost_time_s'], 1)} s against the usual 2 s: the first car crosses the
stop line {n(sig['first_headway_s'], 2)} s after the light turns green, in the first step, since a car decides on
the light of the step it is in and has no reaction time. The next cars' headways lie near the
saturation headway, so the first four together take less time than four saturation headways. A
group is green for 20 s and then amber for 3 s, on which cars stop as on red, so
{n(sig['cars_per_green'], 1)} cars pass one green.

## A crossroad without signals

A primary road northward crosses a residential road eastward; each car turns at random, straight on
or into the other road. The primary road comes from the residential road's right, so by priority
to the right the residential road gives way to it. Both roads are fed alike, from ×1 to ×100;
detectors at the crossroad count what passes from each road over {ex.CROSSROAD_STEPS // 240} minutes.

![Flow from the residential road against flow on the primary road](validation/{PLOTS['crossroad']})

| feed | primary road (veh/h) | residential road (veh/h) | residential road short of its demand |
|---|---|---|---|
{minor_rows}

While the demand is light both roads pass what they are fed. From about {n(cross['major_at_feed4_veh_h'])} veh/h
on the primary road the residential road queues, and its flow falls as the primary road's rises,
down to {n(cross['minor_at_feed100_veh_h'])} veh/h when the primary road carries {n(cross['major_at_feed100_veh_h'])} veh/h.
A car that has to give way stops at the crossroad every time, even when nothing comes, before it
looks again; it then needs the conflicting lane clear for as long as it takes to cross from
standstill, so it uses only long gaps.
{city_part}"""
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
