#!/usr/bin/env bash
# The Debian package: builds it from this build tree, checks its control data and files,
# unpacks it into a scratch root (nothing is installed on the machine), packs a projector
# with the packaged tool and its default stub, and starts that projector.
#
#   package-e2e.sh BUILD_DIR MOVIE_MAKER
set -euo pipefail

build=$1 maker=$2
for program in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIP: $program is missing"
    exit 77
  fi
done

work=$(mktemp -d)
player_pid=""
cleanup() {
  [[ -n "$player_pid" ]] && kill "$player_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
deb=$(ls "$work"/out/orvane_*.deb 2>/dev/null | head -n1)
[[ -n "$deb" ]] || fail "no .deb made: $(tail -n 20 "$work/cpack.log")"

# Depends names the libraries the programs link and the Qt platform plugins.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libc6 zlib1g liblzma5 qt6-qpa-plugins; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/orvane usr/bin/orvane-tool usr/lib/orvane/orvane-stub \
    usr/share/applications/orvane.desktop usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml \
    usr/share/man/man1/orvane.1.gz usr/share/man/man1/orvane-tool.1.gz usr/share/doc/orvane/copyright \
    usr/share/icons/hicolor/16x16/apps/orvane.png usr/share/icons/hicolor/256x256/apps/orvane.png \
    usr/share/icons/hicolor/scalable/apps/orvane.svg; do
  [[ -e "$root/$file" ]] || fail "the package lacks /$file"
done
stub_size=$(stat -c %s "$root/usr/lib/orvane/orvane-stub")
# Both script machines, text, sound and video make the engine; the budget catches a stub
# that stops being stripped or links something it should not.
((stub_size < 3 * 1024 * 1024)) || fail "the projector stub weighs $stub_size bytes, not under 3 MB"
grep -q '^Exec=orvane %f$' "$root/usr/share/applications/orvane.desktop" || fail "the desktop entry does not pass %f"
grep -q 'application/x-shockwave-flash' "$root/usr/share/applications/orvane.desktop" ||
  fail "the desktop entry does not register SWF files"

# Validators, where the machine has them.
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/orvane.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.orvane.Orvane.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/as.log")"
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
fi

# Pack with the packaged tool and its default stub, then start the projector.
"$maker" "$work/movie.swf" 320 240 3366CC
"$root/usr/bin/orvane-tool" pack "$work/movie.swf" -o "$work/mymovie" >"$work/pack.log" ||
  fail "pack: $(cat "$work/pack.log")"
grep -q "$stub_size stub bytes" "$work/pack.log" || fail "pack did not use the packaged stub: $(cat "$work/pack.log")"
mkdir -m 700 "$work/run"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" "$work/mymovie" >"$work/player.log" 2>&1 &
player_pid=$!
for _ in $(seq 100); do
  cmp -s "$work/movie.swf" "$work/run/orvane/player.swf" && break
  sleep 0.1
done
cmp -s "$work/movie.swf" "$work/run/orvane/player.swf" || fail "the projector did not extract its movie: $(cat "$work/player.log")"
sleep 1
kill -0 "$player_pid" 2>/dev/null || fail "the projector died: $(cat "$work/player.log")"
echo "PASS: $(basename "$deb"), stub $stub_size bytes, Depends: $depends"
