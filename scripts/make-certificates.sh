#!/usr/bin/env bash
# Makes certificates for trying https locally (scripts/local-server.sh --tls-cert) and for the
# tests, in DIR: a test certificate authority and, each as NAME.pem with its key NAME.key,
#   authority    for 127.0.0.1, signed by the test authority (authority-ca.pem)
#   expired      the same, but valid only in 2020
#   other-name   signed by the test authority for other.invalid
#   self-signed  for 127.0.0.1, signed by itself
#   self-signed2 another one like it
# and NAME.sha256 with each certificate's SHA-256 fingerprint as openssl prints it (AB:CD:...).
#
#   make-certificates.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }

key authority-ca
openssl req -x509 -new -key authority-ca.key -out authority-ca.pem -days 30 -subj "/CN=Lumeno Test Authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null

# `openssl ca` is the one openssl command that sets any validity dates, such as past ones.
cat >ca.cnf <<EOF
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
EOF
: >index.txt
echo 1000 >serial

signed() { # signed NAME CN SAN START END
  key "$1"
  openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=$2" -addext "subjectAltName=$3" 2>/dev/null
  openssl ca -batch -config ca.cnf -cert authority-ca.pem -keyfile authority-ca.key -in "$1.csr" -out "$1.pem" \
    -startdate "$4" -enddate "$5" -notext 2>/dev/null
}
now=$(date -u +%Y%m%d%H%M%SZ) later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
signed authority 127.0.0.1 IP:127.0.0.1 "$now" "$later"
signed expired 127.0.0.1 IP:127.0.0.1 20200101000000Z 20200601000000Z
signed other-name other.invalid DNS:other.invalid "$now" "$later"

for name in self-signed self-signed2; do
  key "$name"
  openssl req -x509 -new -key "$name.key" -out "$name.pem" -days 30 -subj "/CN=127.0.0.1" \
    -addext subjectAltName=IP:127.0.0.1 2>/dev/null
done

for name in authority expired other-name self-signed self-signed2; do
  openssl x509 -in "$name.pem" -noout -fingerprint -sha256 | sed 's/.*=//' >"$name.sha256"
done
