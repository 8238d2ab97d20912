#!/usr/bin/env python3
"""Reads the demo's journal and server log, checks that every step of the story had its
effect, and writes index.html beside the snapshots. Exits 0 only when every step passed."""
import argparse
import datetime
import html
import json
import os
import re
import sys


def load_journal(path):
    events = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if line:
                events.append(json.loads(line))
    return events


def load_commands(path, box_start):
    """Requests the server logged, as (ms since the box started, request text)."""
    out = []
    pattern = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) oxle_x86: (.*)$")
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = pattern.match(line.rstrip("\n"))
            if not m:
                continue
            when = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
            text = m.group(2)
            req = re.match(r'\S+ "([^"]*)" ->', text)
            if req:
                out.append((int((when - box_start) * 1000), req.group(1)))
    return out


class Step:
    def __init__(self, snap, did, checks):
        self.snap, self.did, self.checks = snap, did, checks


def ev(events, name, **fields):
    return [e for e in events if e.get("ev") == name and all(e.get(k) == v for k, v in fields.items())]


def has_list_with(*rows):
    return lambda s: any(all(r in e.get("rows", []) for r in rows) for e in ev(s.events, "list")), \
        "a listing with " + ", ".join(rows)


def has_msgbox(fragment):
    return lambda s: any(fragment in e.get("text", "") for e in ev(s.events, "msgbox")), \
        'a message "%s…"' % fragment


def has_window(cls, op="show"):
    return lambda s: bool(ev(s.events, "window", **{"class": cls, "op": op})), "the %s window shown" % cls


def has_title(text):
    return lambda s: bool(ev(s.events, "title", text=text)), 'the title "%s"' % text


def has_command(prefix):
    return lambda s: any(c.startswith(prefix) for _, c in s.commands), 'the command "%s"' % prefix


def has_decoder(op):
    return lambda s: bool(ev(s.events, "decoder", op=op)), "the decoder " + op


def has_set_with_pids(video=True):
    def check(s):
        for e in ev(s.events, "decoder", op="set"):
            if e.get("apid", -1) > 0 and (not video or e.get("vpid", -1) > 0):
                return True
        return False
    return check, "the decoder programmed with %s PIDs" % ("video and audio" if video else "audio")


def has_frames():
    def check(s):
        pvr = ev(s.all_events_so_far, "pvr")
        return bool(pvr) and pvr[-1].get("video_frames", 0) > 0 and pvr[-1].get("cc_errors", 1) == 0
    return check, "decoded pictures, no continuity errors"


def has_lcd(text):
    return lambda s: bool(ev(s.events, "lcd", text=text)), 'the front panel showing "%s"' % text


def has_event(name):
    return lambda s: bool(ev(s.events, name)), "a %s event" % name


STORY = [
    Step("01-browser", "The plugin starts and lists the PC's start folder.",
         [has_list_with("Clips", "Films", "Music"), has_command("VLC|STA|NO"), has_command("RQS|STD|NO")]),
    Step("02-films", "Down, down, OK: into the Films folder.",
         [has_list_with("Holidays", "Arrival at the harbour.mp4", "Evening news.ts"), has_command("VLC|GFL|")]),
    Step("03-back", "OK on the parent row: back up.", [has_list_with("Clips", "Films", "Music")]),
    Step("04-playing", "OK on “Arrival at the harbour.mp4”: the server transcodes it, the box plays it.",
         [has_command("VLC|PLY|"), has_command("RQS|SPO|NO"), has_set_with_pids(), has_frames(),
          has_lcd("Arrival at the harbour.mp4")]),
    Step("05-infobar", "OK during playback: the infobar.",
         [has_window("eOXLEInfo"), has_command("VLC|GTI|NO")]),
    Step("06-paused", "Yellow: pause.", [has_msgbox("Stream paused"), has_command("VLC|PAU|NO"), has_decoder("pause")]),
    Step("07-volume", "Yellow releases the pause; volume up twice: the volume bar.",
         [has_decoder("resume"), has_event("volume")]),
    Step("08-help", "Help.", [has_title("Help")]),
    Step("09-stream", "Up: the stream window.", [has_title("StreamInfo")]),
    Step("10-timelabel", "A minute into the clip: the time label.",
         [has_window("eLabel"), has_command("VLC|GTI|NO")]),
    Step("11-seek", "Blue: seek one minute forward.",
         [has_msgbox("Seeking 1 min. forward"), has_command("VLC|FFW|1")]),
    Step("12-next", "The clip ends: continuous play starts the next one, “Evening news.ts” (remuxed).",
         [has_lcd("Evening news.ts"), has_set_with_pids(), has_command("VLC|PLY|")]),
    Step("13-end", "The last clip of the folder ends: back to the browser, background picture.",
         [has_event("showiframe"), has_lcd("OXLE-MAIN")]),
    Step("14-fileinfo", "Blue (second button page), Green: file information.",
         [has_title("File Info"), has_command("RQS|NFO|")]),
    Step("15-settings", "Red on the second page: the settings.", [has_title("OXLE Settings")]),
    Step("16-audio", "Into Music, OK on “First tune.mp3”: audio only.",
         [has_set_with_pids(video=False), has_lcd("First tune.mp3")]),
    Step("17-stopped", "Exit: the stream stops, the browser comes back.", [has_command("VLC|STP|NO")]),
]


