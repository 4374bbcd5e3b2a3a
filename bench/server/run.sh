#!/usr/bin/env bash
# Load test of the web server against nginx on loopback:
#   bench/server/run.sh [BUILD_DIR]   (default: build)
# Generates a ~30 KB page and a ~45 KB image, serves them with the program as
# users run it (the real binary in a temporary HOME, headless, nothing
# refreshing), once with "Write web server to log file" off and once on, and
# with the HTTP engine alone; nginx (one worker, its own prefix and config)
# serves the same folder meanwhile. wrk runs each file with keep-alive and with
# "Connection: close"; the script prints requests per second, p99 latency,
# errors, CPU time per request and the ratio ours/nginx.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
program=$build/vistrel
driver=$build/bench/vistrel_bench_serve
duration=${BENCH_DURATION:-10s}
connections=${BENCH_CONNECTIONS:-50}
threads=${BENCH_THREADS:-1}
# Each case runs this many times, the servers taking turns; the median counts,
# so a burst of other work on the machine does not decide the result.
rounds=${BENCH_ROUNDS:-3}
# program: log off; program-log: log on; engine: the engine without the program.
targets=${BENCH_TARGETS:-program program-log engine}
ours_port=${BENCH_OURS_PORT:-18481}
nginx_port=${BENCH_NGINX_PORT:-18482}
# The program listens with a backlog of 128; nginx and the engine get the same.
backlog=${BENCH_BACKLOG:-128}

# The comparison server and the load generator come from Debian.
missing=()
for tool in wrk nginx; do
    command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || missing+=("$tool")
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    echo "Installing ${missing[*]}" >&2
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$program" ] || cmake --build "$build" -j2 --target vistrel
[ -x "$driver" ] || cmake --build "$build" -j2 --target vistrel_bench_serve

. "$here/work-folder.sh"
bench_work_folder vistrel-bench

# nginx's workers may run as another user: the folders must be readable.
chmod 755 "$work"
# The program's data folder is the folder both servers serve.
data=$work/home/Documents/vistrel
mkdir -p "$data" "$work/fixture" "$work/program" "$work/home/tmp" "$work/nginx/logs" "$work/nginx/tmp"
python3 - "$work/fixture" <<'PY'
import os, random, sys
folder = sys.argv[1]
random.seed(7)
rows = []
while sum(map(len, rows)) < 30 * 1024:
    n = len(rows)
    rows.append(f'<TR><TD><A HREF="http://site{n}.example/">Site number {n}</A></TD>'
                f'<TD><IMG SRC="images/{n:04d}.bmp" WIDTH="122" HEIGHT="122"></TD></TR>\n')
page = '<HTML><HEAD><TITLE>Favourites</TITLE></HEAD><BODY><TABLE>\n' + ''.join(rows) + '</TABLE></BODY></HTML>\n'
open(os.path.join(folder, 'view.htm'), 'w').write(page)
open(os.path.join(folder, 'image.jpg'), 'wb').write(bytes(random.getrandbits(8) for _ in range(45 * 1024)))
PY
cp "$work/fixture/view.htm" "$work/fixture/image.jpg" "$data/"
chmod -R a+rX "$work/home" "$work/fixture"

cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
error_log $work/nginx/logs/error.log warn;
pid $work/nginx/nginx.pid;
events { worker_connections 4096; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    client_body_temp_path $work/nginx/tmp/body;
    proxy_temp_path $work/nginx/tmp/proxy;
    fastcgi_temp_path $work/nginx/tmp/fastcgi;
    uwsgi_temp_path $work/nginx/tmp/uwsgi;
    scgi_temp_path $work/nginx/tmp/scgi;
    types { text/html htm html; image/jpeg jpg; }
    server {
        listen 127.0.0.1:$nginx_port backlog=$backlog;
        root $data;
    }
}
CONF

"$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" -g 'daemon off;' 2> "$work/nginx/stderr.log" &
nginx_pid=$!
pids+=($!)

wait_for() {
    for _ in $(seq 100); do
        curl -s -o /dev/null "http://127.0.0.1:$1/view.htm" && return 0
        sleep 0.1
    done
    echo "server on port $1 did not start" >&2
    cat "$work/ours.log" "$work/nginx/stderr.log" >&2
    exit 1
}
wait_for "$nginx_port"

# Starts one of the targets on $ours_port and prints its process id.
start_target() {
    case $1 in
    engine)
        "$driver" "$data" "$ours_port" "$backlog" > "$work/ours.log" 2>&1 &
        echo $!
        ;;
    program | program-log)
        local log=0
        [ "$1" = program-log ] && log=1
        # A settings file of its own: no refresh, no history, no start-up
        # entry, the log as asked.
        printf '[General]\r\nStartup=0\r\nTime_refresh=0\r\nAutorefresh=0\r\nHistory=0\r\nAutoStart=0\r\nHomePage=0\r\n[Data]\r\nPort=%s\r\nLogToFile=%s\r\n' \
            "$ours_port" "$log" > "$work/program/vistrel.ini"
        cp "$program" "$work/program/vistrel"
        HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/home/tmp" \
            XDG_DOCUMENTS_DIR="$work/home/Documents" QT_QPA_PLATFORM=offscreen \
            "$work/program/vistrel" > "$work/ours.log" 2>&1 &
        echo $!
        ;;
    esac
}

