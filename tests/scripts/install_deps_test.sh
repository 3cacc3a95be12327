#!/usr/bin/env bash
# scripts/install-deps on a fresh machine, as root and as an ordinary user with
# sudo, against stand-in package tools placed first on PATH: dpkg-query answers
# as told (every package missing, or every one installed), while apt-get, sudo
# and debconf-set-selections only record how they were called. So the test sees
# what a fresh machine would see, whatever this machine has installed.
#
# usage: install_deps_test.sh [path of the install-deps script to check]
set -uo pipefail

script=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs=$work/bin
mkdir -p "$stubs"

# Each stand-in appends one line to $QUARN_LOG: its name, "(sudo)" when it was
# started through the sudo stand-in, and its arguments.
cat >"$stubs/dpkg-query" <<'STUB'
#!/usr/bin/env bash
echo "dpkg-query ${!#}" >>"$QUARN_LOG"
if [ "$QUARN_PACKAGES" = installed ]; then printf 'install ok installed'; exit 0; fi
echo "dpkg-query: no packages found matching ${!#}" >&2
exit 1
STUB
cat >"$stubs/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get${QUARN_VIA_SUDO:+ (sudo)} frontend=${DEBIAN_FRONTEND:-} $*" >>"$QUARN_LOG"
STUB
cat >"$stubs/debconf-set-selections" <<'STUB'
#!/usr/bin/env bash
echo "debconf-set-selections${QUARN_VIA_SUDO:+ (sudo)} $(cat)" >>"$QUARN_LOG"
STUB
# Like the real sudo: options first, then the command, run with a reset
# environment (DEBIAN_FRONTEND does not pass unless -E is given).
cat >"$stubs/sudo" <<'STUB'
#!/usr/bin/env bash
echo "sudo $*" >>"$QUARN_LOG"
keep=no
while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do
  [ "$1" = -E ] && keep=yes
  shift
done
[ $keep = no ] && unset DEBIAN_FRONTEND
export QUARN_VIA_SUDO=1
exec "$@"
STUB
cat >"$stubs/id" <<'STUB'
#!/usr/bin/env bash
if [ "${1:-}" = -u ]; then echo "$QUARN_UID"; exit 0; fi
exec /usr/bin/id "$@"
STUB
chmod +x "$stubs"/*

failures=0
fail() { echo "FAIL [$case_name]: $*"; failures=$((failures + 1)); }

# case name | id -u | dpkg-query answers | expected way to root ("" or "(sudo) ")
cases=(
  "root, fresh machine|0|missing|"
  "user, fresh machine|1000|missing|(sudo) "
  "root, all installed|0|installed|-"
  "user, all installed|1000|installed|-"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r case_name uid packages via <<<"$entry"
  log=$work/log
  : >"$log"
  output=$(QUARN_LOG=$log QUARN_UID=$uid QUARN_PACKAGES=$packages PATH="$stubs:$PATH" \
             bash "$script" 2>&1 </dev/null)
  status=$?
  [ $status -eq 0 ] || fail "exit status $status; output: $output"

  queried=$(sed -n 's/^dpkg-query //p' "$log")
  [ -n "$queried" ] || fail "no package was looked up"
  install=$(grep '^apt-get.* install ' "$log")
  if [ "$via" = - ]; then
    [ -z "$(grep -v '^dpkg-query ' "$log")" ] || fail "acted although nothing is missing: $(cat "$log")"
    continue
  fi

  [ -n "$install" ] || { fail "apt-get install was not asked: $(cat "$log")"; continue; }
  [ "$(grep -c '^apt-get.* install ' "$log")" -eq 1 ] || fail "more than one install: $install"
  for p in $queried; do
    grep -qw -- "$p" <<<"$install" || fail "package $p not installed: $install"
  done
  grep -q "^apt-get ${via}frontend=noninteractive .*install -y" <<<"$install" ||
    fail "install not run ${via:-as root }without prompts: $install"
  grep -q "^apt-get ${via}frontend=.* update" "$log" || fail "apt-get update not run ${via}: $(cat "$log")"
  grep -q "^debconf-set-selections ${via}wireshark-common" "$log" ||
    fail "the capture question was not answered ${via}: $(cat "$log")"
  if [ -z "$via" ] && grep -q '^sudo ' "$log"; then fail "sudo used as root: $(cat "$log")"; fi
done

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed for $script"
  exit 1
fi
echo "install-deps: all ${#cases[@]} cases passed"
