#!/usr/bin/env python3
"""Reads the demo's journal and server log, checks that every step of the story had its
effect and that the page says what the journal says, and writes index.html beside the
snapshots. Exits 0 only when every step passed and the page agrees with the journal."""
import argparse
import datetime
import html
import json
import os
import re
import struct
import sys
import zlib

INTRO = ("oxle lets a satellite set-top box play the films and music of a PC on the home network: the "
         "viewer browses the PC's folders with the remote control, and a small server on the PC, oxle_x86, "
         "turns the chosen file into a stream the box's decoder plays. This page follows one viewer through "
         "the plugin on the desktop box, a stand-in for the real box on this computer, from the first folder "
         "to a film with its overlays, the settings, a piece of music, a chapter of a DVD and the way back.")

# Transport-stream tables, not picture or sound: the packets a clip's figures leave out.
TABLE_PIDS = {"0", "17", "4096"}
# A disc's rows are named so, not after a file.
CHAPTER_ROW = "Play Chapter (if it exists) "
# The colours demo/make_disc.sh paints its chapters in, and a spot of the picture that
# neither the chapter's number nor the volume bar covers.
CHAPTER_COLOURS = {1: (0xa0, 0x28, 0x28), 2: (0x28, 0x8c, 0x3c), 3: (0x28, 0x46, 0xa0)}
PICTURE_SPOT = (100, 150)
SPOT_SIZE = 16
COLOUR_TOLERANCE = 40


def load_journal(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return [json.loads(line) for line in f if line.strip()]


def ev(events, name, **fields):
    return [e for e in events if e.get("ev") == name and all(e.get(k) == v for k, v in fields.items())]


def load_server_log(path, events):
    """The requests the server logged, as (journal ms, request text), and the starts of its
    transcoder, as (journal ms, seconds into the file). The two clocks are matched on the
    first listing: its request in the server log, the list it produced in the journal."""
    stamp = r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) oxle_x86: "
    request = re.compile(stamp + r'\S+ "([^"]*)" ->')
    transcoder = re.compile(stamp + r"transcoder \d+ for .* from (\d+) s,")
    requests, starts = [], []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            for pattern, out in ((request, requests), (transcoder, starts)):
                m = pattern.match(line)
                if m:
                    when = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
                    out.append((when, m.group(2)))
    first_listing = next((w for w, c in requests if c.startswith("VLC|GFL|")), None)
    first_list = next((e["t"] for e in ev(events, "list") if any(e.get("rows", []))), None)
    if first_listing is None or first_list is None:
        return [], []
    zero = first_listing - first_list / 1000.0
    return [(int((w - zero) * 1000), c) for w, c in requests], [(int((w - zero) * 1000), int(s)) for w, s in starts]


def pvr_delta(after, before):
    """What the decoder counted between two of its cumulative journal lines."""
    before = before or {}
    keys = ("bytes", "video_frames", "audio_frames", "cc_errors", "decode_errors")
    out = {k: after.get(k, 0) - before.get(k, 0) for k in keys}
    out["packets"] = {pid: n - before.get("packets", {}).get(pid, 0) for pid, n in after.get("packets", {}).items()}
    out["packets"] = {pid: n for pid, n in out["packets"].items() if n > 0}
    return out


