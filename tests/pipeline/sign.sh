#!/usr/bin/env bash
# scripts/sign from outside: both ways to name the key, what it writes, and each way it must
# refuse. Everything it signs with is made here with openssl, in WORK/keys: a root, a
# code-signing leaf, the same key certified without code signing, a timestamp authority; never
# a committed key. A token is SoftHSM's, in the row's own folder. The timestamp server is a
# local one: `openssl ts -reply` behind python3's http.server on 127.0.0.1 at a port the system
# picks, so that --timestamp URL is tried the way a vendor uses it (osslsigncode's offline
# timestamp options would need a way into scripts/sign that no vendor has).
#
# usage: sign.sh WORK keys      make the keys (fixture sign_keys)
#        sign.sh WORK release   sign the release with them into WORK/release/out/ (fixture
#                               signed_release: the resources test and the i686 run take it)
#        sign.sh WORK cleanup   remove the keys and the rows' files
#        sign.sh WORK ROW       one row of the table below
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1 row=$2
keys=$work/keys
fail() { echo "sign.sh $row: FAILED: $*"; exit 1; }
# Debian's python3, which has Debian's python3-pefile (another python3 may come first on PATH).
python=/usr/bin/python3
softhsm_module=/usr/lib/softhsm/libsofthsm2.so
password=Norvik-p12-secret pin=Norvik-pin-2468 wrong_password=Norvik-wrong-secret wrong_pin=Norvik-wrong-pin
subject='/CN=Norvik Test Signer/O=Norvik Test'
epoch=1700000000

make_keys() {
  rm -rf "$keys"
  mkdir -p "$keys/shims"
  cd "$keys"
  printf '%s\n' "$password" >password
  printf '%s\n' "$pin" >pin
  printf '%s\n' "$wrong_password" >wrong-password
  printf '%s\n' "$wrong_pin" >wrong-pin
  openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 -subj '/CN=Norvik Test Root' \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
  issue() {  # NAME SUBJECT EXTENDED-KEY-USAGE [KEY [DAYS]]
    [ -f "${4:-$1}.key" ] || openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key" 2>/dev/null
    openssl req -new -key "${4:-$1}.key" -subj "$2" -out "$1.csr"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$1.ext"
    openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -CAcreateserial -days "${5:-30}" -extfile "$1.ext" \
      -out "$1.pem" 2>/dev/null
  }
  issue leaf "$subject" codeSigning
  issue no-code-signing "$subject" serverAuth leaf
  # The same key, certified until a day before its certificate begins: expired.
  issue expired "$subject" codeSigning leaf -1
  cat expired.pem root.pem >expired-chain.pem
  issue tsa '/CN=Norvik Test Timestamps' critical,timeStamping
  cat leaf.pem root.pem >chain.pem
  openssl pkcs12 -export -inkey leaf.key -in leaf.pem -certfile root.pem -passout file:password -out leaf.p12
  openssl pkcs12 -export -inkey leaf.key -in no-code-signing.pem -certfile root.pem -passout file:password \
    -out no-code-signing.p12
  openssl pkcs8 -topk8 -nocrypt -in leaf.key -out leaf.pk8
  # Every argument that scripts/sign gives osslsigncode and openssl is written down (into the row's
  # $ARGUMENTS_LOG), so a row can show that no password or PIN was among them (what `ps` shows).
  local tool
  for tool in osslsigncode openssl; do
    cat >"shims/$tool" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"\$ARGUMENTS_LOG"
exec $(command -v "$tool") "\$@"
EOF
    chmod +x "shims/$tool"
  done
  echo "sign.sh keys: root, code-signing leaf, leaf without code signing, timestamp authority in $keys"
}

# A local RFC 3161 server for this row: sets tsa_url; stopped when the row ends.
tsa_pid=''
trap '[ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null || true' EXIT
start_tsa() {
  local dir=$dir/tsa
  mkdir -p "$dir"
  echo 01 >"$dir/serial"
  cat >"$dir/tsa.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $dir/serial
signer_cert = $keys/tsa.pem
signer_key = $keys/tsa.key
certs = $keys/root.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
  "$python" - "$dir" <<'EOF' &
import http.server, os, subprocess, sys
folder = sys.argv[1]
class Reply(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query, reply = os.path.join(folder, "query.tsq"), os.path.join(folder, "reply.tsr")
        with open(query, "wb") as f:
            f.write(self.rfile.read(int(self.headers["Content-Length"])))
        made = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"),
                               "-queryfile", query, "-out", reply], capture_output=True)
        body = open(reply, "rb").read() if made.returncode == 0 else b""
        self.send_response(200 if body else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Reply)
