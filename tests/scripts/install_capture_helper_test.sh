#!/usr/bin/env bash
# scripts/install-capture-helper as a developer's ordinary account would run
# it, against stand-in tools first on PATH: the machine's state (the group, the
# helper, the libfrimble1 package, the user's membership) is what each case
# says, and every tool run through sudo is only recorded. Each case lists the
# commands sudo must be asked to run, in order, and nothing more.
#
# usage: install_capture_helper_test.sh [path of the script to check]
set -uo pipefail

script=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-capture-helper}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs=$work/bin
mkdir -p "$stubs"
# The state of the stand-in machine: QUARN_STATE holds the words group,
# helper, package and member for what is there.
stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$stubs/$1"; chmod +x "$stubs/$1"; }
stub id 'case $1 in -u) echo "${QUARN_UID:-1000}";; -un) echo dev;; -nG) [[ " $QUARN_STATE " == *" member "* ]] && echo "dev quarn-capture" || echo dev;; esac'
stub getent '[[ " $QUARN_STATE " == *" group "* ]]'
stub dpkg-query '[[ " $QUARN_STATE " == *" package "* ]] && printf "install ok installed"'
stub cmp '[[ " $QUARN_STATE " == *" helper "* ]]'
stub getcap '[[ " $QUARN_STATE " == *" helper "* ]] && echo "$1 cap_net_raw=ep"'
stub sudo 'echo "$*" >>"$QUARN_LOG"; [ "$1" != cmp ]'

failures=0
check() { # name, state, uid, expected sudo commands (one per line)
  : >"$work/log"
  QUARN_STATE=$2 QUARN_UID=$3 QUARN_LOG=$work/log PATH="$stubs:$PATH" \
    "$script" /build/capture-helper /usr/lib/quarn-analyzer/capture-helper >/dev/null 2>"$work/err"
  local status=$?
  if [ $status -ne 0 ] || [ "$(cat "$work/log")" != "$4" ]; then
    echo "FAIL: $1: status $status, sudo was asked for:"
    cat "$work/log" "$work/err"
    failures=$((failures + 1))
  fi
}

check "a fresh machine" "" 1000 "groupadd --system quarn-capture
cmp -s /build/capture-helper /usr/lib/quarn-analyzer/capture-helper
install -D -o root -g quarn-capture -m 0750 /build/capture-helper /usr/lib/quarn-analyzer/capture-helper
setcap cap_net_raw+ep /usr/lib/quarn-analyzer/capture-helper
usermod -aG quarn-capture dev"
check "everything in place" "group helper member" 1000 ""
check "the package provides the helper" "group package" 1000 "usermod -aG quarn-capture dev"
check "root needs no helper" "" 0 ""

[ $failures -eq 0 ] || exit 1
echo "install-capture-helper: all cases passed"
