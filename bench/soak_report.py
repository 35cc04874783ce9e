#!/usr/bin/env python3
"""The table at the end of bench/soak.sh: what the simulator did and counted (stats.json) beside
what the console logged (console.log, UTC times) and recorded (recording.csv). Exit status 1 on a
loss beyond one message per link end, a request off 0, a crash, a hang or a sanitizer report."""

import csv
import json
import os
import re
import statistics
import sys
from datetime import datetime, timezone

folder = os.environ["SOAK_DIR"]
LINE = re.compile(r"^(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}) (\S+): (.*)$")
SANITIZER = re.compile(r"AddressSanitizer|ThreadSanitizer|LeakSanitizer|runtime error:")

# What the console logged, as (time, what).
events = []
sanitizer_reports = 0
with open(os.path.join(folder, "console.log"), encoding="utf-8", errors="replace") as log:
    for line in log:
        if SANITIZER.search(line):
            sanitizer_reports += 1
        match = LINE.match(line.rstrip("\n"))
        if not match:
            continue
        when = datetime.strptime(match[1], "%Y-%m-%dT%H:%M:%S.%f").replace(tzinfo=timezone.utc).timestamp()
        category, message = match[2], match[3]
        if category == "orvane.link" and message.startswith("Lost the connection to"):
            events.append((when, "link end"))
        elif category == "orvane.link" and "has sent nothing for" in message:
            events.append((when, "not responding"))
        elif category == "orvane.link" and "is the device's bootloader" in message:
            events.append((when, "bootloader"))
        elif category == "orvane.console" and message == "Vehicle status: Vehicle connnected":
            events.append((when, "connected"))
with open(os.path.join(folder, "sim.err"), encoding="utf-8", errors="replace") as log:
    sanitizer_reports += sum(1 for line in log if SANITIZER.search(line))

with open(os.path.join(folder, "stats.json"), encoding="utf-8") as file:
    stats = json.load(file)
faults = stats["faults"]
connections = stats["connections"]


def first(kind, after, before):
    """The time of the first event of `kind` from `after` until `before`, or None."""
    for when, what in events:
        if what == kind and after <= when < before:
            return when
    return None


# What each fault should make the console tell: a link that ends (the port goes, noise that is
# not the protocol, a reset onto another port), or a device that stops answering for 2 s or more.
EXPECTED = {"unplug": ["link end"], "bootloader": ["link end", "bootloader"], "garbage": ["link end"],
            "freeze": ["not responding"], "slow": []}
closed = float(os.environ.get("SOAK_TIME2") or "inf")
rows = {}
for index, fault in enumerate(faults):
    kind, start, end = fault["kind"], fault["start"], fault["end"]
    if end is None or end >= closed:
        continue  # still under way as the console was closed
    following = faults[index + 1]["start"] if index + 1 < len(faults) else float("inf")
    row = rows.setdefault(kind, {"injected": 0, "told": {}, "reconnected": []})
    row["injected"] += 1
    expected = EXPECTED.get(kind, [])
    if kind == "freeze" and end - start < 2:
        expected = []  # shorter than the console's 2 s of silence: nothing to tell
    ended = None
    for what in expected:
        told = first(what, start - 0.5, following)
        row["told"].setdefault(what, [])
        if told is not None:
            row["told"][what].append(told - start)
            if what == "link end":
                ended = told
    if ended is not None:
        # Back once the device is: the end of the fault, or the link's end for line noise.
        back = end if kind in ("unplug", "bootloader") else ended
        connected = first("connected", back, following + 5)
        row["reconnected"].append(None if connected is None else connected - back)


def spread(values):
    if not values:
        return "-"
    return f"median {statistics.median(values):.2f} s, max {max(values):.2f} s"


print()
print(f"Soak of {os.environ['SOAK_MINUTES']} min: {len(faults)} faults, {len(connections)} connections")
print()
print(f"{'fault':<11}{'injected':>9}  {'told by the console (delay from the fault)':<86}reconnected")
for kind in ("unplug", "freeze", "garbage", "bootloader", "slow"):
    row = rows.get(kind, {"injected": 0, "told": {}, "reconnected": []})
    told = "; ".join(f"{what} {len(delays)}x, {spread(delays)}" for what, delays in row["told"].items()) or "-"
    back = [d for d in row["reconnected"] if d is not None]
    missing = sum(1 for d in row["reconnected"] if d is None)
    reconnected = f"{len(back)}x, {spread(back)}" + (f", {missing} never" if missing else "") if row["reconnected"] else "-"
    print(f"{kind:<11}{row['injected']:>9}  {told:<86}{reconnected}")

sent = sum(c["messagesSent"] for c in connections)
with open(os.path.join(folder, "recording.csv"), newline="", encoding="utf-8", errors="replace") as file:
    recorded = max(0, sum(1 for _ in csv.reader(file)) - 1)
lost = sent - recorded
allowance = len(connections)
off_zero = sum(c["nonZeroRequests"] for c in connections)
requests = sum(c["requestsReceived"] for c in connections)
print()
print(f"messages sent while connected {sent}, rows recorded {recorded}: {lost} lost "
      f"(allowed: one per link end, {allowance})")
print(f"requests received {requests}, off 0: {off_zero}")


def number(name):
    text = os.environ.get(name, "")
    return float(text) if text else None


rss1, rss2 = number("SOAK_RSS1"), number("SOAK_RSS2")
fds1, fds2 = number("SOAK_FDS1"), number("SOAK_FDS2")
time1, time2 = number("SOAK_TIME1"), number("SOAK_TIME2")
ticks1, ticks2 = number("SOAK_TICKS1"), number("SOAK_TICKS2")
if None not in (rss1, rss2, time1, time2) and time2 > time1:
    growth = (rss2 - rss1) / 1024 / (time2 - time1) * 3600
    print(f"resident memory at minute 1 {rss1 / 1024:.1f} MB, at the end {rss2 / 1024:.1f} MB: "
          f"{growth:+.2f} MB per hour")
    print(f"open descriptors at minute 1 {fds1:.0f}, at the end {fds2:.0f}")
    samples = os.path.join(folder, "samples")
    if os.path.exists(samples):
        with open(samples, encoding="utf-8") as file:
            trend = [line.split() for line in file if line.strip()]
        print("each minute, MB resident / descriptors: " +
              " ".join(f"{float(kb) / 1024:.1f}/{fds}" for _, kb, fds in trend))
    cpu = (ticks2 - ticks1) / float(os.environ["SOAK_HZ"]) / (time2 - time1) * 100
    print(f"average CPU from minute 1 to the end: {cpu:.2f}% of a core")
else:
    print("resident memory, descriptors and CPU: not measured (the run ended before minute 1 was over)")
crashed, hung = int(os.environ["SOAK_CRASHED"]), int(os.environ["SOAK_HUNG"])
print(f"crashes {crashed} (exit status {os.environ['SOAK_STATUS']}), hangs {hung}, "
      f"sanitizer reports {sanitizer_reports}")

failures = []
if lost > allowance:
    failures.append(f"{lost} messages lost, more than {allowance}")
if off_zero:
    failures.append(f"{off_zero} requests off 0")
if crashed or hung or sanitizer_reports:
    failures.append("a crash, a hang or a sanitizer report")
if failures:
    print("soak: FAILED: " + "; ".join(failures))
    sys.exit(1)
print("soak: passed")
