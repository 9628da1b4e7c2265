#!/usr/bin/env bash
# A PostgreSQL server of its own for the encrypted connections' test: it takes connections over TCP only when they
# are encrypted, with a certificate for "localhost" signed by a certificate authority made here.
#
#   tls_server.sh start DIR PORT DBDIR   DIR/ca.crt the authority, DIR/other-ca.crt an authority that signed
#                                        nothing of this server; the server on 127.0.0.1:PORT (user sys, password
#                                        wumbral, as db/pgcluster.sh makes it)
#   tls_server.sh stop DIR DBDIR
set -euo pipefail
cmd=${1:?}; dir=${2:?}
if [ "$cmd" = start ]; then port=${3:?}; dbdir=${4:?}; else dbdir=${3:?}; fi
cluster=$dbdir/pgcluster.sh
pg=$dir/pg

case "$cmd" in
start)
    cd "$dir"
    for ca in ca other-ca; do
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$ca.key" -out "$ca.crt" \
            -subj "/CN=Kesta test $ca" -addext basicConstraints=critical,CA:TRUE 2>/dev/null
    done
    openssl req -new -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null
    printf 'subjectAltName=DNS:localhost\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -out server.crt \
        -extfile server.ext 2>/dev/null
    # Made and stopped once on its socket, then given its certificate and started on TCP.
    "$cluster" start "$pg"
    "$cluster" stop "$pg"
    cp server.crt server.key "$pg/data/"
    chmod 600 "$pg/data/server.key"
    if [ "$(id -u)" = 0 ]; then chown postgres: "$pg/data/server.crt" "$pg/data/server.key"; fi
    cat >>"$pg/data/postgresql.conf" <<CONF
ssl = on
ssl_cert_file = 'server.crt'
ssl_key_file = 'server.key'
CONF
    # The server insists on encryption: a connection without it is turned away before any password.
    { echo "hostnossl all all 0.0.0.0/0 reject"; cat "$pg/data/pg_hba.conf"; } >"$pg/data/pg_hba.new"
    mv "$pg/data/pg_hba.new" "$pg/data/pg_hba.conf"
    if [ "$(id -u)" = 0 ]; then chown postgres: "$pg/data/pg_hba.conf"; fi
    "$cluster" start "$pg" --tcp --port "$port"
    ;;
stop)
    "$cluster" stop "$pg" || true
    ;;
esac
