#!/usr/bin/env bash
# Kills the program with SIGKILL in the middle of a refresh, starts it again, and
# checks that the previous listing and pages are intact and the next refresh completes.
# Usage: tests/soak/kill9-during-refresh.sh [path/to/vistrel]
set -euo pipefail
binary=${1:-$(dirname "$0")/../../build/vistrel}
work=$(mktemp -d)
trap 'kill -9 ${pid:-0} ${site:-0} 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/program" "$work/Favorites" "$work/tmp" "$work/site"
cp "$binary" "$work/program/vistrel"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
siteport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '[General]\r\nHistory=0\r\nFetch_Timeout=30\r\n[Data]\r\nPort=%s\r\n' "$port" > "$work/program/vistrel.ini"

# A site whose pages take a second each, so a refresh of 20 favourites is slow.
cat > "$work/site/slow.py" <<'PY'
import http.server, sys, time
class H(http.server.BaseHTTPRequestHandler):
    def answer(self, body):
        time.sleep(1)
        self.send_response(200); self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body))); self.end_headers()
        return body
    def do_HEAD(self): self.answer(b"")
    def do_GET(self): self.wfile.write(self.answer(b"<html><head><title>Slow</title></head><body>slow</body></html>"))
    def log_message(self, *a): pass
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), H).serve_forever()
PY
python3 "$work/site/slow.py" "$siteport" 2>/dev/null & site=$!
for i in $(seq 1 20); do
    printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s/p%s\r\n' "$siteport" "$i" > "$work/Favorites/Site $i.url"
done

run() {
    HOME="$work" XDG_CONFIG_HOME="$work/.config" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/tmp" QT_QPA_PLATFORM=offscreen \
        "$work/program/vistrel" >> "$work/out.txt" 2>&1 &
    pid=$!
}
data="$work/Documents/vistrel"
wait_for_refresh() { # waits until listings.xml changes from $1
    for _ in $(seq 1 300); do
        [ -f "$data/listings.xml" ] && [ "$(md5sum < "$data/listings.xml")" != "$1" ] && return 0
        sleep 1
    done
    return 1
}

# First run: let one refresh complete.
run
wait_for_refresh "none" || { echo "FAIL: the first refresh never completed"; exit 1; }
kill -TERM "$pid"; wait "$pid" || true
before=$(md5sum < "$data/listings.xml")
view_before=$(md5sum < "$data/view.htm")

# Second run: kill -9 in the middle of its refresh.
run
sleep 8
grep -q "starting" "$work/program/files.log" || { echo "FAIL: no refresh was running"; exit 1; }
kill -9 "$pid"; wait "$pid" 2>/dev/null || true
[ "$(md5sum < "$data/listings.xml")" = "$before" ] || { echo "FAIL: listings.xml changed by a killed refresh"; exit 1; }
[ "$(md5sum < "$data/view.htm")" = "$view_before" ] || { echo "FAIL: view.htm changed by a killed refresh"; exit 1; }
xmllint --noout "$data/listings.xml" 2>/dev/null || python3 -c "import sys,xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])" "$data/listings.xml"

# Third run: its refresh completes and the server answers.
run
wait_for_refresh "$before" || { echo "FAIL: the refresh after the kill never completed"; exit 1; }
curl -sf "http://127.0.0.1:$port/" > /dev/null || { echo "FAIL: the server does not answer"; exit 1; }
kill -TERM "$pid"; wait "$pid" || true
echo "PASS: listing and pages intact after kill -9; the next refresh completed"
