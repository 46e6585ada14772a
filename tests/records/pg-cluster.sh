#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: initdb into a temporary folder, the server listens
# only on a Unix socket in that folder, run as an unprivileged user when started as root.
#   pg-cluster.sh start STATE   writes the store location (postgresql://...) to STATE
#   pg-cluster.sh stop STATE    stops the cluster and removes its folder
set -euo pipefail
action=$1
state=$2

runas=()
if [ "$(id -u)" -eq 0 ]; then runas=(runuser -u nobody --); fi

stop() {
    [ -f "$state.dir" ] || return 0
    local dir
    dir=$(cat "$state.dir")
    if [ -d "$dir/data" ]; then
        (cd "$dir" && "${runas[@]}" "$(cat "$state.bin")/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1) || true
    fi
    rm -rf "$dir"
    rm -f "$state" "$state.dir" "$state.bin"
}

case $action in
start)
    stop
    bin=$(find /usr/lib/postgresql -maxdepth 2 -name bin -type d 2>/dev/null | sort -V | tail -1)
    if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
        echo "pg-cluster: no PostgreSQL server under /usr/lib/postgresql (scripts/setup.sh installs it)" >&2
        exit 1
    fi
    dir=$(mktemp -d /tmp/kestrum-pg.XXXXXX)
    echo "$dir" >"$state.dir"
    echo "$bin" >"$state.bin"
    if [ ${#runas[@]} -gt 0 ]; then chown nobody "$dir"; fi
    cd "$dir"
    "${runas[@]}" "$bin/initdb" -D "$dir/data" -U kestrum -A trust -E UTF8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        exit 1
    }
    "${runas[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k $dir -c listen_addresses= -p 5432 ${KESTRUM_PG_OPTIONS:-}" start >/dev/null || {
        cat "$dir/server.log" >&2
        exit 1
    }
    echo "postgresql://kestrum@/postgres?host=$dir" >"$state"
    echo "pg-cluster: running at $dir"
    ;;
stop) stop ;;
*)
    echo "usage: pg-cluster.sh start|stop STATE" >&2
    exit 2
    ;;
esac