class StepView:
    pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--box-exit", type=int, required=True)
    ap.add_argument("--box-start", type=float, required=True)
    args = ap.parse_args()

    events = load_journal(os.path.join(args.out, "journal.jsonl"))
    commands = load_commands(os.path.join(args.out, "server.log"), args.box_start)
    snaps = {os.path.splitext(os.path.basename(e["file"]))[0]: e["t"] for e in ev(events, "snap")}

    rows, failures, previous_t = [], 0, -10**9
    for step in STORY:
        view = StepView()
        t = snaps.get(step.snap)
        end = t if t is not None else previous_t
        view.events = [e for e in events if previous_t < e["t"] <= end]
        view.all_events_so_far = [e for e in events if e["t"] <= end]
        view.commands = [(w, c) for w, c in commands if previous_t < w <= end + 300]
        results = [(desc, t is not None and check(view)) for check, desc in step.checks]
        ok = t is not None and all(r for _, r in results)
        failures += 0 if ok else 1
        rows.append((step, ok, results, view, t))
        if t is not None:
            previous_t = t

    quit_code = [e.get("code") for e in ev(events, "quit")]
    final_pvr = [e for e in ev(events, "pvr") if e.get("final")]
    starts = [e["t"] for e in ev(events, "key", key="ok")]
    first_pictures = []
    for s in ev(events, "decoder", op="set"):
        later = [p for p in ev(events, "pvr") if p["t"] >= s["t"] and p.get("video_frames", 0) > 0]
        if later:
            first_pictures.append(later[0]["t"] - s["t"])

    page = ["<!doctype html><meta charset='utf-8'><title>oxle demo</title>",
            "<style>body{font-family:sans-serif;background:#111;color:#ddd;max-width:1100px;margin:auto}"
            "img{width:540px;border:1px solid #444}.ok{color:#6c6}.bad{color:#e55}"
            "td{vertical-align:top;padding:8px}code{color:#fc6}</style>",
            "<h1>oxle demo</h1>",
            "<p>oxle-box exit code %d; quit events %s; %d of %d steps had their expected effect.</p>"
            % (args.box_exit, quit_code, len(STORY) - failures, len(STORY))]
    if final_pvr:
        p = final_pvr[-1]
        page.append("<p>Streamed to the decoder: %d bytes, packets per PID %s, %d pictures, %d audio frames, "
                    "%d continuity errors, %d decode errors.</p>"
                    % (p.get("bytes", 0), html.escape(json.dumps(p.get("packets", {}))), p.get("video_frames", 0),
                       p.get("audio_frames", 0), p.get("cc_errors", 0), p.get("decode_errors", 0)))
    page.append("<table>")
    for step, ok, results, view, t in rows:
        sets = ["video %s / audio %s" % (e.get("vpid"), e.get("apid")) for e in ev(view.events, "decoder", op="set")]
        cmds = sorted({c for _, c in view.commands})
        img = "snaps/%s.png" % step.snap
        page.append("<tr><td>%s</td><td><b class='%s'>%s</b> %s<br>%s%s%s</td></tr>" % (
            "<img src='%s'>" % img if t is not None else "(no snapshot)",
            "ok" if ok else "bad", "✔" if ok else "✘", html.escape(step.did),
            "".join("<div class='%s'>%s %s</div>" % ("ok" if r else "bad", "✔" if r else "✘", html.escape(d))
                    for d, r in results),
            "<div>Commands: %s</div>" % ", ".join("<code>%s</code>" % html.escape(c) for c in cmds) if cmds else "",
            "<div>Decoder PIDs: %s</div>" % html.escape("; ".join(sets)) if sets else ""))
    page.append("</table>")
    if first_pictures:
        page.append("<p>From programming the decoder to the first decoded picture: %s ms.</p>"
                    % ", ".join(str(x) for x in first_pictures))
    with open(os.path.join(args.out, "index.html"), "w", encoding="utf-8") as f:
        f.write("\n".join(page))

    for step, ok, results, view, t in rows:
        mark = "ok  " if ok else "FAIL"
        missing = [d for d, r in results if not r]
        print("%s %-12s %s%s" % (mark, step.snap, step.did, ("  (missing: %s)" % "; ".join(missing)) if missing else ""))
    print("page: %s" % os.path.join(args.out, "index.html"))
    good = failures == 0 and args.box_exit == 0
    if not good:
        print("the demo did not go as it should: %d step(s) failed, oxle-box exit code %d" % (failures, args.box_exit))
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