with open(os.path.join(folder, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(folder, "port.tmp"), os.path.join(folder, "port"))
server.serve_forever()
EOF
  tsa_pid=$!
  local waited=0
  until [ -s "$dir/port" ]; do
    [ "$waited" -lt 100 ] || fail "the local timestamp server did not start"
    sleep 0.1
    waited=$((waited + 1))
  done
  tsa_url=http://127.0.0.1:$(cat "$dir/port")
}

# A SoftHSM token in the row's folder holding the leaf's key: sets token_key.
make_token() {
  export SOFTHSM2_CONF=$dir/softhsm2.conf
  mkdir -p "$dir/tokens"
  printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' "$dir" >"$SOFTHSM2_CONF"
  softhsm2-util --init-token --free --label norvik --pin "$pin" --so-pin "$pin" >/dev/null
  softhsm2-util --import "$keys/leaf.pk8" --token norvik --label signer --id 01 --pin "$pin" >/dev/null
  token_key='pkcs11:token=norvik;object=signer;type=private'
}

# Runs scripts/sign into the row's out/ folder (or to a full path) with the given arguments: rc,
# out_text, err_text.
sign() {
  local target=$1
  shift
  [[ $target == /* ]] || target=$dir/out/$target
  rc=0
  touch "$dir/arguments.log"
  PATH=$dir/shims:$keys/shims:$PATH ARGUMENTS_LOG=$dir/arguments.log "$root/scripts/sign" "$@" --out "$target" \
    >"$dir/stdout" 2>"$dir/stderr" || rc=$?
  out_text=$(cat "$dir/stdout") err_text=$(cat "$dir/stderr")
  [ "$rc" != 0 ] || grep -q '^sign ' "$dir/arguments.log" || fail "osslsigncode was not called through the shim"
  if grep -qF -e "$password" -e "$pin" -e "$wrong_password" -e "$wrong_pin" \
    "$dir/stdout" "$dir/stderr" "$dir/arguments.log"; then
    fail "the password or PIN was given on a command line or shown"
  fi
}
signed_ok() {
  [ "$rc" = 0 ] || fail "scripts/sign failed ($rc): $err_text"
  [ -f "$dir/out/$1" ] || fail "no signed file $dir/out/$1"
}
pkcs12_args=(--pkcs12 "$keys/leaf.p12" --password-file "$keys/password" --ca "$keys/root.pem")

# Refused: exit status not 0, one line on stderr that names the cause, and nothing in out/ but
# what was there before. (Run by plain ctest, rows may wait for each other's build lock and say so.)
refused() {
  local cause=$1 before=${2:-}
  [ "$rc" != 0 ] || fail "scripts/sign succeeded; expected: $cause"
  err_text=$(grep -v '^sign: waiting for another run' "$dir/stderr" || true)
  [ "$(wc -l <<<"$err_text")" = 1 ] || fail "expected one line on stderr, got: $err_text"
  [[ $err_text =~ ^sign:\ .*$cause ]] || fail "expected \"sign: ...$cause...\" on stderr, got: $err_text"
  [ "$(ls -A "$dir/out")" = "$before" ] || fail "a failed signing left files: $(ls -A "$dir/out")"
  echo "sign.sh $row: refused with: $err_text"
}

# What osslsigncode verify says of FILE against the test root (for the root and the timestamp).
verify() { osslsigncode verify -CAfile "$keys/root.pem" -TSA-CAfile "$keys/root.pem" -in "$1" >"$dir/verify.log" 2>&1; }

# A good signing: the signed file verifies with the signatures' digests in order (by default SHA-1,
# then SHA-256 nested), each with a timestamp from the local server, and scripts/sign named the
# signer, its certificate's fingerprint and the timestamp.
signed_and_verified() {
  local digests=${2:-SHA1 SHA256}
  signed_ok "$1"
  verify "$dir/out/$1" || fail "osslsigncode verify refuses the signed file: $(cat "$dir/verify.log")"
  local found count
  found=$(sed -n 's/^Message digest algorithm  *: *//p' "$dir/verify.log" | paste -sd' ')
  [ "$found" = "$digests" ] || fail "the signatures' digests are \"$found\", not \"$digests\""
  count=$(grep -c '^Timestamp Server Signature verification: ok' "$dir/verify.log" || :)
  [ "$count" = "$(wc -w <<<"$digests")" ] || fail "$count verified timestamps for the signatures $digests"
  local fingerprint
  fingerprint=$(openssl x509 -in "$keys/leaf.pem" -noout -fingerprint -sha256 | sed 's/^.*=//')
  grep -qxF "  signer:    $subject" <<<"$out_text" || fail "the signer is not named: $out_text"
  grep -qxF "  SHA-256:   $fingerprint" <<<"$out_text" || fail "the fingerprint $fingerprint is not shown: $out_text"
  grep -qE "^  timestamp: .* GMT \(RFC 3161, $tsa_url\)$" <<<"$out_text" || fail "the timestamp is not shown: $out_text"
  echo "sign.sh $row: verified against the test root, $digests, each timestamped; the password or PIN on no command line"
  echo "$out_text"
}

case $row in
  keys) make_keys; exit ;;
  cleanup) rm -rf "$keys" "$work/rows"; exit ;;
