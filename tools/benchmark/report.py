#!/usr/bin/env python3
"""Turns the probe's outputs and the status server's logs of one benchmark
run into docs/performance.md. Every figure it writes comes from those files."""

import argparse
import datetime
import pathlib
import re
import statistics

import exe_size

MIB = 1024 * 1024
KIB = 1024
SIZE_LIMIT = 600 * KIB
START_RATIO_LIMIT = 1.05
PEAK_RATIO_LIMIT = 1.05
ONLINE_TICK_LIMIT_MS = 0.5
# "No CPU between ticks", put as a number: less than a millisecond of CPU in
# a minute of waiting, a fraction of one tick's own cost.
IDLE_LIMIT_MS_PER_MIN = 1.0
BLOCKS = 10
IDLE_WINDOW_MS = 60_000
# A tick starts a little before its request reaches the server and, offline,
# ends after the 500 ms reply wait.
TICK_BEFORE_MS = 250
TICK_AFTER_MS = 750


def key_values(path):
    values = {}
    for line in path.read_text().replace("\r", "").splitlines():
        if "=" in line and not line.startswith(("sample ", "rtt_us ")):
            key, value = line.split("=", 1)
            values[key] = value
    if "error" in values:
        raise SystemExit(f"{path}: the probe failed: {values['error']}")
    return values


def samples(path):
    """(Unix ms, launcher run time ns, launcher threads, Wine server run time ns)"""
    rows = []
    for line in path.read_text().replace("\r", "").splitlines():
        if line.startswith("sample "):
            _, at, run_ns, threads, server_ns = line.split()
            rows.append((int(at), int(run_ns), int(threads), int(server_ns)))
    return rows


def request_times(log_path):
    """Unix ms of each "TPv2.0" request, by the sender's port."""
    pattern = re.compile(r"^(\S+)Z 127\.0\.0\.1:(\d+) \d+ bytes? \"TPv2\.0\"")
    by_port = {}
    for line in log_path.read_text().splitlines():
        match = pattern.match(line)
        if not match:
            continue
        when = datetime.datetime.fromisoformat(match.group(1)).replace(tzinfo=datetime.timezone.utc)
        by_port.setdefault(int(match.group(2)), []).append(round(when.timestamp() * 1000))
    return by_port


def launcher_requests(log_path, watch):
    """The measured launcher's requests, by the port its socket is bound to;
    any other program polling the same server is left out and counted."""
    ports = {int(p) for p in watch["udp_ports"].split(",") if p}
    if not ports:
        raise SystemExit(f"{log_path}: the probe found no UDP socket of the launcher")
    by_port = request_times(log_path)
    mine = sorted(t for p in ports for t in by_port.get(p, []))
    others = sum(len(ts) for p, ts in by_port.items() if p not in ports)
    return mine, others


def nearest(rows, when):
    """The sample nearest to a moment."""
    return min(rows, key=lambda r: abs(r[0] - when))


def overlaps_tick(t0, t1, windows):
    return any(a < t1 and t0 < b for a, b in windows)


