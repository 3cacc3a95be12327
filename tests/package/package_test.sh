#!/usr/bin/env bash
# The Debian packages, made by CPack from this build into a temporary folder and
# unpacked there (never installed): exactly the files each must hold, the one
# capability granted (to the capture helper, in libfrimble1's postinst),
# dependencies, man pages that render, no lintian error or warning, and the
# README's C example built through the packages' own pkg-config file, header
# and library.
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
version=$(sed -n 's/^project(QuarnAnalyzer VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
packages=(libfrimble1 libfrimble-dev quarn-analyzer)
debs=()
root=$work/root
for package in "${packages[@]}"; do
  deb=$work/out/${package}_${version}_${arch}.deb
  [ -f "$deb" ] || { fail "no $(basename "$deb"): $(ls "$work/out")"; finish; }
  debs+=("$deb")
  mkdir -p "$work/$package"
  dpkg-deb -x "$deb" "$work/$package" && dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$work/control-$package" ||
    { fail "cannot unpack $deb"; finish; }
done

# Every file and link of each package, and nothing else.
lib=usr/lib/$multiarch
helper=usr/lib/quarn-analyzer/capture-helper
declare -A expected=(
  [libfrimble1]="$lib/libfrimble.so.$version $lib/libfrimble.so.1 $helper"
  [libfrimble-dev]="$lib/libfrimble.so $lib/pkgconfig/frimble.pc usr/include/frimble/frimble.h
    usr/share/man/man3/frimble.3.gz"
  [quarn-analyzer]="usr/bin/analyzer usr/bin/quarn-report usr/bin/quarn-db usr/share/man/man1/analyzer.1.gz
    usr/share/man/man1/quarn-report.1.gz usr/share/man/man1/quarn-db.1.gz
    usr/share/applications/quarn-analyzer.desktop usr/share/icons/hicolor/64x64/apps/quarn-analyzer.png"
)
for package in "${packages[@]}"; do
  wanted=$(printf '%s\n' ${expected[$package]} "usr/share/doc/$package/copyright" \
    "usr/share/doc/$package/changelog.gz" | sort)
  actual=$(cd "$work/$package" && find . ! -type d | sed 's|^\./||' | sort)
  [ "$actual" = "$wanted" ] || fail "$package: contents differ from the list:
$(diff <(echo "$wanted") <(echo "$actual"))"
  grep -q '^License: BSD-3-Clause$' "$work/$package/usr/share/doc/$package/copyright" ||
    fail "$package: the copyright file carries no BSD-3-Clause licence"
done
for program in usr/bin/analyzer usr/bin/quarn-report usr/bin/quarn-db "$helper"; do
  [ -x "$root/$program" ] || fail "$program is not executable"
done
db_version=$("$root/usr/bin/quarn-db" --version 2>&1)
[ "$db_version" = "quarn-db 1.0" ] || fail "the packaged quarn-db does not run: $db_version"
[ "$(readlink "$root/$lib/libfrimble.so.1")" = "libfrimble.so.$version" ] || fail "soname link libfrimble.so.1 is wrong"
[ "$(readlink "$root/$lib/libfrimble.so")" = libfrimble.so.1 ] || fail "dev link libfrimble.so is wrong"
readelf -d "$root/$lib/libfrimble.so.$version" | grep 'SONAME.*\[libfrimble.so.1\]' >/dev/null ||
  fail "library soname is not libfrimble.so.1"
readelf -d "$root/usr/bin/analyzer" | grep 'NEEDED.*\[libfrimble.so.1\]' >/dev/null || fail "analyzer does not load libfrimble.so.1"
if readelf -d "$root/usr/bin/analyzer" "$root/usr/bin/quarn-report" "$root/usr/bin/quarn-db" |
  grep -E 'RPATH|RUNPATH' >/dev/null; then
  fail "an installed program keeps a build-tree run path"
fi
# The helper: libc alone, and hardened as a program with a right should be.
needed=$(readelf -d "$root/$helper" | sed -n 's/.*NEEDED.*\[\(.*\)\]/\1/p')
[ "$needed" = libc.so.6 ] || fail "the capture helper loads more than libc: $needed"
readelf -d "$root/$helper" | grep -q 'FLAGS.*BIND_NOW' || fail "the capture helper is not linked with -z now"

# Control parts. Only libfrimble1 has maintainer scripts: its postinst makes
# the group and gives the helper its group, mode and capability, in that
# order (chown clears a capability); no other file gets one.
for package in libfrimble-dev quarn-analyzer; do
  extra=$(ls "$work/control-$package" | grep -vxE 'control|md5sums')
  [ -z "$extra" ] || fail "$package has maintainer scripts: $extra"
done
control=$work/control-libfrimble1
[ -x "$control/postinst" ] && [ -x "$control/postrm" ] || fail "libfrimble1 lacks an executable postinst or postrm"
mkdir "$work/stubs"
for tool in setcap chown chmod addgroup getent dpkg-statoverride; do
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n[ %s != getent ] && [ %s != dpkg-statoverride ]\n' \
    "$tool" "$work/scripts.log" "$tool" "$tool" >"$work/stubs/$tool"
  chmod +x "$work/stubs/$tool"
done
PATH="$work/stubs:$PATH" sh "$control/postinst" configure "" >"$work/postinst.out" || fail "postinst configure failed"
steps=$(grep -v '^getent\|^dpkg-statoverride' "$work/scripts.log")
[ "$steps" = "addgroup --system --quiet quarn-capture
chown root:quarn-capture /$helper
chmod 0750 /$helper
setcap cap_net_raw+ep /$helper" ] || fail "postinst does not set the helper up as it should:
$steps"
grep -q 'sudo adduser USER quarn-capture' "$work/postinst.out" || fail "postinst does not say how to add a user"
grep -q 'activate-noawait ldconfig' "$control/triggers" 2>/dev/null || fail "no ldconfig trigger"
grep -qx "libfrimble 1 libfrimble1 (>= $version)" "$control/shlibs" 2>/dev/null || fail "no shlibs entry for libfrimble"
names_of() { dpkg-deb -f "$work/out/$1_${version}_${arch}.deb" Depends | sed 's/ *([^)]*)//g; s/, */\n/g'; }
for package in adduser libcap2-bin libc6; do
  grep -qxF "$package" <<<"$(names_of libfrimble1)" || fail "libfrimble1 does not depend on $package"
done
for package in libfrimble1 qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql libc6 libstdc++6 libqt6widgets6 \
  libqt6sql6 libpcap0.8; do
  grep -qxF "$package" <<<"$(names_of quarn-analyzer)" || fail "quarn-analyzer does not depend on $package"
done
[ "$(dpkg-deb -f "$work/out/libfrimble-dev_${version}_${arch}.deb" Depends)" = "libfrimble1 (= $version)" ] ||
  fail "libfrimble-dev does not depend on libfrimble1 of its own version"

# Man pages: gzipped, free of roff warnings, the library page showing the example.
for page in usr/share/man/man1/analyzer.1.gz usr/share/man/man1/quarn-report.1.gz usr/share/man/man1/quarn-db.1.gz \
  usr/share/man/man3/frimble.3.gz; do
  warnings=$(zcat "$root/$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
page=$(zcat "$root/usr/share/man/man3/frimble.3.gz" | groff -man -Tutf8 2>/dev/null | col -bx)
grep -qF 'if (!PacketGetAdapterNames(names, &size)) return 1;' <<<"$page" || fail "frimble(3) lacks the example"

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "${debs[@]}" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
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
