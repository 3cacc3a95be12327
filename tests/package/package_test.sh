#!/usr/bin/env bash
# The Debian package, made by CPack from this build into a temporary folder and
# unpacked there (never installed): exactly the files it must hold, a postinst
# that grants the analyzer its capabilities, dependencies, man pages that render,
# no lintian errors, and the README's C example built through the package's own
# pkg-config file, header and library.
#
# usage: package_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  [ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  echo "package: all checks passed"
  exit 0
}

if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log"
  fail "cpack failed"
  finish
fi
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
deb=$work/out/quarn-analyzer_1.0.0_${arch}.deb
[ -f "$deb" ] || { fail "no $(basename "$deb"): $(ls "$work/out")"; finish; }
root=$work/root
dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$work/control" || { fail "cannot unpack $deb"; finish; }

# Every file and link of the package, and nothing else.
lib=usr/lib/$multiarch
expected=(
  usr/bin/analyzer
  usr/bin/quarn-report
  usr/bin/quarn-db
  "$lib/libfrimble.so.1.0.0"
  "$lib/libfrimble.so.1"
  "$lib/libfrimble.so"
  "$lib/pkgconfig/frimble.pc"
  usr/include/frimble/frimble.h
  usr/share/man/man1/analyzer.1.gz
  usr/share/man/man1/quarn-report.1.gz
  usr/share/man/man1/quarn-db.1.gz
  usr/share/man/man3/frimble.3.gz
  usr/share/applications/quarn-analyzer.desktop
  usr/share/icons/hicolor/64x64/apps/quarn-analyzer.png
  usr/share/doc/quarn-analyzer/copyright
  usr/share/doc/quarn-analyzer/changelog.gz
)
actual=$(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || fail "package contents differ from the list:
$(diff <(echo "$wanted") <(echo "$actual"))"
for program in usr/bin/analyzer usr/bin/quarn-report usr/bin/quarn-db; do
  [ -x "$root/$program" ] || fail "$program is not executable"
done
version=$("$root/usr/bin/quarn-db" --version 2>&1)
[ "$version" = "quarn-db 1.0" ] || fail "the packaged quarn-db does not run: $version"
[ "$(readlink "$root/$lib/libfrimble.so.1")" = libfrimble.so.1.0.0 ] || fail "soname link libfrimble.so.1 is wrong"
[ "$(readlink "$root/$lib/libfrimble.so")" = libfrimble.so.1 ] || fail "dev link libfrimble.so is wrong"
readelf -d "$root/$lib/libfrimble.so.1.0.0" | grep 'SONAME.*\[libfrimble.so.1\]' >/dev/null || fail "library soname is not libfrimble.so.1"
readelf -d "$root/usr/bin/analyzer" | grep 'NEEDED.*\[libfrimble.so.1\]' >/dev/null || fail "analyzer does not load libfrimble.so.1"
if readelf -d "$root/usr/bin/analyzer" "$root/usr/bin/quarn-report" "$root/usr/bin/quarn-db" |
  grep -E 'RPATH|RUNPATH' >/dev/null; then
  fail "an installed program keeps a build-tree run path"
fi

# Control part: the capabilities granted on configure, the ldconfig trigger, and
# dependencies from shlibdeps plus the four it cannot see.
postinst=$work/control/postinst
[ -x "$postinst" ] || fail "no executable postinst"
mkdir "$work/stubs"
printf '#!/bin/sh\necho "setcap $*" >>"%s"\n' "$work/setcap.log" >"$work/stubs/setcap"
chmod +x "$work/stubs/setcap"
PATH="$work/stubs:$PATH" sh "$postinst" configure || fail "postinst configure failed"
grep -qx 'setcap cap_net_raw,cap_net_admin+ep /usr/bin/analyzer' "$work/setcap.log" 2>/dev/null ||
  fail "postinst does not grant cap_net_raw,cap_net_admin to /usr/bin/analyzer"
grep -q 'activate-noawait ldconfig' "$work/control/triggers" 2>/dev/null || fail "no ldconfig trigger"
grep -q '^libfrimble 1 quarn-analyzer' "$work/control/shlibs" 2>/dev/null || fail "no shlibs entry for libfrimble"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for package in libcap2-bin qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql libc6 libstdc++6 libqt6widgets6 \
  libqt6sql6 libpcap0.8; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done
if grep -qxF quarn-analyzer <<<"$names"; then fail "the package depends on itself: $depends"; fi

# Man pages: gzipped, free of roff warnings, the library page showing the example.
for page in usr/share/man/man1/analyzer.1.gz usr/share/man/man1/quarn-report.1.gz usr/share/man/man1/quarn-db.1.gz \
  usr/share/man/man3/frimble.3.gz; do
  warnings=$(zcat "$root/$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
page=$(zcat "$root/usr/share/man/man3/frimble.3.gz" | groff -man -Tutf8 2>/dev/null | col -bx)
grep -qF 'if (!PacketGetAdapterNames(names, &size)) return 1;' <<<"$page" || fail "frimble(3) lacks the example"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
else
  echo "lintian is not installed: its check is left out"
fi

# The README's example, built against the unpacked package only.
flags=$(PKG_CONFIG_LIBDIR="$root/$lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" \
        PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 pkg-config --cflags --libs frimble |
        sed 's/ *$//')
[ "$flags" = "-I$root/usr/include -L$root/$lib -lfrimble" ] || fail "pkg-config frimble gives: $flags"
if ! cc -Wall -Wextra -Werror "$source/docs/examples/list_and_receive.c" $flags -o "$work/example" 2>"$work/cc.log"; then
  fail "the example does not build: $(cat "$work/cc.log")"
  finish
fi
resolved=$(LD_LIBRARY_PATH="$root/$lib" ldd "$work/example" | grep libfrimble)
grep -qF "$root/$lib/libfrimble.so.1" <<<"$resolved" || fail "example does not load the package's library: $resolved"
# In a network namespace of its own there is no adapter: it must load, list
# nothing and say it cannot open one.
if unshare --user --map-root-user --net true 2>/dev/null; then
  output=$(LD_LIBRARY_PATH="$root/$lib" timeout 20 unshare --user --map-root-user --net "$work/example" 2>&1)
  status=$?
  [ $status -eq 1 ] && [ "$output" = "cannot open the first adapter" ] ||
    fail "example in an empty namespace: status $status, output: $output"
else
  output=$(LD_LIBRARY_PATH="$root/$lib" timeout 5 "$work/example" 2>&1)
  status=$?
  [ $status -ne 127 ] && ! grep -q 'error while loading' <<<"$output" || fail "example does not load: $output"
fi
finish
