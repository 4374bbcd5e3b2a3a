#!/usr/bin/env bash
# Builds the request-parser fuzz target with clang and runs it:
#   tests/fuzz/run.sh [SECONDS]      (default 600)
# Findings land in tests/fuzz/findings/; the corpus grows in a scratch copy.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-600}
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVISTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_request_parser
work=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$here"/corpus/* "$work"/
mkdir -p "$here/findings"
"$build/tests/fuzz/fuzz_request_parser" "$work" -max_total_time="$seconds" -max_len=20000 -len_control=0 \
    -artifact_prefix="$here/findings/" -print_final_stats=1
