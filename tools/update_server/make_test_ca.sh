#!/usr/bin/env bash
# Makes the test CA and a server certificate for one host name in a folder:
# ca.pem, server.pem, server.key. Kept when they exist and match the host.
# Only the test network environment trusts this CA (scripts/testnet).
set -euo pipefail
dir="$1" host="$2"
mkdir -p "$dir"
cd "$dir"
if [ -f server.pem ] && [ -f ca.pem ] && [ "$(cat host 2>/dev/null)" = "$host" ] &&
  openssl x509 -in server.pem -noout -checkend 86400 >/dev/null; then
  exit 0
fi
rm -f ca.pem ca.key server.pem server.key server.csr host
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout ca.key -out ca.pem \
  -subj "/CN=tqVorn test CA" -addext "basicConstraints=critical,CA:true" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=$host" 2>/dev/null
printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:false\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
  "$host" >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
  -extfile server.ext -out server.pem 2>/dev/null
rm -f server.csr server.ext
echo "$host" >host
