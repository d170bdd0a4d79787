#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its metadata and file
# list, installs it into a scratch root and runs the installed program.
# Usage: check_package.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
for tool in cpack dpkg-deb dpkg dpkg-shlibdeps objdump; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1) \
    || { cat "$tmp/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb="$tmp/out/tarnwick_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$tmp/out"; fail "no tarnwick_${version}_${arch}.deb"; }

info=$(dpkg-deb -I "$deb") || fail "dpkg-deb -I"
field() { printf '%s\n' "$info" | sed -n "s/^ $1: //p"; }
[ "$(field Package)" = tarnwick ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6serialport6 libqt6httpserver6 qt6-qpa-plugins libqt6sql6-sqlite \
    libindidriver1 libcurl4; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $6}') || fail "dpkg-deb -c"
for f in ./usr/bin/tarnwick ./usr/bin/tarnwickd ./usr/lib/systemd/system/tarnwick.service ./usr/lib/systemd/system/tarnwick.socket \
    ./usr/share/applications/tarnwick.desktop ./usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
    ./usr/share/man/man1/tarnwick.1.gz ./usr/share/doc/tarnwick/README.md ./usr/share/doc/tarnwick/copyright \
    ./usr/bin/indi_tarnwick_weather ./usr/share/indi/indi_tarnwick_weather.xml; do
    printf '%s\n' "$files" | grep -qx -- "$f" || fail "the package lacks $f"
done
printf '%s\n' "$files" | grep -q '^\./\(build\|home\|tmp\|work\)' && fail "the package carries build paths"

# A scratch dpkg database: dpkg unpacks, registers and configures the package there.
root="$tmp/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr/bin"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-script-chrootless --force-not-root --log=/dev/null \
    -i "$deb" >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg --root -i"; }
grep -q '^Status: install ok installed' "$root/var/lib/dpkg/status" || fail "not installed in the scratch root"

for program in tarnwick tarnwickd; do
    out=$("$root/usr/bin/$program" --version) || fail "the installed $program does not run"
    [ "$out" = "$program $version" ] || fail "$program --version says '$out'"
done
# The service's program links nothing of the windows, the charts or the sounds.
needed=$(objdump -p "$root/usr/bin/tarnwickd" | awk '$1 == "NEEDED" {print $2}') || fail "objdump -p tarnwickd"
if printf '%s\n' "$needed" | grep -E 'libQt6(Widgets|Gui|Charts|Multimedia|OpenGL)|libX11|libxcb|libwayland'; then
    fail "tarnwickd links window-system libraries"
fi
man=$(zcat "$root/usr/share/man/man1/tarnwick.1.gz")
[[ "$man" == *'serial\-device'* && "$man" == *"tarnwick $version"* ]] || fail "the manual page is not the program's --help"
# INDI clients list the driver from its XML: the Weather group names our executable.
python3 - "$root/usr/share/indi/indi_tarnwick_weather.xml" "$version" <<'PY' || fail "the INDI driver's XML does not list it"
import sys, xml.etree.ElementTree as ET
device = ET.parse(sys.argv[1]).getroot().find("devGroup[@group='Weather']/device")
assert device.find("driver").text == "indi_tarnwick_weather" and device.find("version").text == sys.argv[2]
PY
grep -q '^Exec=tarnwick$' "$root/usr/share/applications/tarnwick.desktop" || fail "desktop entry Exec"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/tarnwick.desktop" || fail "desktop entry invalid"
fi
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" || fail "lintian"
fi
echo "package $deb checked"
