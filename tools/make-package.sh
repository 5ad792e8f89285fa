#!/usr/bin/env bash
# Lays out the update package that runs on a machine without Qt, and packs it:
#
#   tools/make-package.sh <build folder> <package folder>
#
# The package folder (created afresh; an existing one is replaced only when this script made it):
#   quenta-setup            the wizard, finding its libraries in lib/ through its run path
#   settings.ini            an example: every key explained, the entries commented out
#   QuentaSetupData/Client/ and QuentaSetupData/Орвел-Квело/   empty, for the vendor's files
#   qt.conf                 points Qt at lib/plugins/ and nowhere else
#   lib/                    every library quenta-setup needs but those of package-system-libraries.txt
#   lib/plugins/            Qt's platform plugins: xcb, offscreen, wayland when installed
#   licences/               the Debian copyright file of every package a library came from, the
#                           licence texts they refer to, and which library came from where
# The archive quenta-setup-<version>-linux-<machine>.tar.gz is written beside the package folder;
# it holds one folder, quenta-setup-<version>/, and its path is in the package folder's marker file
# .quenta-package (left out of the archive). GZIP_LEVEL (default 6) trades its size for time.
# Needs patchelf, readelf (binutils), qtpaths6, dpkg.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <build folder> <package folder>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$1" && pwd)
EXE=$BUILD/bin/quenta-setup
[ -x "$EXE" ] || { echo "$0: $EXE is missing; build first" >&2; exit 1; }
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$VERSION" ] || { echo "$0: no project version in $BUILD/CMakeCache.txt" >&2; exit 1; }
for tool in patchelf readelf strip qtpaths6 dpkg-query; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
done
QT_PLUGINS=$(qtpaths6 --query QT_INSTALL_PLUGINS)

PKG=$2
MARKER=.quenta-package
# shellcheck source=tools/fresh-folder.sh
. "$ROOT/tools/fresh-folder.sh"
PKG=$(fresh_folder "$PKG" "$MARKER") || exit 1
# An archive of an earlier run must not outlive a run that fails.
ARCHIVE=$(dirname "$PKG")/quenta-setup-$VERSION-linux-$(uname -m).tar.gz
rm -f "$ARCHIVE"
mkdir -p "$PKG/lib/plugins" "$PKG/licences" "$PKG/QuentaSetupData/Client" "$PKG/QuentaSetupData/Орвел-Квело"

# Plugins the wizard may need: a display on X or Wayland, none at all, and compose keys on both.
# The wizard draws no OpenGL, so no GL integration plugin travels. Required ones are marked "!".
PLUGINS=(
  '!platforms/libqxcb.so'
  '!platforms/libqoffscreen.so'
  platforms/libqwayland-generic.so
  wayland-shell-integration/libxdg-shell.so
  wayland-decoration-client/libbradient.so
  platforminputcontexts/libcomposeplatforminputcontextplugin.so
)

# shellcheck source=tools/package-system-libraries.sh
. "$ROOT/tools/package-system-libraries.sh"

needed_libraries() { # <ELF file>: its DT_NEEDED names
  readelf -d "$1" | sed -n 's/.*(NEEDED).*Shared library: \[\(.*\)\]/\1/p'
}

# Where the build machine's loader finds each library name, as ldd says for the program and the
# plugins (ldd follows the whole tree, so this covers every name the walk below meets).
declare -A FOUND=()
remember_resolutions() { # <ELF file>
  local name arrow path rest
  while read -r name arrow path rest; do
    [ "$arrow" = "=>" ] || continue
    if [ "$path" = "not" ]; then
      is_system_library "$name" && continue
      echo "$0: $1 needs $name, which this machine does not have" >&2
      exit 1
    fi
    FOUND[$name]=$path
  done < <(ldd "$1")
}

