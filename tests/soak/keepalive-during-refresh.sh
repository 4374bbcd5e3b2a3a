#!/usr/bin/env bash
# Opens 1,000 concurrent keep-alive connections to the program's server while a
# refresh runs, sends three page requests on each, and checks every one is answered.
# Usage: tests/soak/keepalive-during-refresh.sh [path/to/vistrel] [connections]
set -euo pipefail
binary=${1:-$(dirname "$0")/../../build/vistrel}
connections=${2:-1000}
work=$(mktemp -d)
trap 'kill -9 ${pid:-0} ${site:-0} 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/program" "$work/Favorites" "$work/tmp"
cp "$binary" "$work/program/vistrel"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
siteport=$(free_port)
printf '[General]\r\nHistory=0\r\nFetch_Timeout=30\r\n[Data]\r\nPort=%s\r\n' "$port" > "$work/program/vistrel.ini"
python3 -m http.server "$siteport" --bind 127.0.0.1 --directory "$work/tmp" >/dev/null 2>&1 & site=$!
for i in $(seq 1 40); do
    printf '[InternetShortcut]\r\nURL=http://127.0.0.1:%s/\r\n' "$siteport" > "$work/Favorites/Site $i.url"
done

HOME="$work" XDG_CONFIG_HOME="$work/.config" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/tmp" QT_QPA_PLATFORM=offscreen \
    "$work/program/vistrel" > "$work/out.txt" 2>&1 &
pid=$!
# The refresh starts with the program; wait until its server answers and it is fetching.
for _ in $(seq 1 60); do curl -sf "http://127.0.0.1:$port/" > /dev/null && break; sleep 0.5; done
for _ in $(seq 1 60); do grep -q starting "$work/program/files.log" 2>/dev/null && break; sleep 0.5; done

result=0
python3 - "$port" "$connections" <<'PY' || result=$?
import asyncio, sys, time
port, count = int(sys.argv[1]), int(sys.argv[2])
paths = ["/viewer.htm", "/view.htm", "/view_header.htm"]

async def client(i):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    answered = 0
    try:
        for path in paths:
            writer.write(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: keep-alive\r\n\r\n".encode())
            await writer.drain()
            status = await reader.readline()
            length = 0
            while True:
                line = await reader.readline()
                if line in (b"\r\n", b""):
                    break
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            await reader.readexactly(length)
            if status.split()[1] == b"200":
                answered += 1
    finally:
        writer.close()
    return answered

async def main():
    start = time.time()
    results = await asyncio.gather(*(asyncio.wait_for(client(i), 60) for i in range(count)), return_exceptions=True)
    ok = sum(r for r in results if isinstance(r, int))
    errors = [r for r in results if not isinstance(r, int)]
    print(f"{count} connections, {ok} of {count * len(paths)} requests answered 200 in {time.time() - start:.1f} s, {len(errors)} failed connections")
    if errors:
        print("first failure:", repr(errors[0]))
    sys.exit(0 if ok == count * len(paths) else 1)

asyncio.run(main())
PY
grep -q starting "$work/program/files.log" && echo "a refresh was running meanwhile"
kill -TERM "$pid"; wait "$pid" || true
exit $result