# CPU clock ticks used so far by a server process, its threads and its
# children (nginx's worker): the CPU cost per request does not depend on what
# else the machine runs, unlike requests per second.
cpu_ticks() {
    local total=0 pid
    for pid in "$1" $(pgrep -P "$1" || true); do
        total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0)))
    done
    echo "$total"
}
clock_ticks=$(getconf CLK_TCK)

# Prints "requests/s p99_ms errors cpu_us_per_request" for one wrk run.
measure() {
    local url=$1 header=$2 pid=$3 out before after
    before=$(cpu_ticks "$pid")
    out=$(wrk -t"$threads" -c"$connections" -d"$duration" --latency -H "$header" "$url")
    after=$(cpu_ticks "$pid")
    python3 - "$out" "$before" "$after" "$clock_ticks" <<'PY'
import re, sys
text = sys.argv[1]
ticks = (int(sys.argv[3]) - int(sys.argv[2])) / int(sys.argv[4])
count = int(re.search(r'(\d+) requests in', text).group(1))
cpu_us = ticks * 1e6 / count if count else float('nan')
rps = float(re.search(r'Requests/sec:\s+([\d.]+)', text).group(1))
m = re.search(r'^\s+99%\s+([\d.]+)(us|ms|s)\b', text, re.M)
scale = {'us': 0.001, 'ms': 1.0, 's': 1000.0}
p99 = float(m.group(1)) * scale[m.group(2)] if m else float('nan')
errors = 0
m = re.search(r'Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)', text)
if m:
    errors += sum(int(x) for x in m.groups())
m = re.search(r'Non-2xx or 3xx responses: (\d+)', text)
if m:
    errors += int(m.group(1))
print(f'{rps:.0f} {p99:.2f} {errors} {cpu_us:.1f}')
PY
}

median() { python3 -c 'import statistics,sys; print(statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }

# The least share of nginx's requests per second each target must reach.
target_ratio() {
    case $1 in
    program-log) echo 0.6 ;;
    *) echo 0.8 ;;
    esac
}

printf '%-11s %-10s %-10s | %8s %7s %6s %7s | %8s %7s %6s %7s | %5s %5s\n' target file connection \
    ours_rps p99_ms errors cpu_us nginx_rps p99_ms errors cpu_us ratio cpu_x
status=0
for target in $targets; do
    ours_pid=$(start_target "$target")
    pids+=("$ours_pid")
    wait_for "$ours_port"
    # The program writes its own pages at start-up; the measured files are ours.
    cp "$work/fixture/view.htm" "$work/fixture/image.jpg" "$data/"
    need=$(target_ratio "$target")
    for file in view.htm image.jpg; do
        for mode in keep-alive close; do
            header="Connection: $mode"
            o_rps_all=() o_p99_all=() n_rps_all=() n_p99_all=() o_cpu_all=() n_cpu_all=()
            o_err=0 n_err=0
            for _ in $(seq "$rounds"); do
                read -r r p e c < <(measure "http://127.0.0.1:$ours_port/$file" "$header" "$ours_pid")
                o_rps_all+=("$r") o_p99_all+=("$p") o_err=$((o_err + e)) o_cpu_all+=("$c")
                read -r r p e c < <(measure "http://127.0.0.1:$nginx_port/$file" "$header" "$nginx_pid")
                n_rps_all+=("$r") n_p99_all+=("$p") n_err=$((n_err + e)) n_cpu_all+=("$c")
            done
            o_rps=$(median "${o_rps_all[@]}") o_p99=$(median "${o_p99_all[@]}")
            n_rps=$(median "${n_rps_all[@]}") n_p99=$(median "${n_p99_all[@]}")
            o_cpu=$(median "${o_cpu_all[@]}") n_cpu=$(median "${n_cpu_all[@]}")
            ratio=$(python3 -c "print(f'{$o_rps / $n_rps:.2f}')")
            cpu_x=$(python3 -c "print(f'{$o_cpu / $n_cpu:.2f}')")
            printf '%-11s %-10s %-10s | %8.0f %7.2f %6s %7.1f | %8.0f %7.2f %6s %7.1f | %5s %5s\n' \
                "$target" "$file" "$mode" "$o_rps" "$o_p99" "$o_err" "$o_cpu" "$n_rps" "$n_p99" "$n_err" "$n_cpu" \
                "$ratio" "$cpu_x"
            if ! python3 -c "import sys; sys.exit(0 if $o_rps >= $need * $n_rps and $o_err == 0 else 1)"; then
                status=1
            fi
        done
    done
    # An ordinary end, as a user's session would: the log is flushed and closed.
    # (started inside a command substitution, so not this shell's child to wait for)
    kill -TERM "$ours_pid"
    while kill -0 "$ours_pid" 2>/dev/null; do sleep 0.1; done
    if [ "$target" = program-log ]; then
        echo "            log: $(wc -l < "$work/program/vistrel.log") lines, $(du -h "$work/program/vistrel.log" | cut -f1)"
        rm -f "$work/program/vistrel.log"
    fi
done
echo "(median of $rounds runs of $duration each, wrk $threads thread(s), $connections connections; errors"
echo " summed over the runs; cpu_us: each server's CPU time per request, user and system; cpu_x: ours/nginx)"
[ "$status" = 0 ] && echo "targets met: the program and the engine at least 0.8 of nginx, with the log 0.6, no errors" \
                  || echo "target missed in at least one case"
exit "$status"