sources=("$EXE")
plugin_targets=()
for plugin in "${PLUGINS[@]}"; do
  required=false
  if [[ $plugin == !* ]]; then required=true; plugin=${plugin#!}; fi
  if [ -f "$QT_PLUGINS/$plugin" ]; then
    sources+=("$QT_PLUGINS/$plugin")
    plugin_targets+=("$plugin")
  elif $required; then
    echo "$0: the Qt plugin $QT_PLUGINS/$plugin is missing" >&2
    exit 1
  fi
done
for origin in "${sources[@]}"; do remember_resolutions "$origin"; done

# The program and the plugins, each with a run path that leads to lib/. The run path (not the
# older rpath) lets each library look for its own needs in lib/ too, so ldd of any file of the
# package shows what the loader will do. The program's symbols only help a debugger: the build
# keeps them.
strip --strip-unneeded -o "$PKG/quenta-setup" "$EXE"
patchelf --set-rpath '$ORIGIN/lib' "$PKG/quenta-setup"
for plugin in "${plugin_targets[@]}"; do
  mkdir -p "$PKG/lib/plugins/$(dirname "$plugin")"
  cp "$QT_PLUGINS/$plugin" "$PKG/lib/plugins/$plugin"
  patchelf --set-rpath '$ORIGIN/../..' "$PKG/lib/plugins/$plugin"
done

# The libraries, walked from what the program and the plugins name. A system library is not
# followed: what it needs is the system's business (the machine's libXdmcp finds its own libbsd).
queue=("$PKG/quenta-setup")
for plugin in "${plugin_targets[@]}"; do queue+=("$PKG/lib/plugins/$plugin"); done
declare -A COPIED=()
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r name; do
    [ -n "$name" ] || continue
    is_system_library "$name" && continue
    [ -z "${COPIED[$name]:-}" ] || continue
    origin=${FOUND[$name]:-}
    [ -n "$origin" ] || { echo "$0: cannot tell where $name (needed by $file) lies" >&2; exit 1; }
    cp -L "$origin" "$PKG/lib/$name"
    chmod 644 "$PKG/lib/$name"
    patchelf --set-rpath '$ORIGIN' "$PKG/lib/$name"
    COPIED[$name]=$origin
    queue+=("$PKG/lib/$name")
  done < <(needed_libraries "$file")
done

# Licences: the Debian copyright file of each package a copied file came from (the LGPL asks for
# Qt's; the others ask for their notices to travel with the binaries too) and the licence texts
# those files refer to, which Debian keeps apart in /usr/share/common-licenses.

# One dpkg-query for all files: it reads the whole package database on every call. A file may be
# registered under /lib or /usr/lib, and under its soname link or the file it names.
for plugin in "${plugin_targets[@]}"; do
  COPIED["plugins/$plugin"]=$QT_PLUGINS/$plugin
done
declare -A OWNER=()
candidates=()
for name in "${!COPIED[@]}"; do
  file=${COPIED[$name]}
  real=$(readlink -f "$file")
  candidates+=("$file" "${file#/usr}" "/usr$file" "$real" "${real#/usr}" "/usr$real")
done
while IFS= read -r line; do
  OWNER[${line#*: }]=${line%%:*}
done < <(dpkg-query -S "${candidates[@]}" 2>/dev/null || true)

declare -A PACKAGE_OF=() LICENSED=()
for name in "${!COPIED[@]}"; do
  file=${COPIED[$name]}
  real=$(readlink -f "$file")
  for candidate in "$file" "${file#/usr}" "/usr$file" "$real" "${real#/usr}" "/usr$real"; do
    if [ -n "${OWNER[$candidate]:-}" ]; then PACKAGE_OF[$name]=${OWNER[$candidate]}; break; fi
  done
  if [ -z "${PACKAGE_OF[$name]:-}" ]; then
    echo "$0: $file belongs to no Debian package; its licence is unknown" >&2
    exit 1
  fi
  LICENSED[${PACKAGE_OF[$name]}]=1
done
declare -A VERSION_OF=()
while read -r package version source_package; do
  VERSION_OF[$package]="$version $source_package"
done < <(dpkg-query -W -f '${Package} ${Version} ${source:Package}\n' "${!LICENSED[@]}")
{
  echo "Libraries of this package and the Debian 12 packages they were taken from"
  echo "(their sources: https://sources.debian.org/ or 'apt-get source <source package>')."
  echo
  printf '%-52s %-30s %-24s %s\n' "file" "package" "version" "source package"
  for name in $(printf '%s\n' "${!COPIED[@]}" | LC_ALL=C sort); do
    package=${PACKAGE_OF[$name]}
    read -r version source_package <<<"${VERSION_OF[$package]:-? ?}"
    printf '%-52s %-30s %-24s %s\n' "lib/$name" "$package" "$version" "$source_package"
  done
} >"$PKG/licences/libraries.txt"
for package in "${!LICENSED[@]}"; do
  copyright=/usr/share/doc/$package/copyright
  [ -f "$copyright" ] || { echo "$0: $copyright is missing" >&2; exit 1; }
  cp -L "$copyright" "$PKG/licences/$package.copyright"
done
mkdir -p "$PKG/licences/common-licenses"
{ grep -ohE '/usr/share/common-licenses/[A-Za-z0-9.+_-]+' "$PKG"/licences/*.copyright || true; } |
  sed 's/\.$//' | LC_ALL=C sort -u | while read -r text; do
    if [ -f "$text" ]; then cp -L "$text" "$PKG/licences/common-licenses/"; fi
  done

cat >"$PKG/qt.conf" <<'EOF'
; Qt looks for its plugins in lib/plugins/ beside quenta-setup, never in a Qt installed on the machine.
[Paths]
Prefix = .
Libraries = lib
Plugins = lib/plugins
EOF

# The example settings: UTF-8 with its byte-order mark, so Cyrillic names read as written.
HOST=$(sed -n 's/.*WebServiceHost = "\([^"]*\)";.*/\1/p' "$ROOT/Common/Ox.Types.h")
[ -n "$HOST" ] || { echo "$0: cannot read WebServiceHost from Common/Ox.Types.h" >&2; exit 1; }
{
  printf '\xEF\xBB\xBF'
  cat <<EOF
; Settings of this update package. The file is optional: without it both choice pages are shown,
; nothing is ticked in advance and no extensions are added. Lines starting with ";" are comments;
; section and key names ignore letter case. Paths are relative to QuentaSetupData/Орвел-Квело/,
; with "\\" or "/" between folders; entries naming nothing in the package are ignored.

[links]
; 0 skips the shortcut page: the items below then get their desktop shortcuts without a question.
showdialog=1
; Items ticked in advance on the shortcut page, a file or a folder each; the key names are free.
;manual=Руководство.pdf
;norms=Нормативы

[connections]
; 0 skips the data-source page: the items below are then registered without a question.
showdialog=1
; Folders ticked in advance as data sources of the client, or the web document service's host.
;norms=Нормативы
;web=$HOST

[CommonSettings.XML]
; File extensions the client opens with other programs, added to the client's list.
;ExternalFileExts=.pdf;.xls
EOF
} >"$PKG/settings.ini"

tar -C "$PKG" --exclude="./$MARKER" --sort=name --owner=0 --group=0 --numeric-owner \
  --transform "s,^\.,quenta-setup-$VERSION," -I "gzip -${GZIP_LEVEL:-6}" -cf "$ARCHIVE.tmp" .
mv "$ARCHIVE.tmp" "$ARCHIVE"
echo "$ARCHIVE" >"$PKG/$MARKER"
echo "Package in $PKG"
echo "Archive: $ARCHIVE ($(du -h "$ARCHIVE" | cut -f1))"
