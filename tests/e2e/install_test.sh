#!/usr/bin/env bash
# What a player's machine gets, checked the way Debian and the desktops check it.
#
#   install_test.sh layout  SOURCE_DIR BUILD_DIR
#       `make install DESTDIR=<scratch>` lays out exactly the expected files,
#       desktop-file-validate, appstreamcli and man --warnings accept them,
#       and the metainfo gives each screenshot the size of its picture.
#   install_test.sh package SOURCE_DIR BUILD_DIR
#       the .deb passes lintian without errors, installs into a scratch root
#       with dpkg --root (never this machine's /usr), runs from there, and
#       removes cleanly.
# Exit status 0 passed, 1 failed, 77 skipped (a tool missing).
set -u
mode=$1 src=$2 build=$3
id=org.burrowrotor.Burrowrotor
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
export PATH=$PATH:/usr/sbin:/sbin  # dpkg looks for ldconfig and friends
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "skipped: $*"; exit 77; }
need() { for t in "$@"; do command -v "$t" >/dev/null || skip "$t is not installed (make test installs it)"; done; }

# The files under PREFIX, as `make install` and the package lay them out.
# shellcheck disable=SC2059  # the prefix has no %
expected_files() {
  printf "$1/%s\n" games/burrowrotor games/burrowrotor-headless share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/man/man6/burrowrotor.6.gz share/man/man6/burrowrotor-headless.6.gz \
    share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png
}

# The files of a tree against the list; both installed programs run.
check_tree() {  # ROOT PREFIX [EXTRA FILE...]
  local root=$1 prefix=$2
  shift 2
  (cd "$root" && find usr -type f -o -type l | sed 's|^|/|' | sort) >"$tmp/got"
  { expected_files "$prefix"; [ $# -eq 0 ] || printf "%s\n" "$@"; } | sort >"$tmp/want"
  diff -u "$tmp/want" "$tmp/got" || fail "$root holds other files than expected (- missing, + extra)"
  out=$("$root$prefix/games/burrowrotor" --version) || fail "burrowrotor --version failed"
  [ "$out" = "burrowrotor $version" ] || fail "burrowrotor --version printed '$out', not 'burrowrotor $version'"
  "$root$prefix/games/burrowrotor-headless" --frames 1 || fail "burrowrotor-headless --frames 1 failed"
}

if [ "$mode" = layout ]; then
  need make desktop-file-validate appstreamcli man file
  # Through the Makefile, as a person or a packaging script runs it.
  unset MAKEFLAGS MFLAGS MAKELEVEL
  make -s -C "$src" install PLAY_BUILD="$build" DESTDIR="$root" >"$tmp/install.log" 2>&1 ||
    fail "make install failed: $(tail -5 "$tmp/install.log")"
  share=$root/usr/local/share
  check_tree "$root" /usr/local
  out=$(desktop-file-validate "$share/applications/$id.desktop" 2>&1)
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  out=$(appstreamcli validate --no-net --no-color "$share/metainfo/$id.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"
  # Each screenshot's stated size is that of its picture in docs/.
  while IFS='"' read -r _ w _ h url; do
    file "$src/docs/${url##*/}" | grep -q "PNG image data, $w x $h," || fail "metainfo says $w x $h for ${url##*/}"
  done < <(grep -o 'width="[0-9]*" height="[0-9]*">[^<]*' "$share/metainfo/$id.metainfo.xml")
  for page in "$share"/man/man6/*.6.gz; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man --warnings $(basename "$page"): $out"
    # Every flag the program's own --help names has its paragraph in the page.
    prog=$root/usr/local/games/$(basename "$page" .6.gz)
    for flag in $("$prog" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      zcat "$page" | sed 's/\\-/-/g' | grep -Eq -- "^\\.B[IR]? $flag([ ,]|\$)" ||
        fail "$(basename "$page") has no paragraph on $flag"
    done
  done
  echo "make install: $(wc -l <"$tmp/want") files, validators and man --warnings quiet"
  exit 0
fi

[ "$mode" = package ] || fail "unknown mode '$mode'"
need cpack dpkg dpkg-deb dpkg-shlibdeps lintian fakeroot
(cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1) || fail "cpack failed: $(tail -5 "$tmp/cpack.log")"
deb=$(ls "$tmp"/out/burrowrotor_*.deb) || fail "cpack wrote no burrowrotor_*.deb"
deb_version=$(dpkg-deb -f "$deb" Version)
log_version=$(zcat -f "$src/packaging/changelog" | sed -n '1s/^burrowrotor (\([^)]*\)).*/\1/p')
[ "$deb_version" = "$log_version" ] || fail "package version $deb_version but packaging/changelog's top entry is $log_version"
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || fail "lintian: $(grep '^E:' "$tmp/lintian.log" | head -5)"

# A scratch root with an empty package database and dpkg's log beside it;
# fakeroot gives the files their owners, as root or not. The package's
# dependencies live on this machine, not in the scratch root, hence
# --force-depends.
dpkg=(fakeroot dpkg --force-not-root --root="$root" --log="$tmp/dpkg-actions.log")
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
"${dpkg[@]}" --force-depends -i "$deb" >"$tmp/dpkg.log" 2>&1 || fail "dpkg -i: $(tail -3 "$tmp/dpkg.log")"
check_tree "$root" /usr /usr/share/doc/burrowrotor/copyright /usr/share/doc/burrowrotor/changelog.Debian.gz \
  /usr/share/lintian/overrides/burrowrotor
"${dpkg[@]}" -P burrowrotor >>"$tmp/dpkg.log" 2>&1 || fail "dpkg -P: $(tail -3 "$tmp/dpkg.log")"
left=$(cd "$root" && find . -path ./var -prune -o ! -type d -print)
[ -z "$left" ] || fail "files left after removal: $left"
echo "package: $(basename "$deb"), lintian without errors, installed, ran, removed"