esac
[ -f "$keys/leaf.p12" ] || fail "no keys in $keys (the fixture sign_keys makes them)"
dir=$work/rows/$row
[ "$row" != release ] || dir=$work/release
rm -rf "$dir"
mkdir -p "$dir/out"

case $row in
  pkcs12 | release)  # the release fixture is this row, kept apart from the rows' cleanup
    start_tsa
    sign Norvik_InstallTool64.exe "${pkcs12_args[@]}" --timestamp "$tsa_url"
    signed_and_verified Norvik_InstallTool64.exe ;;
  pkcs11)
    start_tsa
    make_token
    sign a.exe --pkcs11-module "$softhsm_module" --key "$token_key" --cert "$keys/chain.pem" \
      --pin-file "$keys/pin" --ca "$keys/root.pem" --timestamp "$tsa_url"
    signed_and_verified a.exe ;;
  sha256_only)
    start_tsa
    sign a.exe "${pkcs12_args[@]}" --timestamp "$tsa_url" --sha256-only
    signed_and_verified a.exe SHA256
    grep -q 'unknown publisher' <<<"$out_text" || fail "no word on Vista and 7: $out_text" ;;
  in_elsewhere)
    # A file built elsewhere (here the x86_64 twin), outside the checkout; a cmake that fails
    # shows that nothing is built.
    elsewhere=$(mktemp -d)
    trap 'rm -rf "$elsewhere"; [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null || true' EXIT
    cp "$root/build/test/Norvik_InstallTool64.exe" "$elsewhere/tool.exe"
    mkdir -p "$dir/shims"
    # shellcheck disable=SC2016  # expanded by the shim
    printf '#!/bin/sh\necho "cmake was called" >>"$ARGUMENTS_LOG"; exit 1\n' >"$dir/shims/cmake"
    chmod +x "$dir/shims/cmake"
    sign "$elsewhere/signed.exe" "${pkcs12_args[@]}" --in "$elsewhere/tool.exe"
    [ "$rc" = 0 ] || fail "scripts/sign --in failed ($rc): $err_text"
    ! grep -q 'cmake was called' "$dir/arguments.log" || fail "scripts/sign --in built something"
    osslsigncode verify -CAfile "$keys/root.pem" -in "$elsewhere/signed.exe" >"$dir/verify.log" 2>&1 ||
      fail "the signed copy does not verify: $(cat "$dir/verify.log")"
    # Past the headers (checksum, security entry), the signed file is the file given.
    cmp -s -i 1024 -n $(($(stat -c %s "$elsewhere/tool.exe") - 1024)) "$elsewhere/tool.exe" "$elsewhere/signed.exe" ||
      fail "the signed file is not the file given with --in"
    echo "sign.sh $row: signed $elsewhere/tool.exe without building; verified" ;;
  out_kept)
    # Last week's good file at --out outlives a run with a wrong PIN.
    make_token
    echo "last week's signed file" >"$dir/out/a.exe"
    cp "$dir/out/a.exe" "$dir/before"
    sign a.exe --pkcs11-module "$softhsm_module" --key "$token_key" --cert "$keys/chain.pem" \
      --pin-file "$keys/wrong-pin" --ca "$keys/root.pem"
    refused 'wrong PIN' a.exe
    cmp -s "$dir/before" "$dir/out/a.exe" || fail "the file at --out changed" ;;
  out_is_input)
    cp "$keys/password" "$dir/before"
    sign "$keys/password" "${pkcs12_args[@]}"
    refused 'which this run reads'
    cmp -s "$dir/before" "$keys/password" || fail "the password file changed" ;;
  expired_leaf)
    # A token with the wrong PIN: had the key been used, the refusal would be for the PIN.
    make_token
    sign a.exe --pkcs11-module "$softhsm_module" --key "$token_key" --cert "$keys/expired-chain.pem" \
      --pin-file "$keys/wrong-pin" --ca "$keys/root.pem"
    refused 'expired'
    ! grep -q '^sign ' "$dir/arguments.log" || fail "osslsigncode was asked to sign with an expired certificate" ;;
  changed_byte)
    sign a.exe "${pkcs12_args[@]}"
    signed_ok a.exe
    verify "$dir/out/a.exe" || fail "the signed file does not verify before the change"
    # One bit of the code at the entry point.
    "$python" - "$dir/out/a.exe" <<'EOF'
