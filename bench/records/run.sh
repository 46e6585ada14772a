#!/usr/bin/env bash
# The record store's benchmark on a SQLite file and on a local PostgreSQL cluster, run by hand:
#   bench/records/run.sh [BUILD_DIR]
# Targets: a number taken and its record written in at most 1 ms on SQLite and 5 ms on PostgreSQL;
# a chip found by serial among 100,000 records in at most 20 ms. A number taken is flushed to the
# disk before its chip is written, so the first figures include one flush of this machine's disk
# (printed first); the figures on /dev/shm and on a cluster without fsync are the store's own cost.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja
fi
nice ninja -C "$build" -j2 bench_records >/dev/null
state=$(mktemp -u /tmp/kestrum-bench-pg.XXXXXX)
trap 'bash tests/records/pg-cluster.sh stop "$state"' EXIT
python3 -c "
import os, tempfile, time
with tempfile.NamedTemporaryFile(dir='.') as f:
    t = time.time()
    for i in range(50):
        f.write(b'x' * 100); f.flush(); os.fdatasync(f.fileno())
    print('one flush of this disk: %.3f ms' % ((time.time() - t) * 20))
"
"$build/bin/bench_records"
"$build/bin/bench_records" --folder /dev/shm
bash tests/records/pg-cluster.sh start "$state" >/dev/null
"$build/bin/bench_records" --store "$(cat "$state")"
bash tests/records/pg-cluster.sh stop "$state"
KESTRUM_PG_OPTIONS="-c fsync=off" bash tests/records/pg-cluster.sh start "$state" >/dev/null
echo "(fsync off)"
"$build/bin/bench_records" --store "$(cat "$state")"