class Clip:
    """One file the decoder was programmed for: it plays from its decoder set to the flush that
    ends it, and what the decoder counts until the next set (or the end) is the clip's."""

    def __init__(self, events, starts, set_event, end_t):
        self.set = set_event
        self.start, self.end = set_event["t"], end_t
        flushes = [e["t"] for e in ev(events, "decoder", op="flush") if self.start < e["t"] <= end_t]
        self.stop = flushes[0] if flushes else end_t
        names = [e["text"] for e in ev(events, "lcd") if e["t"] >= self.start
                 and ("." in e.get("text", "") or e.get("text", "").startswith(CHAPTER_ROW))]
        self.name = names[0] if names else "?"
        pvrs = ev(events, "pvr")
        self.base = ([p for p in pvrs if p["t"] <= self.start] or [None])[-1]
        self.pvrs = [p for p in pvrs if self.start < p["t"] <= end_t]
        self.total = pvr_delta(self.pvrs[-1], self.base) if self.pvrs else pvr_delta({}, None)
        first_error = next((p for p in self.pvrs if pvr_delta(p, self.base)["cc_errors"] > 0), None)
        self.first_error_t = first_error["t"] if first_error else None
        seeks = [m["t"] for m in ev(events, "msgbox") if self.start < m["t"] and m.get("text", "").startswith("Seeking")]
        self.seek_t = seeks[0] if seeks and seeks[0] < end_t else None
        # The server's new stream for the jump: (when, seconds into the file).
        self.restart = next(((w, at) for w, at in starts if self.seek_t is not None and w >= self.seek_t - 1000
                             and (self.first_error_t is None or w <= self.first_error_t)), None)

    def at(self, t):
        """The clip's figures as the decoder had counted them by time t."""
        seen = [p for p in self.pvrs if p["t"] <= t]
        return pvr_delta(seen[-1], self.base) if seen else pvr_delta({}, None)

    def audio_pid(self):
        return self.set.get("apid")

    def has_video(self):
        return self.total["video_frames"] > 0

    def pids_text(self):
        parts = ["video PID %s" % self.set.get("vpid")] if self.has_video() else []
        parts.append("audio PID %s" % self.audio_pid())
        if not self.has_video():
            parts.append("no video")
        return ", ".join(parts)

    def errors_text(self):
        n = self.total["cc_errors"]
        if n == 0:
            return "none"
        when = "%.0f s after it started" % ((self.first_error_t - self.start) / 1000.0)
        if self.seek_t is not None and self.seek_t <= self.first_error_t:
            when += ", after the jump ahead"
            if self.restart:
                when += ", where the PC starts a new stream %d s into the file" % self.restart[1]
        return "%d (first counted %s)" % (n, when)


def find_clips(events, starts):
    sets = ev(events, "decoder", op="set")
    end = events[-1]["t"] if events else 0
    return [Clip(events, starts, s, sets[i + 1]["t"] - 1 if i + 1 < len(sets) else end) for i, s in enumerate(sets)]


# Checks: each returns (function of the step's view, what it looked for).
def has_list_with(*rows):
    return lambda s: any(all(r in e.get("rows", []) for r in rows) for e in ev(s.events, "list")), \
        "a listing with " + ", ".join(rows)


def has_msgbox(fragment):
    return lambda s: any(fragment in e.get("text", "") for e in ev(s.events, "msgbox")), \
        'the message "%s…"' % fragment


def has_window(cls, op="show"):
    return lambda s: bool(ev(s.events, "window", **{"class": cls, "op": op})), "the %s window shown" % cls


def has_title(text):
    return lambda s: bool(ev(s.events, "title", text=text)), 'the title "%s"' % text


def has_title_starting(text):
    return lambda s: any(e.get("text", "").startswith(text) for e in ev(s.events, "title")), \
        'a title beginning "%s"' % text


def has_command(prefix):
    return lambda s: any(c.startswith(prefix) for _, c in s.commands), 'the PC asked "%s…"' % prefix


def has_key(key):
    return lambda s: bool(ev(s.events, "key", key=key)), "the %s key" % key


def has_decoder(op):
    return lambda s: bool(ev(s.events, "decoder", op=op)), "the decoder told to " + op


def has_lcd(text):
    return lambda s: bool(ev(s.events, "lcd", text=text)), 'the front panel showing "%s"' % text


def has_event(name):
    return lambda s: bool(ev(s.events, name)), "a %s event" % name