def tick_blocks(rows, requests, ticks):
    """Per tick, over BLOCKS blocks of ticks//BLOCKS ticks (the first tick,
    whose reply changes the window, left out), each block from half a period
    before its first request to half a period after its last:
    - launcher: the launcher's own CPU;
    - server: the Wine server's CPU in the sample intervals that overlap the
      moments a tick asks it for something, less its rate in the other
      intervals (the prefix's other programs, the probe's reading);
    - wait: the launcher's CPU in the intervals that lie within the reply
      wait (50 to 450 ms after the request), which matters offline."""
    per_block = ticks // BLOCKS
    steady = requests[1:]
    if len(steady) < per_block * BLOCKS:
        raise SystemExit(f"only {len(steady)} ticks were seen, {per_block * BLOCKS} needed")
    # Narrow: the Wine server's background is uneven, and each interval of
    # it counted adds noise. A tick's requests come around its datagram and,
    # offline, at the end of the reply wait.
    windows = [w for r in requests for w in ((r - 50, r + 50), (r + 450, r + 600))]
    results = []
    for b in range(BLOCKS):
        mine = steady[b * per_block:(b + 1) * per_block]
        begin, end = mine[0] - 1500, mine[-1] + 1500
        if end > rows[-1][0]:
            raise SystemExit("the watch ended before the last block")
        first, last = nearest(rows, begin), nearest(rows, end)
        inside = [r for r in rows if first[0] <= r[0] <= last[0]]
        tick_ns = tick_ms = clear_ns = clear_ms = wait_ns = wait_ms = 0
        for (t0, _, _, s0), (t1, c1, _, s1) in zip(inside, inside[1:]):
            if overlaps_tick(t0, t1, windows):
                tick_ns += s1 - s0
                tick_ms += t1 - t0
            else:
                clear_ns += s1 - s0
                clear_ms += t1 - t0
        for (t0, c0, _, _), (t1, c1, _, _) in zip(inside, inside[1:]):
            if any(r + 50 <= t0 and t1 <= r + 450 for r in mine):
                wait_ns += c1 - c0
                wait_ms += t1 - t0
        server_ns = tick_ns - (clear_ns / clear_ms * tick_ms if clear_ms else 0)
        results.append({
            "launcher": (last[1] - first[1]) / per_block / 1e6,
            "server": server_ns / per_block / 1e6,
            "wait": wait_ns / per_block / 1e6,
            "wait_seen_ms": wait_ms / per_block,
        })
    return results


def idle_windows(rows, requests):
    """Minutes of waiting with the server silent: all the CPU, its share per
    tick, and the CPU in the sample intervals clear of every tick."""
    ticks = [(r - TICK_BEFORE_MS, r + TICK_AFTER_MS) for r in requests]
    windows = []
    start = requests[0] + 1500
    while len(windows) < BLOCKS:
        end = start + IDLE_WINDOW_MS
        if end > rows[-1][0]:
            raise SystemExit("the offline watch ended before the last minute")
        inside = [r for r in rows if start <= r[0] <= end]
        raw = inside[-1][1] - inside[0][1]
        n_ticks = sum(1 for r in requests if inside[0][0] <= r < inside[-1][0])
        between = 0
        clear_ms = 0
        for (t0, c0, _, _), (t1, c1, _, _) in zip(inside, inside[1:]):
            if overlaps_tick(t0, t1, ticks):
                continue
            between += c1 - c0
            clear_ms += t1 - t0
        windows.append({
            "raw_ms": raw / 1e6,
            "ticks": n_ticks,
            "per_tick_ms": raw / 1e6 / n_ticks,
            "between_ms": between / 1e6,
            "clear_s": clear_ms / 1000,
            "span_s": (inside[-1][0] - inside[0][0]) / 1000,
        })
        start = end
    return windows


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0]
    q = statistics.quantiles(values, n=4, method="inclusive")
    return q[0], q[2]


def spread(values, fmt):
    q1, q3 = quartiles(values)
    return f"{fmt(min(values))}–{fmt(max(values))} (IQR {fmt(q1)}–{fmt(q3)})"


def ms(v):
    return f"{v:.1f}"


def ms3(v):
    return f"{v:.3f}"


def mib(v):
    return f"{v / MIB:.2f}"


def verdict(ok):
    return "met" if ok else "**missed**"


STEPS = [
    ("dll_advapi32", "advapi32.dll loaded"),
    ("icons", "icon, two sizes"),
    ("fonts", "four fonts made and measured"),
    ("winsock", "Windows sockets: loaded, started, socket bound"),
    ("settings", "settings: three reads"),
    ("logo_open", "logo: JPEG header read, decoder started"),
    ("logo_paint", "logo: decoded row by row, resampled and drawn on the window"),
    ("tooltips", "tooltip window, a tool per hint"),
]
# Steps the launcher takes at the mouse's first move over its window: in no start-up figure.
AFTER_PAINT = {"tooltips"}


