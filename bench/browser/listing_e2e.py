#!/usr/bin/env python3
"""OK on a folder → its rows in the list: the real oxle-box against the real oxle_x86 on
127.0.0.1, for folders of 1,000, 10,000 and 100,000 entries made in a temporary folder.

    bench/browser/listing_e2e.py --build-dir DIR [--runs N] [--sizes 1000,10000] [--json FILE]
                                 [--reference-build-dir DIR --reference-library-dir DIR]

Each run starts a fresh server (its listing cache empty) and a fresh box, which opens the
folder three times: the first visit is the server's cold one, the others are repeated
visits of an unchanged folder. The time of a visit runs from the journal's "key" line of
the OK to its "list" line with the folder's rows (both stamped by the box, in ms).

Beside it, from the same run: the server's reply alone (a plain socket asking for the same
listing, cold on another fresh server and then repeated), and the box's in-process work
on the very reply that was sent (oxle-listing-bench --document: expat alone, the host's
parser, the list-document reader). With --reference-build-dir, a second tree (an older
build, say) takes turns with the first, run by run, so that both meet the same load.
"""

import argparse
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

DEFAULT_SIZES = [1000, 10000, 100000]
DEFAULT_RUNS = 3
VISITS = 3
# Like a recordings folder: one sub-folder in twenty, the rest media files of a few kinds.
DIRECTORY_EVERY = 20
EXTENSIONS = [".mkv", ".mp4", ".ts", ".mp3", ".avi"]
FOLDER = "big"
PORT_KEY = "/enigma/plugins/oxle/serverport"
SERVER_START_S = 10
VISIT_TIMEOUT_S = 60
BOX_TIMEOUT_S = 300
REPLY_TIMEOUT_S = 120
STEP_REPETITIONS = 3
STEPS = ["ExpatAlone", "ParseXml", "ReadListDocument"]


def say(text):
    print("== " + text, file=sys.stderr, flush=True)


def make_folder(top, size):
    """top/big with `size` entries; returns the served root."""
    root = os.path.join(top, f"media-{size}")
    folder = os.path.join(root, FOLDER)
    os.makedirs(folder)
    for i in range(size):
        if i % DIRECTORY_EVERY == 0:
            os.mkdir(os.path.join(folder, f"folder {i:06d}"))
        else:
            name = f"episode {i:06d}{EXTENSIONS[i % len(EXTENSIONS)]}"
            os.close(os.open(os.path.join(folder, name), os.O_CREAT | os.O_WRONLY, 0o644))
    return root


class Server:
    """oxle_x86 on 127.0.0.1 with ports the kernel picks."""

    def __init__(self, binary, root, work, env):
        self.ready = os.path.join(work, "ready")
        if os.path.exists(self.ready):
            os.unlink(self.ready)
        self.log = open(os.path.join(work, "server.log"), "a")
        self.process = subprocess.Popen([binary, "--bind", "127.0.0.1", "--port", "0", "--stream-port", "0",
                                         "--ready-file", self.ready, "--root", root],
                                        stdout=self.log, stderr=subprocess.STDOUT, env=env)
        self.port = 0
        deadline = time.monotonic() + SERVER_START_S
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with open(self.ready) as f:
                    ports = f.read().split()
                if len(ports) == 2:
                    self.port = int(ports[0])
                    break
            except (OSError, ValueError):
                pass
            time.sleep(0.02)
        if not self.port:
            self.stop()
            raise RuntimeError("the server did not come up")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def fetch(port, path):
    """The server's reply to a listing request, and how long it took (ms)."""
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=REPLY_TIMEOUT_S) as s:
        s.sendall(f"VLC|GFL|{path}".encode())
        chunks = []
        while True:
            chunk = s.recv(1 << 20)
            if not chunk:
                break
            chunks.append(chunk)
    return b"".join(chunks), (time.monotonic() - start) * 1000


