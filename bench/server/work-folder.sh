# Sourced by the server benchmarks: a temporary work folder, and the processes
# started for the run (added to `pids`), both gone when the script ends,
# however it ends.
bench_work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    pids=()
    trap bench_cleanup EXIT
}

bench_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
