# Sourced by make-data and run: the bench's own PostgreSQL in $home (a folder under
# /work/bench-data by default), run as the user postgres when we are root.
pg_bin=/usr/lib/postgresql/15/bin
as=()
[ "$(id -u)" -eq 0 ] && as=(runuser -u postgres --)

pg_start() {
  "${as[@]}" "$pg_bin/pg_ctl" -w -s -D "$home/data" -l "$home/server.log" \
    -o "-c listen_addresses=127.0.0.1 -p $(cat "$home/port") -k $home" start
}

pg_stop() {
  "${as[@]}" "$pg_bin/pg_ctl" -w -s -D "$home/data" -m fast stop
}

# psql as the superuser "surge"; arguments as psql's.
pg_sql() {
  PGPASSWORD="$(cat "$home/pw")" psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$(cat "$home/port")" \
    -U surge -d postgres "$@"
}
