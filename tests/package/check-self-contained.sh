#!/usr/bin/env bash
# The update package made from a build carries every library quenta-setup needs, apart from those
# it takes from the machine (tools/package-system-libraries.txt):
#   - as ldd resolves them: each library a file of the package names is found inside the package;
#   - as the loader does it: started under the offscreen platform, the packaged program loads its
#     Qt, its platform plugin and their libraries from the package, not from this machine's Qt.
#   - it carries no HTTP or TLS library: the wizard makes no network request.
#
#   check-self-contained.sh <source folder> <build folder>
set -euo pipefail

SRC=$1
BUILD=$2
TMP=$(mktemp -d)
PROGRAM_PID=
cleanup() {
  if [ -n "$PROGRAM_PID" ]; then kill "$PROGRAM_PID" 2>/dev/null || true; fi
  rm -rf "$TMP"
}
trap cleanup EXIT

# shellcheck source=tools/package-system-libraries.sh
. "$SRC/tools/package-system-libraries.sh"
GZIP_LEVEL=1 "$SRC/tools/make-package.sh" "$BUILD" "$TMP/package" >"$TMP/make-package.log" 2>&1 ||
  { cat "$TMP/make-package.log"; exit 1; }
PKG=$TMP/package

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

inside_package() { [[ $1 == "$PKG"/* ]]; }

# --- as ldd resolves them -------------------------------------------------------------------------
while read -r line; do
  fail "$line"
done < <(libraries_from_outside "$PKG" "$PKG")

for expected in quenta-setup lib/libQt6Widgets.so.6 lib/libQt6Core.so.6 lib/libstdc++.so.6 \
  lib/plugins/platforms/libqxcb.so lib/plugins/platforms/libqoffscreen.so qt.conf settings.ini \
  licences/libqt6core6.copyright; do
  [ -f "$PKG/$expected" ] || fail "the package has no $expected"
done
for folder in "QuentaSetupData/Client" "QuentaSetupData/Орвел-Квело"; do
  [ -d "$PKG/$folder" ] || fail "the package has no folder $folder"
done
# quenta-setup makes no network request: no HTTP, TLS, Kerberos or LDAP library may travel (each
# would have to be shipped again for its security updates).
for unwanted in libcurl libssl libcrypto libgnutls libnettle libhogweed libgssapi_krb5 libkrb5 libk5crypto \
  libldap liblber libsasl2 libssh2 libnghttp2 librtmp; do
  for found in "$PKG"/lib/"$unwanted".so* "$PKG"/lib/"$unwanted"-*.so*; do
    [ -e "$found" ] && fail "the package carries ${found#"$PKG"/}, which quenta-setup never calls"
  done
done
# Qt is under the LGPL: its text must travel, not only the reference to it.
grep -q 'common-licenses/LGPL-3' "$PKG/licences/libqt6core6.copyright" && [ ! -f "$PKG/licences/common-licenses/LGPL-3" ] &&
  fail "Qt's copyright names the LGPL-3, but its text is not in licences/common-licenses/"

# --- the archive ----------------------------------------------------------------------------------
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
ARCHIVE=$TMP/quenta-setup-$VERSION-linux-$(uname -m).tar.gz
if [ -f "$ARCHIVE" ]; then
  # Names as they are: in the C locale tar would print the Cyrillic ones as octal escapes.
  tar --quoting-style=literal -tzf "$ARCHIVE" >"$TMP/archive.list"
  for entry in quenta-setup qt.conf lib/libQt6Core.so.6 "QuentaSetupData/Орвел-Квело/"; do
    grep -qxF "quenta-setup-$VERSION/$entry" "$TMP/archive.list" || fail "the archive lacks quenta-setup-$VERSION/$entry"
  done
  grep -v "^quenta-setup-$VERSION/" "$TMP/archive.list" | grep -q . && fail "the archive holds entries outside quenta-setup-$VERSION/"
  grep -q '\.quenta-package' "$TMP/archive.list" && fail "the archive holds the package folder's marker"
else
  fail "no archive $(basename "$ARCHIVE") beside the package folder"
fi

# --- as the loader does it ------------------------------------------------------------------------
# A machine's own Qt must not be picked up: without qt.conf, Qt would load this machine's plugins.
mkdir -p "$TMP/home"
HOME=$TMP/home XDG_CACHE_HOME=$TMP/home/.cache XDG_CONFIG_HOME=$TMP/home/.config \
  XDG_DATA_HOME=$TMP/home/.local/share ORVEL_REGISTRY_DIR=$TMP/registry ORVEL_COMMON_APPDATA=$TMP/common \
  QT_QPA_PLATFORM=offscreen QUENTA_SETUP_AUTO_ANSWER=no LD_DEBUG=files LD_DEBUG_OUTPUT=$TMP/loader \
  "$PKG/quenta-setup" 2>"$TMP/program.log" &
PROGRAM_PID=$!
shown=false
for ((i = 0; i < 600; i++)); do
  if grep -q '^quenta-setup: window shown' "$TMP/program.log"; then shown=true; break; fi
  kill -0 "$PROGRAM_PID" 2>/dev/null || break
  sleep 0.1
done
kill "$PROGRAM_PID" 2>/dev/null || true
wait "$PROGRAM_PID" 2>/dev/null || true
PROGRAM_PID=
if ! $shown; then
  cat "$TMP/program.log" >&2
  fail "the packaged quenta-setup did not show its window"
fi

# Every object the loader initialised. One from outside the package must be a system library or
# be needed by one (libXdmcp brings libbsd, which the package rightly does not carry).
sed -n 's/.*calling init: //p' "$TMP"/loader.* | sort -u >"$TMP/loaded"
grep -q "^$PKG/lib/plugins/platforms/libqoffscreen.so$" "$TMP/loaded" ||
  fail "the offscreen plugin was not loaded from the package"
declare -A needed_outside=()
while read -r path; do
  inside_package "$path" && continue
  while read -r name; do needed_outside[$name]=1; done < <(readelf -d "$path" | sed -n 's/.*(NEEDED).*Shared library: \[\(.*\)\]/\1/p')
done <"$TMP/loaded"
while read -r path; do
  inside_package "$path" && continue
  name=$(basename "$path")
  is_system_library "$name" || [ -n "${needed_outside[$name]:-}" ] || fail "the program loaded $path from this machine"
done <"$TMP/loaded"

[ "$failures" -eq 0 ] || exit 1
