#!/usr/bin/env bash
# Puts the data folder on a small tmpfs, fills it, and runs a refresh: the refresh
# must fail cleanly, the previous listing and pages stay as they were, and the
# program keeps running and serving. Needs root (it mounts a tmpfs).
# Usage: sudo tests/soak/disk-full.sh [path/to/vistrel]
set -euo pipefail
binary=$(realpath "${1:-$(dirname "$0")/../../build/vistrel}")
work=$(mktemp -d)
cleanup() {
    kill -9 ${pid:-0} ${site:-0} 2>/dev/null || true
    sleep 0.5
    umount "$work/Documents" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/program" "$work/Favorites" "$work/tmp" "$work/Documents" "$work/site" "$work/.config/vistrel"
mount -t tmpfs -o size=4m tmpfs "$work/Documents"
cp "$binary" "$work/program/vistrel"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
siteport=$(free_port)
printf '[General]\r\nHistory=0\r\n[Data]\r\nPort=%s\r\n' "$port" > "$work/program/vistrel.ini"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders]\r\n"Personal"="%s"\r\n' \
    "$work/Documents" > "$work/.config/vistrel/registry.reg"
echo '<html><head><title>Page</title></head><body>page</body></html>' > "$work/site/index.html"
python3 -m http.server "$siteport" --bind 127.0.0.1 --directory "$work/site" >/dev/null 2>&1 & site=$!
for i in $(seq 1 10); do
    printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s/\r\n' "$siteport" > "$work/Favorites/Site $i.url"
done

data="$work/Documents/vistrel"
run() {
    HOME="$work" XDG_CONFIG_HOME="$work/.config" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/tmp" QT_QPA_PLATFORM=offscreen \
        "$work/program/vistrel" >> "$work/out.txt" 2>&1 &
    pid=$!
}
wait_for() { for _ in $(seq 1 240); do eval "$1" && return 0; sleep 1; done; return 1; }

# A first refresh completes on a disk with room.
run
wait_for '[ -f "$data/listings.xml" ]' || { echo "FAIL: no first refresh"; exit 1; }
sleep 3
kill -TERM "$pid"; wait "$pid" || true
listing=$(md5sum < "$data/listings.xml")
view=$(md5sum < "$data/view.htm")

# Fill the disk, then start again: the refresh on start has no room.
dd if=/dev/zero of="$data/filler" bs=64k 2>/dev/null || true
run
wait_for 'grep -c "^ended" "$work/program/files.log" 2>/dev/null | grep -q "^10$"' || true
sleep 5
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended"; exit 1; }
code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/view.htm")
[ "$code" = 200 ] || { echo "FAIL: the server answered $code"; exit 1; }
[ "$(md5sum < "$data/listings.xml")" = "$listing" ] || { echo "FAIL: listings.xml changed"; exit 1; }
[ "$(md5sum < "$data/view.htm")" = "$view" ] || { echo "FAIL: view.htm changed"; exit 1; }
python3 -c "import sys,xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])" "$data/listings.xml"
leftovers=$(find "$data" -maxdepth 1 -name '*.tmp*' -o -maxdepth 1 -name '.*' -type f | wc -l)
[ "$leftovers" = 0 ] || { echo "FAIL: $leftovers temporary files left in the data folder"; find "$data" -maxdepth 1 -name '.*'; exit 1; }
kill -TERM "$pid"; wait "$pid" || true
echo "PASS: with the data folder full the refresh failed cleanly, the previous listing and pages stayed, the server kept answering"