def where_section(steps, start_gap_ms, visible_gap_ms, peak_gap):
    out = ["## Where the launcher's start-up goes", ""]
    out.append(f"The pieces of the launcher's start-up that the floor does without, each timed inside a fresh "
               f"process by `bench_steps` (tools/benchmark/steps.cpp) with the launcher's own code, logo and icon, "
               f"in the launcher's order; {len(steps)} runs, median and min–max. Working set added: growth of the "
               f"process's working set across the step.")
    out.append("")
    out.append("| step | ms | min–max | working set added (KiB) |")
    out.append("|---|---:|---|---:|")
    total_ms = 0.0
    total_ws = 0
    rows = []
    for key, label in STEPS:
        times = [float(s[f"{key}_ms"]) for s in steps]
        grown = [int(s[f"{key}_ws"]) for s in steps]
        note = ""
        if f"{key}_already" in steps[0]:
            already = sum(int(s[f"{key}_already"]) for s in steps)
            if already:
                note = f" (already loaded by the floor's own DLLs in {already} of {len(steps)} runs)"
        if key == "logo_open":
            note = f" (at {steps[0]['logo_decoded']})"
        if key == "logo_paint":
            note = f" ({steps[0]['logo_decoded']} to {steps[0]['logo_shown']}; in the first paint)"
        if key in AFTER_PAINT:
            note = " (at the mouse's first move over the window)"
        m = statistics.median(times)
        w = statistics.median(grown)
        if key not in AFTER_PAINT:
            total_ms += m
            total_ws += w
            rows.append((m, label))
        out.append(f"| {label}{note} | {m:.2f} | {min(times):.2f}–{max(times):.2f} | {w / 1024:.0f} |")
    out.append(f"| **sum of medians before the first paint** | **{total_ms:.2f}** | | **{total_ws / 1024:.0f}** |")
    out.append("")
    out.append(f"For comparison: the launcher's start to painted window is {start_gap_ms:.1f} ms longer than the "
               f"floor's (medians), {visible_gap_ms:.1f} ms of it before the window is visible and "
               f"{start_gap_ms - visible_gap_ms:.1f} ms between visible and painted; its start-up peak working set "
               f"is {peak_gap / MIB:.2f} MiB larger.")
    rest = start_gap_ms - total_ms
    if rest >= 0:
        out.append(f"The steps leave {rest:.1f} ms of the gap unexplained; not timed here: loading and starting "
                   f"a larger program, the launcher's other windows and controls, painting the picture.")
    else:
        out.append(f"The steps add up to {-rest:.1f} ms more than the gap: inside the launcher some of their "
                   f"cost is shared with work the floor does too.")
    rows.sort(reverse=True)
    biggest = "; ".join(f"{label} {m:.2f} ms ({100 * m / start_gap_ms:.0f} % of the gap)" for m, label in rows[:3])
    out.append(f"The largest pieces: {biggest}.")
    out.append("")
    return out


# Written by hand and kept from one run to the next: the figures before and
# after each change, which one run cannot measure.
KEPT_HEADING = "## Before and after"


def kept_section(page, heading):
    if not page.exists():
        return []
    kept = []
    for line in page.read_text().splitlines():
        if line.startswith("## "):
            if kept:
                break
            if line == heading:
                kept.append(line)
        elif kept:
            kept.append(line)
    while kept and not kept[-1].strip():
        kept.pop()
    return kept + [""] if kept else []


def size_section(map_path, size):
    out = ["## What the executable is made of", ""]
    out.append("`Lanceur_Tarvik.exe` of the release preset, from the linker's map (`Lanceur_Tarvik.map` beside it, "
               "read by tools/benchmark/exe_size.py): its sections, then the bytes each library put in each.")
    out.append("")
    out += exe_size.markdown(map_path, size)
    return out