import pefile, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = pefile.PE(data=bytes(data), fast_load=True)
data[pe.get_offset_from_rva(pe.OPTIONAL_HEADER.AddressOfEntryPoint)] ^= 1
open(sys.argv[1], "wb").write(data)
EOF
    ! verify "$dir/out/a.exe" || fail "osslsigncode verify accepts the file with a changed byte"
    grep -q MISMATCH "$dir/verify.log" || fail "the refusal is not for the digest: $(cat "$dir/verify.log")"
    echo "sign.sh $row: one changed bit at the entry point fails verification (digest mismatch)" ;;
  wrong_password)
    sign a.exe --pkcs12 "$keys/leaf.p12" --password-file "$keys/wrong-password" --ca "$keys/root.pem"
    refused 'wrong password' ;;
  wrong_pin)
    make_token
    sign a.exe --pkcs11-module "$softhsm_module" --key "$token_key" --cert "$keys/chain.pem" \
      --pin-file "$keys/wrong-pin" --ca "$keys/root.pem"
    refused 'wrong PIN' ;;
  no_code_signing)
    sign a.exe --pkcs12 "$keys/no-code-signing.p12" --password-file "$keys/password" --ca "$keys/root.pem"
    refused 'not for code signing' ;;
  timestamp_unreachable)
    # A port that was free a moment ago: nothing answers there.
    port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    sign a.exe "${pkcs12_args[@]}" --timestamp "http://127.0.0.1:$port"
    refused 'did not answer' ;;
  same_time_same_bytes)
    sign a.exe "${pkcs12_args[@]}" --time "$epoch"
    signed_ok a.exe
    sign b.exe "${pkcs12_args[@]}" --time "$epoch"
    signed_ok b.exe
    cmp -s "$dir/out/a.exe" "$dir/out/b.exe" || fail "two signings with --time $epoch differ"
    verify "$dir/out/a.exe" || fail "the signed file does not verify"
    grep -q 'Signing time: Nov 14 22:13:20 2023 GMT' "$dir/verify.log" || fail "the signing time is not $epoch"
    echo "sign.sh $row: two signings with --time $epoch: the same $(stat -c %s "$dir/out/a.exe") bytes" ;;
  only_signature_differs)
    sign a.exe "${pkcs12_args[@]}"
    signed_ok a.exe
    # Blank the checksum and the security directory entry in both: the signed file must then be
    # the unsigned one, zero padding to 8 bytes, and the signature that the entry points at.
    "$python" - "$root/build/release/Norvik_InstallTool64.exe" "$dir/out/a.exe" <<'EOF'
import pefile, sys
unsigned, signed = (bytearray(open(path, "rb").read()) for path in sys.argv[1:3])
def blank(data):
    pe = pefile.PE(data=bytes(data), fast_load=True)
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    at, size = entry.VirtualAddress, entry.Size
    checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    right = pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum()
    data[checksum:checksum + 4] = bytes(4)
    data[entry.get_file_offset():entry.get_file_offset() + 8] = bytes(8)
    return at, size, right
fail = []
if blank(unsigned)[:2] != (0, 0):
    fail.append("the unsigned file has a security directory")
at, size, right = blank(signed)
if not right:
    fail.append("the signed file's PE checksum is wrong")
if signed[:len(unsigned)] != unsigned:
    first = next(i for i in range(len(unsigned)) if signed[i] != unsigned[i])
    fail.append("the signed file differs from the unsigned one at offset 0x%x" % first)
if at != (len(unsigned) + 7) // 8 * 8 or any(signed[len(unsigned):at]):
    fail.append("the signature starts at 0x%x, not right after the unsigned file (0x%x)" % (at, len(unsigned)))
if at + size != len(signed):
    fail.append("the file does not end with the signature (%d + %d != %d)" % (at, size, len(signed)))
for line in fail:
    print("sign.sh only_signature_differs: FAILED: " + line)
if fail:
    sys.exit(1)
print("sign.sh only_signature_differs: %d bytes unsigned, %d signed: only the checksum, the security directory"
      " entry and %d bytes of signature differ" % (len(unsigned), len(signed), size))
EOF
    ;;
  *) fail "no such row" ;;
esac
