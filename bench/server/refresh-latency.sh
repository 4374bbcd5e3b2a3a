#!/usr/bin/env bash
# Latency of the viewer page while a refresh runs:
#   bench/server/refresh-latency.sh [BUILD_DIR]   (default: build)
# Starts the real program in a temporary HOME with 200 favourites on a loopback
# site and a refresh at start-up, then asks for /viewer.htm every 10 ms on a
# new connection until the refresh has written its pages, then as many times
# with nothing running, and prints the latency percentiles of each phase.
# Thumbnails come from the card unless LATENCY_BROWSER=1, which lets the
# program use the headless browser.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
program=$build/vistrel
favourites=${LATENCY_FAVOURITES:-200}
[ -x "$program" ] || cmake --build "$build" -j2 --target vistrel

. "$here/work-folder.sh"
bench_work_folder vistrel-latency

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
site_port=$(free_port)
mkdir -p "$work/program" "$work/home/Favorites" "$work/home/Documents" "$work/home/tmp"

# The favourites, on a site that mixes pages answered at once (half of them),
# two-hop redirections, missing pages and pages answered after 20 ms.
for i in $(seq 1 "$favourites"); do
    printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s/%s\r\n' "$site_port" "$i" > "$work/home/Favorites/Site $i.url"
done
python3 - "$site_port" > /dev/null 2>&1 <<'PY' &
import http.server, sys, time
class Site(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def answer(self, body):
        path = self.path.strip("/")
        n = int(path.split("-")[0]) if path.split("-")[0].isdigit() else 0
        kind = n % 20
        if kind >= 17:
            time.sleep(0.02)
        if 10 <= kind < 14 and "-" not in path:
            self.send_response(301); self.send_header("Location", f"/{n}-a")
        elif 10 <= kind < 14 and path.endswith("-a"):
            self.send_response(301); self.send_header("Location", f"/{n}-b")
        elif 14 <= kind < 17:
            self.send_response(404)
        else:
            text = f"<html><head><title>Site {n}</title></head><body><p>Page {n}</p></body></html>".encode()
            self.send_response(200); self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(text))); self.end_headers()
            if body: self.wfile.write(text)
            return
        self.send_header("Content-Length", "0"); self.end_headers()
    def do_GET(self): self.answer(True)
    def do_HEAD(self): self.answer(False)
    def log_message(self, *args): pass
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Site).serve_forever()
PY
pids+=($!)

printf '[General]\r\nStartup=1\r\nTime_refresh=0\r\nAutorefresh=0\r\nHistory=0\r\nAutoStart=0\r\nHomePage=0\r\nFetch_Timeout=10\r\n[Data]\r\nPort=%s\r\n' \
    "$port" > "$work/program/vistrel.ini"
cp "$program" "$work/program/vistrel"
browser=/nonexistent
[ "${LATENCY_BROWSER:-0}" = 1 ] && browser=
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/home/tmp" \
    XDG_DOCUMENTS_DIR="$work/home/Documents" QT_QPA_PLATFORM=offscreen VISTREL_BROWSER=$browser \
    "$work/program/vistrel" > "$work/out.txt" 2>&1 &
pids+=($!)

python3 - "$port" "$work/home/Documents/vistrel" "$work/program/files.log" <<'PY'
import os, socket, statistics, sys, time
port, data, trace = int(sys.argv[1]), sys.argv[2], sys.argv[3]
listing = os.path.join(data, "listings.xml")
view = os.path.join(data, "view.htm")

def get():
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(b"GET /viewer.htm HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
        reply = b""
        while chunk := s.recv(65536):
            reply += chunk
    if not reply.startswith(b"HTTP/1.1 200"):
        raise RuntimeError(reply[:80])
    return (time.perf_counter() - start) * 1000

# Until the server answers and the refresh is fetching.
deadline = time.time() + 60
while time.time() < deadline:
    try:
        get()
        if os.path.exists(trace) and b"starting" in open(trace, "rb").read():
            break
    except OSError:
        pass
    time.sleep(0.05)
else:
    sys.exit("the refresh did not start")

def captured():
    # The walk with its captures ends with the listing; the pages follow it.
    return os.path.exists(listing)

def finished():
    return captured() and os.path.exists(view) and os.path.getmtime(view) >= os.path.getmtime(listing)

during_capture, after_capture, slow = [], [], []
began = time.time()
capture_took = None
while not finished() and time.time() - began < 900:
    at = time.time() - began
    phase = after_capture if captured() else during_capture
    if phase is after_capture and capture_took is None:
        capture_took = at
    phase.append(get())
    if phase[-1] > 50:
        slow.append(f"{phase[-1]:.0f} ms at {at:.2f} s")
    time.sleep(0.01)
took = time.time() - began

def report(name, latencies):
    if not latencies:
        print(f"{name}: no requests")
        return
    latencies = sorted(latencies)
    pct = lambda p: latencies[min(len(latencies) - 1, int(p / 100 * len(latencies)))]
    print(f"{name}: {len(latencies)} requests, latency ms median {statistics.median(latencies):.2f}, "
          f"p90 {pct(90):.2f}, p99 {pct(99):.2f}, max {latencies[-1]:.2f}")

# The same requests with nothing running, for the machine's own noise.
idle = []
for _ in range(max(200, len(during_capture))):
    idle.append(get())
    time.sleep(0.01)

print(f"refresh: {took:.1f} s, of which capturing {capture_took or took:.1f} s")
report("while capturing", during_capture)
report("while writing the pages", after_capture)
report("idle, after the refresh", idle)
if slow:
    print("over 50 ms during the refresh:", ", ".join(slow))
PY
