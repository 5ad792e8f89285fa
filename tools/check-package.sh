#!/usr/bin/env bash
# Runs the update package on a bare machine: a minimal Debian 12 root without Qt.
#
#   tools/check-package.sh <archive> <bin folder with make-test-exe and quenta-setup>
#
# The root is made once with debootstrap --variant=minbase from the configured package source and
# kept in ~/.cache/quenta-setup/debian12-root (QUENTA_DEBIAN_ROOT overrides). The libraries the
# package takes from the machine (tools/package-system-libraries.txt: the C library and the X,
# Wayland and GL libraries) are installed into it from Debian; nothing else. The archive is unpacked
# in /srv/quenta-check/ of the root beside a sandboxed installed client (tools/make-demo-sandbox.sh),
# the demo's package files take the place of the empty example ones, and quenta-setup runs there
# under chroot with Qt's offscreen platform. Needs root (debootstrap, chroot, mounting /proc).
set -euo pipefail

# The unattended update. Set to 1 once quenta-setup updates without a window (quenta-setup -silent,
# exit code 0 on success): the check then runs the whole update and looks at its result. Until then
# it checks that the program starts on the bare machine and shows its window.
UNATTENDED_UPDATE=1

if [ $# -ne 2 ]; then
  echo "usage: $0 <archive> <bin folder>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARCHIVE=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
BIN=$(cd "$2" && pwd)
[ -f "$ARCHIVE" ] || { echo "$0: $ARCHIVE is missing" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, chroot, mount)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "$0: debootstrap is missing" >&2; exit 1; }
# shellcheck source=tools/package-system-libraries.sh
. "$ROOT/tools/package-system-libraries.sh"

DEBIAN_ROOT=${QUENTA_DEBIAN_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/quenta-setup/debian12-root}
COMPLETE=.quenta-debian-root
started=$(date +%s)

# The first configured source of Debian packages that carries bookworm (one-line lists and deb822
# .sources files alike).
package_source() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                       if ($(i + 1) == "bookworm") { print $i; exit } }' "$file"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk 'function flush() { if (!found && types ~ /(^| )deb( |$)/ && suites ~ /(^| )bookworm( |$)/ && enabled != "no" && uris != "") { split(uris, u, " "); print u[1]; found = 1; exit }
                            types = suites = uris = ""; enabled = "yes" }
         BEGIN { enabled = "yes" }
         /^[ \t]*$/ { flush(); next }
         /^[ \t]*#/ { next }
         { key = tolower($1); sub(/^[^:]*:[ \t]*/, "") }
         key == "types:" { types = $0 } key == "suites:" { suites = $0 }
         key == "uris:" { uris = $0 } key == "enabled:" { enabled = tolower($0) }
         END { flush() }' "$file"
  done
}

if [ ! -e "$DEBIAN_ROOT/$COMPLETE" ]; then
  source=$(package_source | sed -n 1p)
  [ -n "$source" ] || { echo "$0: no configured package source carries bookworm" >&2; exit 1; }
  echo "Making a minimal Debian 12 root from $source in $DEBIAN_ROOT (once)"
  rm -rf "$DEBIAN_ROOT.partial" "$DEBIAN_ROOT"
  mkdir -p "$(dirname "$DEBIAN_ROOT")"
  debootstrap --variant=minbase bookworm "$DEBIAN_ROOT.partial" "$source"
  mv "$DEBIAN_ROOT.partial" "$DEBIAN_ROOT"
  touch "$DEBIAN_ROOT/$COMPLETE"
fi

mount -t proc proc "$DEBIAN_ROOT/proc"
trap 'umount "$DEBIAN_ROOT/proc"' EXIT
in_root() { # <command...>: runs in the root with a clean environment
  chroot "$DEBIAN_ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"
}

WORK_IN_ROOT=/srv/quenta-check
WORK=$DEBIAN_ROOT$WORK_IN_ROOT
rm -rf "$WORK"
mkdir -p "$WORK/unpacked"
tar -xzf "$ARCHIVE" -C "$WORK/unpacked"
PKG_NAME=$(ls "$WORK/unpacked")
[ "$(echo "$PKG_NAME" | wc -l)" -eq 1 ] || { echo "$0: the archive holds more than one folder" >&2; exit 1; }
mv "$WORK/unpacked/$PKG_NAME" "$WORK/package"
rmdir "$WORK/unpacked"
PKG_IN_ROOT=$WORK_IN_ROOT/package

# What the package expects from the machine: only libraries of the system list may be missing in
# a bare root; Debian's packages of them come in (the same packages as on this machine). They bring
# more along (Mesa brings ICU and libxml2), so the package's own libraries must then still be the
# ones found.
missing=$(in_root find "$PKG_IN_ROOT" -type f \( -name quenta-setup -o -name '*.so*' \) -exec ldd {} \; 2>/dev/null |
  awk '$2 == "=>" && $3 == "not" { print $1 }' | sort -u)