def box_visits(build, server_port, work, size):
    """One box run that opens the folder VISITS times; returns the ms of each visit."""
    journal = os.path.join(work, "journal.jsonl")
    keys = os.path.join(work, "keys.txt")
    box_root = os.path.join(work, "box-root")
    shutil.rmtree(box_root, ignore_errors=True)
    for path in (journal,):
        if os.path.exists(path):
            os.unlink(path)
    # The start folder holds the one big folder: its row is the second, after the parent.
    # One "list" line per listing shown, also when the listing failed.
    script = ["wait 30000 list"]
    for visit in range(VISITS):
        script += ["down", "ok", f"wait {VISIT_TIMEOUT_S * 1000} list"]
        if visit + 1 < VISITS:
            script += ["ok", "wait 30000 list"]
    script += ["quit"]
    with open(keys, "w") as f:
        f.write("\n".join(script) + "\n")
    env = dict(build.env, OXLE_BOX_ROOT="", DISPLAY="", WAYLAND_DISPLAY="", SDL_VIDEODRIVER="")
    done = subprocess.run([build.box, "--plugin", build.plugin, "--root", box_root, "--journal", journal, "--keys", keys,
                           "--timeout", str(BOX_TIMEOUT_S), "--decoder", "fast",
                           "--set", f"{PORT_KEY}=s:{server_port}"],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    if done.returncode != 0:
        raise RuntimeError(f"oxle-box exited with {done.returncode}: {done.stdout[-2000:]!r}")
    # The folder's visits are the OKs on the second row; None for a visit that did not
    # show the whole folder (a reply cut by the box's command deadline, say).
    visits, pressed, row = [], None, 0
    with open(journal) as f:
        for line in f:
            event = json.loads(line)
            if event.get("ev") == "key" and event.get("key") == "ok":
                pressed = event["t"] if row == 1 else None
            elif event.get("ev") == "list":
                if pressed is not None and event.get("rows") is not None:
                    visits.append(event["t"] - pressed if len(event["rows"]) == size + 1 else None)
                    pressed = None
                row = event.get("current", row)
    return visits + [None] * (VISITS - len(visits))


def steps(build, document):
    """Median CPU ms of the in-process steps on the document."""
    out = document + ".json"
    subprocess.run([build.listing_bench, f"--document={document}", "--benchmark_filter=^(" + "|".join(STEPS) + ")$",
                    f"--benchmark_repetitions={STEP_REPETITIONS}", "--benchmark_report_aggregates_only=true",
                    f"--benchmark_out={out}", "--benchmark_out_format=json"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=build.env)
    with open(out) as f:
        report = json.load(f)
    medians = {}
    for b in report.get("benchmarks", []):
        if b.get("error_occurred"):
            raise RuntimeError(f"{b['name']}: {b.get('error_message')}")
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
            medians[b["run_name"]] = b["cpu_time"] * scale
    return medians


def summary(values):
    shown = [v for v in values if v is not None]
    return {"min": min(shown) if shown else None, "median": statistics.median(shown) if shown else None,
            "all": values, "failed": len(values) - len(shown)}


class Build:
    """The programs of one build tree; env carries a library path for a copied tree."""

    def __init__(self, directory, library_dir=None):
        directory = os.path.abspath(directory)
        self.server = os.path.join(directory, "server", "oxle_x86")
        self.box = os.path.join(directory, "box", "oxle-box")
        self.plugin = os.path.join(directory, "plugin", "liboxle.so")
        self.listing_bench = os.path.join(directory, "bench", "browser", "oxle-listing-bench")
        self.env = dict(os.environ)
        if library_dir:
            self.env["LD_LIBRARY_PATH"] = os.path.abspath(library_dir)

    def missing(self):
        return [p for p in (self.server, self.box, self.plugin, self.listing_bench) if not os.path.exists(p)]


def measure(runs, builds, size, top):
    """The figures of each build for one folder size; the builds take turns run by run."""
    say(f"making a folder of {size:,} entries")
    root = make_folder(top, size)
    folder = os.path.join(root, FOLDER)
    figures = [{"cold": [], "warm": [], "reply_cold": [], "reply_warm": [], "document": None} for _ in builds]
    for run in range(runs):
        for index, (build, f) in enumerate(zip(builds, figures)):
            say(f"{size:,} entries, run {run + 1} of {runs}" + (f", build {index + 1}" if len(builds) > 1 else ""))
            work = os.path.join(top, f"work-{size}-{index}")
            os.makedirs(work, exist_ok=True)
            server = Server(build.server, root, work, build.env)
            try:
                body, ms = fetch(server.port, folder)
                f["reply_cold"].append(ms)
                for _ in range(VISITS - 1):
                    body, ms = fetch(server.port, folder)
                    f["reply_warm"].append(ms)
                f["document"] = body
            finally:
                server.stop()
            server = Server(build.server, root, work, build.env)
            try:
                visits = box_visits(build, server.port, work, size)
            finally:
                server.stop()
            f["cold"].append(visits[0])
            f["warm"] += visits[1:]
            say(f"visits {visits}")
    results = []
    for index, (build, f) in enumerate(zip(builds, figures)):
        path = os.path.join(top, f"work-{size}-{index}", "reply.xml")
        with open(path, "wb") as out:
            out.write(f["document"])
        results.append({"entries": size, "reply_bytes": len(f["document"]), "box_cold": summary(f["cold"]),
                        "box_repeated": summary(f["warm"]), "reply_cold": summary(f["reply_cold"]),
                        "reply_repeated": summary(f["reply_warm"]), "steps_cpu_ms": steps(build, path)})
    return results


def ms(value):
    return "-" if value is None else f"{value:.0f}"


def line(r):
    """One result as the line bench/run reads."""
    s = r["steps_cpu_ms"]
    box_cold, box_warm = r["box_cold"], r["box_repeated"]
    return (f"OK -> rows, {r['entries']} entries: cold min {ms(box_cold['min'])} median {ms(box_cold['median'])} ms "
            f"({box_cold['failed']} failed); repeated min {ms(box_warm['min'])} median {ms(box_warm['median'])} ms "
            f"({box_warm['failed']} failed) | server reply alone: cold median {r['reply_cold']['median']:.0f} ms, "
            f"repeated median {r['reply_repeated']['median']:.0f} ms, {r['reply_bytes']} bytes | in-process CPU: "
            f"expat alone {s.get('ExpatAlone', 0):.2f} ms, parseXml {s.get('ParseXml', 0):.2f} ms, "
            f"readListDocument {s.get('ReadListDocument', 0):.2f} ms | visits cold {box_cold['all']}, "
            f"repeated {box_warm['all']}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--runs", type=int, default=DEFAULT_RUNS)
    parser.add_argument("--sizes", default=",".join(str(s) for s in DEFAULT_SIZES))
    parser.add_argument("--json", help="write the figures here as well")
    parser.add_argument("--reference-build-dir",
                        help="a second tree (an older build, say), measured in turns with the first")
    parser.add_argument("--reference-library-dir", help="where the reference tree's liboxle-host.so lies")
    args = parser.parse_args()
    builds = [Build(args.build_dir)]
    if args.reference_build_dir:
        builds.append(Build(args.reference_build_dir, args.reference_library_dir))
    for build in builds:
        if build.missing():
            sys.exit(f"missing {' '.join(build.missing())}")
    results, reference = [], []
    top = tempfile.mkdtemp(prefix="oxle-listing-e2e-")
    try:
        with open("/proc/loadavg") as f:
            load_start = " ".join(f.read().split()[:3])
        for size in (int(s) for s in args.sizes.split(",")):
            figures = measure(args.runs, builds, size, top)
            results.append(figures[0])
            print(line(figures[0]), flush=True)
            if len(figures) > 1:
                reference.append(figures[1])
                print("reference: " + line(figures[1]), flush=True)
            shutil.rmtree(os.path.join(top, f"media-{size}"), ignore_errors=True)
        with open("/proc/loadavg") as f:
            load_end = " ".join(f.read().split()[:3])
        print(f"load average {load_start} (at the end: {load_end})")
    finally:
        shutil.rmtree(top, ignore_errors=True)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"load_start": load_start, "load_end": load_end, "results": results, "reference": reference},
                      f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
