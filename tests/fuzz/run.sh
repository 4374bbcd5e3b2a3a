#!/usr/bin/env bash
# Builds one fuzz target with clang and runs it, at the lowest priority:
#   tests/fuzz/run.sh TARGET [SECONDS]      (default 600)
# TARGET: request_parser, shortcut_reader, registry_file or editor_form.
# Seeds come from tests/fuzz/corpus/TARGET/; the corpus grows in
# $VISTREL_FUZZ_WORK/TARGET when that is set (so runs add up), else in a
# scratch copy. Findings land in tests/fuzz/findings/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
target=${1:?usage: run.sh TARGET [SECONDS]}
seconds=${2:-600}
[ -d "$here/corpus/$target" ] || { echo "no such target: $target" >&2; exit 2; }
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DVISTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 19 cmake --build "$build" -j2 --target "fuzz_$target"
if [ -n "${VISTREL_FUZZ_WORK:-}" ]; then
    work=$VISTREL_FUZZ_WORK/$target
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-fuzz.XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi
cp "$here/corpus/$target"/* "$work"/
mkdir -p "$here/findings"
nice -n 19 "$build/tests/fuzz/fuzz_$target" "$work" -max_total_time="$seconds" -max_len=20000 -len_control=0 \
    -artifact_prefix="$here/findings/$target-" -print_final_stats=1