packages=()
for name in $missing; do
  is_system_library "$name" || continue
  owner=$(dpkg-query -S "*/$(uname -m)-linux-gnu/$name" 2>/dev/null | sed -n "1s/: .*//p") || true
  [ -n "$owner" ] || { echo "$0: no Debian package on this machine holds $name" >&2; exit 1; }
  packages+=("${owner%%, *}")
done
if [ ${#packages[@]} -gt 0 ]; then
  mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)
  echo "The machine's display libraries come from Debian: ${packages[*]}"
  cp -L /etc/resolv.conf "$DEBIAN_ROOT/etc/resolv.conf"
  in_root DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}"
fi
outside=$(libraries_from_outside "$WORK/package" "$PKG_IN_ROOT" in_root)
[ -z "$outside" ] || { printf '%s: the package does not carry what it needs:\n%s\n' "$0" "$outside" >&2; exit 1; }

qt_packages=$(in_root dpkg-query -W -f '${Package}\n' | grep -i qt || true)
[ -z "$qt_packages" ] || { echo "$0: the root is not bare, it has $qt_packages" >&2; exit 1; }
qt_files=$(find "$DEBIAN_ROOT" \( -path "$WORK" -o -path "$DEBIAN_ROOT/proc" \) -prune -o -name 'libQt*' -print | sed -n 1,3p)
[ -z "$qt_files" ] || { echo "$0: the root is not bare, it has $qt_files" >&2; exit 1; }

# The sandboxed client, made from outside: its files name the paths as seen inside the root.
"$ROOT/tools/make-demo-sandbox.sh" "$WORK/sandbox" "$BIN" >/dev/null
for file in "$WORK/sandbox/registry/HKLM.reg" "$WORK/sandbox/sandbox.env"; do
  content=$(<"$file")
  printf '%s\n' "${content//"$DEBIAN_ROOT"/}" >"$file"
done
rm -rf "$WORK/package/QuentaSetupData" "$WORK/package/settings.ini" "$WORK/package/QuentaSetupData.manifest"*
mv "$WORK/sandbox/package/QuentaSetupData" "$WORK/sandbox/package/settings.ini" \
  "$WORK/sandbox/package/QuentaSetupData.manifest" "$WORK/sandbox/package/QuentaSetupData.manifest.minisig" "$WORK/package/"
rm -rf "$WORK/sandbox/package"

run_in_root() { # <environment assignments...>: quenta-setup on the sandbox, offscreen, 10 minutes at most
  in_root QT_QPA_PLATFORM=offscreen SANDBOX_ENV="$WORK_IN_ROOT/sandbox/sandbox.env" \
    PROGRAM="$PKG_IN_ROOT/quenta-setup" "$@" bash -c '. "$SANDBOX_ENV" && exec timeout 600 "$PROGRAM" ${ARGUMENTS:-}'
}

COMMON="$WORK/sandbox/common/Orvel/OrvelKvelo 7/Client"
DOCUMENTS="$WORK/sandbox/home/Documents/Орвел-Квело"

unattended_update() {
  local status=0
  run_in_root ARGUMENTS=-silent >"$WORK/run.log" 2>&1 || status=$?
  cat "$WORK/run.log"
  [ "$status" -eq 0 ] || { echo "$0: quenta-setup -silent ended with code $status" >&2; return 1; }
  grep -q 'выпуск 2015' "$COMMON/Templates/Itog.xlt" || { echo "$0: Itog.xlt was not updated" >&2; return 1; }
  find "$COMMON/QuentaBackup" -path '*/Templates/Itog.xlt' -exec grep -l 'выпуск 2014' {} + 2>/dev/null | grep -q . ||
    { echo "$0: the replaced Itog.xlt is not in a backup folder" >&2; return 1; }
  [ -f "$DOCUMENTS/Нормативы/Сборник 02.txt" ] || { echo "$0: the document package was not copied" >&2; return 1; }
  echo "The update ran unattended: the package's files are installed and the replaced ones backed up."
}

# Starts the wizard as a test run does (questions answered No on stderr) and waits for its window.
window_comes_up() {
  local pid shown=false i
  run_in_root QUENTA_SETUP_AUTO_ANSWER=no >"$WORK/run.log" 2>&1 &
  pid=$!
  for ((i = 0; i < 600; i++)); do
    if grep -q '^quenta-setup: window shown' "$WORK/run.log"; then shown=true; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  cat "$WORK/run.log"
  $shown || { echo "$0: quenta-setup did not reach its window" >&2; return 1; }
  echo "quenta-setup started on the bare root and showed its window (the unattended update is not switched on)."
}

run_started=$(date +%s%N)
if [ "$UNATTENDED_UPDATE" = 1 ]; then unattended_update; else window_comes_up; fi
run_ms=$((($(date +%s%N) - run_started) / 1000000))
echo "Run on the bare Debian 12 root: ${run_ms} ms; the whole check: $(($(date +%s) - started)) s."
echo "Archive: $(basename "$ARCHIVE"), $(du -h "$ARCHIVE" | cut -f1)"
