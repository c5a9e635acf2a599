#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: a fresh cluster in DIR that listens only on
# a Unix socket in DIR, with one base "zelvano" (user "postgres", trust on the socket).
#   pg.sh start DIR     creates and starts it (an older one left in DIR is stopped first)
#   pg.sh stop DIR      stops it and removes DIR
# Run as root, the server runs as the "postgres" system user (initdb refuses root).
set -euo pipefail
action=${1:?start|stop}; dir=${2:?folder}
bin=${ZV_PG_BIN:-/usr/lib/postgresql/15/bin}
[ -x "$bin/initdb" ] || { echo "pg.sh: PostgreSQL introuvable dans $bin (paquet postgresql)" >&2; exit 1; }
as_pg=()
if [ "$(id -u)" -eq 0 ]; then as_pg=(runuser -u postgres --); fi

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    "${as_pg[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 20 stop >/dev/null 2>&1 || true
  fi
}

case $action in
  start)
    stop
    rm -rf "$dir"
    mkdir -p "$dir"
    [ ${#as_pg[@]} -gt 0 ] && chown postgres "$dir"
    chmod 755 "$dir"
    "${as_pg[@]}" "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    "${as_pg[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-k $dir -c listen_addresses='' -c fsync=on -c max_connections=200" start >/dev/null \
      || { cat "$dir/server.log" >&2; exit 1; }
    "${as_pg[@]}" "$bin/createdb" -h "$dir" -U postgres zelvano
    echo "PostgreSQL prêt : postgresql://postgres@/zelvano?host=$dir"
    ;;
  stop)
    stop
    rm -rf "$dir"
    ;;
  *) echo "pg.sh: start|stop, not '$action'" >&2; exit 2 ;;
esac