def plays(video):
    def check(s):
        c = s.clip
        if not c or c.start < s.start:
            return False
        got = c.at(s.t)
        pictures = got["video_frames"] > 0
        return got["audio_frames"] > 0 and pictures == video and got["cc_errors"] == 0
    return check, "pictures and sound decoded without errors" if video else "sound decoded, no pictures"


def shows_size_in_whole_mb(s):
    """The status line on screen at the snapshot (the last one set so far)."""
    shown = ev(s.so_far, "status")
    m = re.search(r"File: (.*)\nSize: (\d+) MB", shown[-1].get("text", "")) if shown else None
    path = os.path.join(s.media, "Music", m.group(1)) if m else ""
    return bool(m) and os.path.exists(path) and int(m.group(2)) == os.path.getsize(path) // (1024 * 1024) == 0


def png_rows(path, last_row):
    """Rows 0 to last_row of an 8-bit RGB or RGBA PNG (what oxle-box writes), and the bytes per
    pixel; None when the file is not one."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IHDR":
            header = struct.unpack(">IIBB", data[pos + 8:pos + 18])
        elif kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    if not header or header[2] != 8 or header[3] not in (2, 6):
        return None
    width, bpp = header[0], 3 if header[3] == 2 else 4
    raw, stride = zlib.decompress(idat), width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(min(last_row + 1, header[1])):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up_left = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + prev[i]) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + prev[i]) // 2) & 255
            elif kind == 4:
                guess = left + prev[i] - up_left
                near = min((abs(guess - left), 0, left), (abs(guess - prev[i]), 1, prev[i]),
                           (abs(guess - up_left), 2, up_left))[2]
                line[i] = (line[i] + near) & 255
        rows.append(line)
        prev = line
    return rows, bpp


def mean_colour(path, x, y):
    """The mean (R, G, B) of the SPOT_SIZE square at (x, y) of a snapshot, or None."""
    got = png_rows(path, y + SPOT_SIZE)
    if not got:
        return None
    rows, bpp = got
    pixels = [row[(x + i) * bpp:(x + i) * bpp + 3] for row in rows[y:y + SPOT_SIZE] for i in range(SPOT_SIZE)]
    return tuple(sum(p[c] for p in pixels) // len(pixels) for c in range(3)) if pixels else None


def shows_chapter(number):
    def check(s):
        colour = mean_colour(os.path.join(s.snaps, s.step.snap + ".png"), *PICTURE_SPOT)
        if colour is None:
            return False
        distance = {n: max(abs(a - b) for a, b in zip(colour, c)) for n, c in CHAPTER_COLOURS.items()}
        return min(distance, key=distance.get) == number and distance[number] <= COLOUR_TOLERANCE
    return check, "the picture of chapter %d on the screen" % number


class Step:
    def __init__(self, snap, caption, checks):
        self.snap, self.caption, self.checks = snap, caption, checks


STORY = [
    Step("01-browser", "The plugin opens on the PC's start folder, with its folders Clips, Films and Music.",
         [has_list_with("Clips", "Films", "Music"), has_command("VLC|STA|NO"), has_command("RQS|STD|NO"),
          has_event("showiframe")]),
    Step("02-films", "Down twice and OK open the Films folder.",
         [has_key("ok"), has_list_with("Holidays", "Arrival at the harbour.mp4", "Evening news.ts"),
          has_command("VLC|GFL|")]),
    Step("03-back", "OK on the top row goes back up to the start folder.",
         [has_key("ok"), has_list_with("Clips", "Films", "Music")]),
    Step("04-playing", "OK on “Arrival at the harbour.mp4” plays the film: the PC converts it and the box shows it.",
         [has_command("VLC|PLY|"), has_command("RQS|SPO|NO"), has_lcd("Arrival at the harbour.mp4"),
          plays(video=True)]),
    Step("05-infobar", "OK during the film shows the infobar: what plays now, what comes next, what the colour keys do.",
         [has_key("ok"), has_window("eOXLEInfo"), has_command("VLC|GTI|NO")]),
    Step("06-paused", "Yellow pauses the film; the box says how to go on.",
         [has_key("yellow"), has_msgbox("Stream paused"), has_command("VLC|PAU|NO"), has_decoder("pause")]),
    Step("07-volume", "Yellow again lets the film go on; the volume keys show the volume bar.",
         [has_key("yellow"), has_decoder("resume"), has_key("volup"), has_event("volume")]),
    Step("08-help", "The Help key lists what every key does.", [has_key("help"), has_title("Help")]),
    Step("09-stream", "Up shows what the box plays now and what comes next.", [has_key("up"), has_title("StreamInfo")]),
    Step("10-timelabel", "A minute into the film a label in the corner shows the time.",
         [has_window("eLabel"), has_command("VLC|GTI|NO")]),
    Step("11-seek", "Blue jumps a minute ahead in the film.",
         [has_key("blue"), has_msgbox("Seeking 1 min. forward"), has_command("VLC|FFW|1")]),
    Step("12-next", "When the film ends, the next one in the folder, “Evening news.ts”, starts by itself.",
         [has_lcd("Evening news.ts"), has_command("VLC|PLY|"), plays(video=True)]),
    Step("13-end", "After the last film of the folder the box goes back to the list and its background picture.",
         [has_event("showiframe"), has_lcd("OXLE-MAIN")]),
    Step("14-fileinfo", "On the second row of colour buttons, Green shows what the PC knows about the file.",
         [has_key("green"), has_title("File Info"), has_command("RQS|NFO|")]),
    Step("15-settings", "Red opens the settings.", [has_key("red"), has_title("OXLE Settings")]),
    Step("16-audio", "“First tune.mp3” in the Music folder plays as sound only, over the background picture.",
         [has_lcd("First tune.mp3"), has_command("VLC|PLY|"), plays(video=False)]),
    Step("17-stopped", "Exit stops the music and the list comes back. Its status line counts sizes in whole "
                       "megabytes, so a tune smaller than one megabyte reads 0 MB.",
         [has_key("exit"), has_command("VLC|STP|NO"), (shows_size_in_whole_mb, "a file under 1 MB shown as 0 MB")]),
    Step("18-dvd", "Green lists the chapters of the DVD in the PC's drive (for the demo, the image of a small DVD).",
         [has_key("green"), has_title_starting("OXLE: DVD Drive - "),
          has_list_with(CHAPTER_ROW + "01", CHAPTER_ROW + "02", CHAPTER_ROW + "03")]),
    Step("19-chapter", "OK on “%s02” plays the DVD from its second chapter: the PC reads the disc and "
                       "passes its pictures on unchanged." % CHAPTER_ROW,
         [has_command("VLC|PLY|dvdsimple://"), has_lcd(CHAPTER_ROW + "02"), plays(video=True), shows_chapter(2)]),
    Step("20-dvd-stopped", "Exit stops the DVD and the list of chapters comes back.",
         [has_key("exit"), has_command("VLC|STP|NO"), has_lcd("OXLE-MAIN"), has_event("showiframe")]),
]


class StepView:
    """What the journal and the server log hold from the previous snapshot to this one."""

    def __init__(self, step, events, commands, clips, out, start, t):
        self.step, self.start, self.t, self.clips = step, start, t, clips
        self.media, self.snaps = os.path.join(out, "media"), os.path.join(out, "snaps")
        end = t if t is not None else start
        self.events = [e for e in events if start < e["t"] <= end]
        self.so_far = [e for e in events if e["t"] <= end]
        self.commands = [(w, c) for w, c in commands if start < w <= end]
        playing = [c for c in clips if c.start <= end <= c.stop]
        self.clip = playing[-1] if playing else None
        self.results = [(desc, t is not None and bool(check(self))) for check, desc in step.checks]
        self.ok = t is not None and all(r for _, r in self.results)


def quoted(text):
    return re.findall(r"“([^”]*)”", text)


def journal_texts(events):
    out = []
    for e in events:
        out += [e.get("text", "")] + [r for r in e.get("rows", []) if isinstance(r, str)]
    return out


def consistency(views, clips, events):
    """Where the page would say something the journal does not: a name in a caption that the
    step never showed, a step's figures beyond its clip's, clip figures that do not add up to
    what the decoder counted, a sound-only clip with pictures."""
    problems = []
    for v in views:
        texts = journal_texts(v.events)
        for name in quoted(v.step.caption):
            if not any(name in t for t in texts):
                problems.append("%s: the caption names “%s”, which the step never showed" % (v.step.snap, name))
        if v.clip and v.t is not None:
            got = v.clip.at(v.t)
            for k in ("bytes", "video_frames", "audio_frames", "cc_errors"):
                if got[k] > v.clip.total[k]:
                    problems.append("%s: %s %d beyond the clip's %d" % (v.step.snap, k, got[k], v.clip.total[k]))
    pvrs = ev(events, "pvr")
    if clips and pvrs:
        whole = pvr_delta(pvrs[-1], clips[0].base)
        for k in ("bytes", "video_frames", "audio_frames", "cc_errors"):
            if sum(c.total[k] for c in clips) != whole[k]:
                problems.append("the clips' %s add up to %d, the decoder counted %d"
                                % (k, sum(c.total[k] for c in clips), whole[k]))
    for c in clips:
        if "sound only" in " ".join(v.step.caption for v in views if v.clip is c) and c.has_video():
            problems.append("“%s” is called sound only but decoded %d pictures" % (c.name, c.total["video_frames"]))
    return problems


def mb(n):
    return "%.1f MB" % (n / 1e6)


def details(v):
    items = []
    keys = [e["key"] for e in ev(v.events, "key")]
    if keys:
        items.append("Keys: " + ", ".join(keys))
    if v.commands:
        items.append("The PC was asked: " + ", ".join("<code>%s</code>" % html.escape(c) for _, c in v.commands))
    for e in ev(v.events, "title"):
        items.append("Window title: “%s”" % html.escape(e["text"]))
    for e in ev(v.events, "msgbox"):
        items.append("Message: “%s”" % html.escape(e["text"]))
    lists = [e for e in ev(v.events, "list") if any(e.get("rows", []))]
    if lists:
        rows = [r for r in lists[-1]["rows"] if r]
        items.append("List: " + html.escape(", ".join(rows[:6]) + (", …" if len(rows) > 6 else "")))
    for e in ev(v.events, "decoder"):
        clip = next((c for c in v.clips if c.set is e), None)
        if clip and not clip.has_video():
            items.append("Decoder: set for sound only, audio PID %s; no picture was decoded (the video field keeps "
                         "%s: the plugin leaves it as it was for a file without pictures)" % (e["apid"], e["vpid"]))
        elif e["op"] == "set":
            items.append("Decoder: set for video PID %s and audio PID %s" % (e["vpid"], e["apid"]))
        elif e["op"] in ("pause", "resume"):
            items.append("Decoder: " + e["op"])
    if v.clip and v.t is not None:
        got = v.clip.at(v.t)
        items.append("By this picture the decoder had %s of “%s”: %d pictures, %d sound frames, %d continuity "
                     "errors (the whole clip: see the summary)"
                     % (mb(got["bytes"]), html.escape(v.clip.name), got["video_frames"], got["audio_frames"],
                        got["cc_errors"]))
    for e in ev(v.events, "clip"):
        items.append("Text cut on screen (%s): “%s”" % (html.escape(e["class"]), html.escape(e["text"])))
    items += ["<span class='%s'>%s %s</span>" % ("ok" if r else "bad", "✔" if r else "✘", html.escape(d))
              for d, r in v.results]
    return "<ul>%s</ul>" % "".join("<li>%s</li>" % i for i in items)


def page(views, clips, events, box_exit, problems):
    passed = sum(1 for v in views if v.ok)
    cut = ev(events, "clip")
    out = ["<!doctype html><meta charset='utf-8'><title>oxle: the demo</title>",
           "<style>body{font-family:sans-serif;background:#fafafa;color:#222;max-width:800px;margin:auto;"
           "line-height:1.45;padding:0 1em}img{width:100%;max-width:720px;border:1px solid #999}"
           "figure{margin:2.5em 0 .5em}figcaption{font-size:1.15em;margin-top:.4em}"
           "details{color:#555;font-size:.9em}.ok{color:#1a7f37}.bad{color:#c62828}"
           "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:4px 8px;text-align:left}"
           "code{font-size:.95em}</style>",
           "<h1>oxle: a PC's films on a set-top box</h1>", "<p>%s</p>" % html.escape(INTRO)]
    for n, v in enumerate(views, 1):
        img = "<img src='snaps/%s.png' alt='%s'>" % (v.step.snap, html.escape(v.step.caption)) \
            if v.t is not None else "<p class='bad'>(no picture)</p>"
        out.append("<figure>%s<figcaption>%d. %s</figcaption></figure>" % (img, n, html.escape(v.step.caption)))
        out.append("<details><summary>What happened</summary>%s</details>" % details(v))
    out.append("<h2>Summary</h2>")
    out.append("<p>%d of %d steps showed what they should. The desktop box ended with exit code %d. "
               "Texts cut on screen: %s.</p>"
               % (passed, len(views), box_exit, len(cut) if cut else "none"))
    out.append("<table><tr><th>Clip</th><th>Decoder got</th><th>Data</th><th>Pictures</th><th>Sound frames</th>"
               "<th>Continuity errors</th></tr>")
    for c in clips:
        out.append("<tr><td>%s</td><td>%s</td><td>%s</td><td>%d</td><td>%d</td><td>%s</td></tr>"
                   % (html.escape(c.name), c.pids_text(), mb(c.total["bytes"]), c.total["video_frames"],
                      c.total["audio_frames"], html.escape(c.errors_text())))
    out.append("</table>")
    if problems:
        out.append("<p class='bad'>The page disagrees with the journal:</p><ul>%s</ul>"
                   % "".join("<li>%s</li>" % html.escape(p) for p in problems))
    return "\n".join(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--box-exit", type=int, required=True)
    args = ap.parse_args()

    events = load_journal(os.path.join(args.out, "journal.jsonl"))
    commands, starts = load_server_log(os.path.join(args.out, "server.log"), events)
    snaps = {os.path.splitext(os.path.basename(e["file"]))[0]: e["t"] for e in ev(events, "snap")}
    clips = find_clips(events, starts)

    views, start = [], -10**9
    for step in STORY:
        t = snaps.get(step.snap)
        views.append(StepView(step, events, commands, clips, args.out, start, t))
        start = t if t is not None else start
    problems = consistency(views, clips, events)

    with open(os.path.join(args.out, "index.html"), "w", encoding="utf-8") as f:
        f.write(page(views, clips, events, args.box_exit, problems))

    for v in views:
        missing = [d for d, r in v.results if not r]
        print("%s %-12s %s%s" % ("ok  " if v.ok else "FAIL", v.step.snap, v.step.caption,
                                 ("  (missing: %s)" % "; ".join(missing)) if missing else ""))
    for p in problems:
        print("page and journal disagree: " + p)
    for e in ev(events, "clip"):
        print("text cut on screen (%s): %s" % (e["class"], e["text"].replace("\n", " ")))
    print("page: %s" % os.path.join(args.out, "index.html"))
    failures = sum(1 for v in views if not v.ok)
    good = failures == 0 and args.box_exit == 0 and not problems
    if not good:
        print("the demo did not go as it should: %d step(s) failed, %d disagreement(s), oxle-box exit code %d"
              % (failures, len(problems), args.box_exit))
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