def method_section(args, held_s, rtt_count):
    per_block = args.ticks // BLOCKS
    out = ["## Method", ""]
    if args.quick:
        out.append(f"**Quick mode** (`--quick`): {args.ticks} ticks online and offline, so each per-tick "
                   f"figure is one tick per block; the start-up, memory, 60 s and round-trip figures are "
                   f"measured as in a full run.")
        out.append("")
    out += [
        "- Command: `tools/benchmark/run-benchmark.sh` (options: `--ticks N`, default 100; `--quick` for 10; "
        "`--runs N`, default 10). It sets up the machine with `tools/setup.sh`, builds the `demo` preset and the "
        "benchmark's programs, and uses a virtual X display, a Wine prefix (`build/bench/wineprefix`, made by "
        "`cmake/wine-prefix.sh`) and a Wine server of its own, the last kept running for the whole run so that "
        "no measured start pays for starting it.",
        "- Launcher: `build/demo/Lanceur_Tarvik.exe` (MinSizeRel, stripped, status server 127.0.0.1), copied "
        "for the run; its settings file names a simulator folder, so that no first run asks, with the sound "
        "alert and the automatic connection off.",
        "- Floor: `floor_window.exe` (tools/benchmark/floor.cpp), built by the same toolchain with the same "
        "flags, static runtime and stripping, and the same manifest settings (common controls 6, per-monitor "
        "DPI): the same frame and client size (357×408), the same four standard controls where the launcher "
        "has them, on white, with one font (the system's message font); no picture, icon, timer or socket. "
        "For the online tick's floor it is started with the status server's port: then, once painted, it "
        "loads Windows sockets and every 3 s sends \"TPv2.0\" and waits up to 500 ms for the reply with the "
        "fewest calls an exchange needs (`sendto`, `select`, `recvfrom`), from a plain timer on its window, "
        "measured as the launcher's ticks are.",
        "- Start-up: `bench_probe` (tools/benchmark/probe.cpp) reads QueryPerformanceCounter just before "
        "CreateProcessW. *Visible*: the process has a visible captioned top-level window (looked for every "
        "millisecond). *Painted*: after that, the window's thread answers WM_NULL sent with SendMessageTimeout "
        "(it is back in its message loop), neither the window nor any of its controls has an update region "
        "left, and a capture of the client area from the screen shows the white margins, the button's frame, "
        "the check boxes' text and, for the launcher, its picture. Floor and launcher runs alternate; one start "
        "of each before them is not counted.",
        f"- Memory: GetProcessMemoryInfo from the probe, which holds the process handle. Under Wine this is "
        f"the Linux process's resident set, Wine's own libraries included, and the peak its high-water mark. "
        f"Start-up peak: read 1 s after painted, before the first poll tick; the launcher then stays "
        f"{held_s:.0f} s with the status server answering.",
        f"- CPU: Wine 8 gives zero from GetProcessTimes for another process, and GetThreadTimes only in "
        f"10 ms steps, so the probe reads the kernel's exact run time of each of the launcher's threads "
        f"(`/proc/<pid>/task/<tid>/schedstat`, through drive Z:) every 100 ms. The status server logs the "
        f"arrival of each request to the millisecond; the launcher's requests are told from any other "
        f"program's by its socket's port (its descriptors' inodes looked up in `/proc/net/udp`). Per tick: "
        f"{BLOCKS} blocks of {per_block} tick{'s' if per_block != 1 else ''}, each from half a period before "
        f"its first request to half a period after its last, the first tick of the run left out. Between "
        f"ticks: the 100 ms intervals that overlap no tick (from {TICK_BEFORE_MS} ms before a request to "
        f"{TICK_AFTER_MS} ms after). Offline: the status server bound but silent (`--offline`). The Wine "
        f"server (wineserver) does part of what a Windows kernel would do for the launcher; its run time is "
        f"read with the launcher's, and its share of a tick estimated as its CPU in the intervals that overlap "
        f"ticks less its rate in those clear of them (the probe's own reading, the prefix's other programs). "
        f"The X server's work is in no figure.",
        f"- Round trip: the launcher's exchange done by the probe itself under Wine, not by the launcher: "
        f"\"TPv2.0\" from a UDP socket to 127.0.0.1:56284 and its reply from the project's status server, "
        f"timed with QueryPerformanceCounter, {rtt_count} times after 10 not counted.",
        "- Executable size: bytes on disk of `build/release/Lanceur_Tarvik.exe`, built by the script with the "
        "release preset (the target is set on it), and of the demo preset's copy that is measured; "
        "600 KB = 614 400 bytes.",
    ]
    out.append("")
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("results", type=pathlib.Path)
    parser.add_argument("output", type=pathlib.Path)
    parser.add_argument("--ticks", type=int, required=True)
    parser.add_argument("--runs", type=int, required=True)
    parser.add_argument("--quick", action="store_true")
    args = parser.parse_args()
    res = args.results

    machine = key_values(res / "machine.txt")
    sizes = key_values(res / "sizes.txt")
    floor_runs = [key_values(res / f"start-floor-{i}.txt") for i in range(1, args.runs + 1)]
    launcher_runs = [key_values(res / f"start-launcher-{i}.txt") for i in range(1, args.runs + 1)]

    def column(runs, key, kind=float):
        return [kind(r[key]) for r in runs]

    f_visible, l_visible = column(floor_runs, "visible_ms"), column(launcher_runs, "visible_ms")
    f_paint, l_paint = column(floor_runs, "painted_ms"), column(launcher_runs, "painted_ms")
    f_peak, l_peak = column(floor_runs, "peak_ws", int), column(launcher_runs, "peak_ws", int)
    l_held = column(launcher_runs, "ws_held", int)
    l_peak_held = column(launcher_runs, "peak_ws_held", int)
    held_s = int(launcher_runs[0]["held_ms"]) / 1000

    online = key_values(res / "watch-online.txt")
    online_rows = samples(res / "watch-online.txt")
    online_requests, online_foreign = launcher_requests(res / "server-online.log", online)
    online_blocks = tick_blocks(online_rows, online_requests, args.ticks)
    online_ticks = [b["launcher"] for b in online_blocks]

    floor_watch = key_values(res / "watch-floor-online.txt")
    floor_requests, _ = launcher_requests(res / "server-floor-online.log", floor_watch)
    floor_blocks = tick_blocks(samples(res / "watch-floor-online.txt"), floor_requests, args.ticks)
    floor_ticks = [b["launcher"] for b in floor_blocks]

    offline = key_values(res / "watch-offline.txt")
    offline_rows = samples(res / "watch-offline.txt")
    offline_requests, offline_foreign = launcher_requests(res / "server-offline.log", offline)
    offline_blocks = tick_blocks(offline_rows, offline_requests, args.ticks)
    offline_ticks = [b["launcher"] for b in offline_blocks]
    minutes = idle_windows(offline_rows, offline_requests)

    rtt_text = (res / "rtt.txt").read_text().replace("\r", "")
    rtts = [float(line.split()[1]) for line in rtt_text.splitlines() if line.startswith("rtt_us ")]
    rtt_lost = int(key_values(res / "rtt.txt")["rtt_lost"])

    med = statistics.median
    start_ratio = med(l_paint) / med(f_paint)
    peak_ratio = med(l_peak) / med(f_peak)
    size_l, size_f, size_r = int(sizes["launcher"]), int(sizes["floor"]), int(sizes["release"])
    online_tick = med(online_ticks)
    between = [w["between_ms"] * 60 / w["span_s"] for w in minutes]
    idle_ok = med(between) < IDLE_LIMIT_MS_PER_MIN

    per_block = args.ticks // BLOCKS
    lines = []
    add = lines.append
    add("# Performance")
    add("")
    add("Measured by `tools/benchmark/run-benchmark.sh` (see [Method](#method)); "
        "this page is written by that script, figures included.")
    add("")
    add("| | |")
    add("|---|---|")
    add(f"| date | {machine['date']} |")
    add(f"| commit | `{machine['commit']}` |")
    changed = machine["changed"].split()
    add(f"| the launcher's sources changed since that commit | "
        f"{', '.join(f'`{c}`' for c in changed) if changed else 'none'} |")
    add(f"| processors (`nproc`) | {machine['nproc']} |")
    add(f"| CPU | {machine['cpu']} |")
    add(f"| memory | {machine['memory']} |")
    add(f"| kernel | {machine['kernel']} |")
    add(f"| Wine | {machine['wine']} |")
    add(f"| load average (1, 5, 15 min) | {machine['load_before']} when the measurements began, {machine['load_after']} when they ended |")
    mode = "quick mode (`--quick`)" if args.quick else "full mode"
    add(f"| run | {mode}: {args.runs} start-up runs of each program, {args.ticks} poll ticks online and "
        f"{args.ticks} offline, {len(minutes)} minutes offline; {machine['duration']} in all |")
    add("")
    add("## Results")
    add("")
    add("Median, then spread as min–max and interquartile range (IQR). "
        "Ratio: launcher median / floor median.")
    add("")
    add("| figure | launcher | launcher spread | floor | floor spread | ratio | target | |")
    add("|---|---:|---|---:|---|---:|---|---|")
    visible_ratio = med(l_visible) / med(f_visible)
    add(f"| start → main window visible (ms) | {ms(med(l_visible))} | {spread(l_visible, ms)} | "
        f"{ms(med(f_visible))} | {spread(f_visible, ms)} | {visible_ratio:.2f} | ≤ {START_RATIO_LIMIT} × floor | "
        f"{verdict(visible_ratio <= START_RATIO_LIMIT)} |")
    add(f"| start → visible and painted (ms) | {ms(med(l_paint))} | {spread(l_paint, ms)} | "
        f"{ms(med(f_paint))} | {spread(f_paint, ms)} | {start_ratio:.2f} | ≤ {START_RATIO_LIMIT} × floor | "
        f"{verdict(start_ratio <= START_RATIO_LIMIT)} |")
    add(f"| peak working set, start-up (MiB) | {mib(med(l_peak))} | {spread(l_peak, mib)} | "
        f"{mib(med(f_peak))} | {spread(f_peak, mib)} | {peak_ratio:.2f} | ≤ {PEAK_RATIO_LIMIT} × floor | "
        f"{verdict(peak_ratio <= PEAK_RATIO_LIMIT)} |")
    add(f"| working set after {held_s:.0f} s polling online (MiB) | {mib(med(l_held))} | {spread(l_held, mib)} | "
        f"– | – | – | | |")
    add(f"| peak working set after {held_s:.0f} s polling online (MiB) | {mib(med(l_peak_held))} | "
        f"{spread(l_peak_held, mib)} | – | – | – | | |")
    add(f"| executable, release preset (bytes) | {size_r} | – | {size_f} | – | {size_r / size_f:.1f} | "
        f"≤ 600 KB ({SIZE_LIMIT}) | {verdict(size_r <= SIZE_LIMIT)} |")
    add(f"| executable measured, demo preset (bytes) | {size_l} | – | {size_f} | – | {size_l / size_f:.1f} | | |")
    add(f"| CPU per online tick (ms) | {ms3(online_tick)} | {spread(online_ticks, ms3)} | {ms3(med(floor_ticks))} | "
        f"{spread(floor_ticks, ms3)} | {online_tick / med(floor_ticks):.2f} | "
        f"≤ {ONLINE_TICK_LIMIT_MS} ms | {verdict(online_tick <= ONLINE_TICK_LIMIT_MS)} |")
    add(f"| CPU per offline tick (ms) | {ms3(med(offline_ticks))} | {spread(offline_ticks, ms3)} | – | – | – | | |")
    waits = [b["wait"] for b in offline_blocks]
    wait_seen = med([b["wait_seen_ms"] for b in offline_blocks])
    add(f"| CPU within the 500 ms reply wait, offline, per tick (ms; {wait_seen:.0f} ms of each wait observed) | "
        f"{ms3(med(waits))} | {spread(waits, ms3)} | – | – | – | | |")
    for name, blocks in (("online", online_blocks), ("offline", offline_blocks)):
        shares = [b["server"] for b in blocks]
        add(f"| Wine server's CPU per {name} tick, estimated (ms) | {ms3(med(shares))} | {spread(shares, ms3)} | "
            f"– | – | – | | |")
    add(f"| CPU in 60 s offline, ticks included (ms) | {ms3(med([w['raw_ms'] for w in minutes]))} | "
        f"{spread([w['raw_ms'] for w in minutes], ms3)} | – | – | – | | |")
    add(f"| same, per tick (ms) | {ms3(med([w['per_tick_ms'] for w in minutes]))} | "
        f"{spread([w['per_tick_ms'] for w in minutes], ms3)} | – | – | – | | |")
    add(f"| CPU between ticks (ms per 60 s) | {ms3(med(between))} | {spread(between, ms3)} | – | – | – | "
        f"none (< {IDLE_LIMIT_MS_PER_MIN} ms per 60 s) | {verdict(idle_ok)} |")
    add(f"| loopback round trip under Wine (µs) | {ms(med(rtts))} | {spread(rtts, ms)} | – | – | – | | |")
    verify = key_values(res / "verify.txt")
    for kind in ("prehashed", "legacy"):
        add(f"| check of a signed 10 MiB updater, {kind} signature (ms; fastest {verify[kind + '_min_ms']}) | "
            f"{verify[kind + '_ms']} | – | – | – | – | | |")
    add("")
    with_server = med([b["launcher"] + b["server"] for b in online_blocks])
    add(f"With the Wine server's estimated share, an online tick costs {with_server:.3f} ms of CPU (median of "
        f"the blocks), {'within' if with_server <= ONLINE_TICK_LIMIT_MS else 'over'} the "
        f"{ONLINE_TICK_LIMIT_MS} ms that the target allows the launcher's own.")
    add("")
    lq1, lq3 = quartiles(l_paint)
    fq1, fq3 = quartiles(f_paint)
    add(f"The start-up ratio within the runs' interquartile ranges: from {lq1 / fq3:.2f} (launcher's first "
        f"quartile over the floor's third) to {lq3 / fq1:.2f} (third over first).")
    add("")
    add("Samples per figure: start-up figures, one per run; tick figures, one per block of "
        f"{per_block} tick{'s' if per_block != 1 else ''} ({BLOCKS} blocks in one launcher run); "
        f"60 s figures, one per minute ({len(minutes)} minutes in one launcher run); round trip, "
        f"{len(rtts)} exchanges ({rtt_lost} without reply).")
    add("")
    lines.extend(kept_section(args.output, KEPT_HEADING))
    add("## Details")
    add("")
    add("Offline minutes, one by one:")
    add("")
    add("| minute | CPU (ms) | ticks | per tick (ms) | CPU between ticks (ms) | time clear of ticks (s) |")
    add("|---:|---:|---:|---:|---:|---:|")
    for i, w in enumerate(minutes, 1):
        add(f"| {i} | {ms3(w['raw_ms'])} | {w['ticks']} | {ms3(w['per_tick_ms'])} | {ms3(w['between_ms'])} | "
            f"{w['clear_s']:.1f} |")
    add("")
    for name, watch, rows in (("online", online, online_rows), ("offline", offline, offline_rows)):
        total_ns = rows[-1][1] - rows[0][1]
        threads = sorted({r[2] for r in rows})
        add(f"- {name} run: threads of the launcher's process seen: {', '.join(map(str, threads))}; "
            f"run time summed over them {total_ns / 1e9:.3f} s; the kernel's utime + stime over the same "
            f"run {int(watch['stat_ticks'])} scheduler ticks (10 ms each) as a cross-check.")
    if online_foreign or offline_foreign:
        add(f"- Requests from other programs seen by the benchmark's status server and left out: "
            f"{online_foreign} online, {offline_foreign} offline.")
    add(f"- Start-up screen checks: the probe captured the screen {sum(column(launcher_runs, 'screen_checks', int))} "
        f"times for {args.runs} launcher runs and {sum(column(floor_runs, 'screen_checks', int))} times for "
        f"{args.runs} floor runs before it saw the painted window.")
    add("")
    steps = [key_values(res / f"steps-{i}.txt") for i in range(1, args.runs + 1)]
    lines.extend(where_section(steps, med(l_paint) - med(f_paint), med(l_visible) - med(f_visible),
                               med(l_peak) - med(f_peak)))
    lines.extend(size_section(res / "Lanceur_Tarvik-release.map", size_r))
    lines.extend(method_section(args, held_s, len(rtts)))
    args.output.write_text("\n".join(lines))


if __name__ == "__main__":
    main()
