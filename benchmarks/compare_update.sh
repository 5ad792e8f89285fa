#!/usr/bin/env bash
# The whole unattended update (quenta-setup -silent: journal, backups, syncs) against its real
# peers, in one run on one machine:
#
#   benchmarks/compare_update.sh [bin folder [small|large]]
#                                  (default build/bin, the release build of ./run.sh bench; both shapes)
#
# Two packages, each over a freshly laid destination where every package file replaces one:
# 10,000 files of 4 KiB and 16 files of 64 MiB. The peers: rsync -a --backup --backup-dir (the
# same promise of a backup of every replaced file, a temporary renamed into place, no sync) and
# cp -r. Prints the seconds of each, the program's ratios, and from a traced run of its own the
# program's system calls per file, its syncs (fsync, fdatasync, syncfs) per run and its peak memory.
# The program runs as on a machine that trusts no key; then, on the package signed by the demo's
# vendor key and with that key trusted, once more: the copy then hashes every block it writes, and
# the ratio of the two is printed.
# Needs about 3 GiB free in $TMPDIR.
set -euo pipefail
export LC_ALL=C.UTF-8  # strace's and printf's numbers, whatever the caller's locale

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(cd "${1:-$ROOT/build/bin}" && pwd)
for tool in rsync strace python3; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (./run.sh installs it)" >&2; exit 1; }
done
SCRATCH=${TMPDIR:-/tmp}/quenta-compare-update
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
trap 'rm -rf "$SCRATCH"' EXIT

"$ROOT/tools/make-demo-sandbox.sh" "$SCRATCH/sandbox" "$BIN" >/dev/null
# shellcheck disable=SC1091
. "$SCRATCH/sandbox/sandbox.env"
PROGRAM="$SCRATCH/sandbox/package/quenta-setup"
DATA="$SCRATCH/sandbox/package/QuentaSetupData"
DEST="$SCRATCH/sandbox/common/Orvel/OrvelKvelo 7/Client"
rm -f "$SCRATCH/sandbox/package/settings.ini"
TRUSTED_KEYS=$ORVEL_TRUSTED_KEYS_DIR
mkdir -p "$SCRATCH/no-keys"
export ORVEL_TRUSTED_KEYS_DIR="$SCRATCH/no-keys"

# package/ and original/ of one shape: <files> <KiB per file>
lay_shape() {
  local files=$1 kib=$2 i
  rm -rf "$DATA" "$SCRATCH/original" "$SCRATCH/peer-package"
  mkdir -p "$DATA/Client" "$DATA/Орвел-Квело"
  for ((i = 0; i < 16; i++)); do mkdir -p "$DATA/Client/Папка $i" "$SCRATCH/original/Папка $i"; done
  head -c $((kib * 1024)) /dev/zero | tr '\0' 'n' >"$SCRATCH/new.bin"
  head -c $((kib * 1024)) /dev/zero | tr '\0' 'o' >"$SCRATCH/old.bin"
  for ((i = 0; i < files; i++)); do
    cp "$SCRATCH/new.bin" "$DATA/Client/Папка $((i % 16))/файл $i.dat"
    cp "$SCRATCH/old.bin" "$SCRATCH/original/Папка $((i % 16))/файл $i.dat"
  done
  cp -r "$DATA/Client" "$SCRATCH/peer-package"
  "$BIN/quenta-pack" sign -s "$SCRATCH/sandbox/vendor-key/quenta.key" -V bench "$SCRATCH/sandbox/package" >/dev/null
}

# The client's folder as it was, on the disk, the wizard's state empty.
fresh_destination() {
  rm -rf "$DEST" "$HOME/.local/state"
  cp -r "$SCRATCH/original" "$DEST"
  sync
}

seconds() { # <command...>: wall-clock seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  python3 -c "print($end - $start)"
}

run_program() { "$PROGRAM" -silent; }
run_verified() { ORVEL_TRUSTED_KEYS_DIR=$TRUSTED_KEYS "$PROGRAM" -silent; }
run_rsync() { rsync -a --backup --backup-dir="$DEST/QuentaBackup/rsync" "$SCRATCH/peer-package/" "$DEST/"; }
run_cp() { cp -r "$SCRATCH/peer-package/." "$DEST/"; }

measure() { # <label> <files> <KiB per file>
  local label=$1 files=$2
  lay_shape "$2" "$3"
  local program verified rsync_s cp_s
  fresh_destination; program=$(seconds run_program)
  fresh_destination; verified=$(seconds run_verified)
  fresh_destination; rsync_s=$(seconds run_rsync)
  fresh_destination; cp_s=$(seconds run_cp)
  fresh_destination
  strace -f -c -o "$SCRATCH/strace.txt" "$PROGRAM" -silent >/dev/null
  local calls syncs peak
  # Columns: % time, seconds, usecs/call, calls, [errors], name.
  calls=$(awk '$NF == "total" { print $4 }' "$SCRATCH/strace.txt")
  syncs=$(awk '$NF == "fsync" || $NF == "fdatasync" || $NF == "syncfs" { n += $4 } END { print n + 0 }' "$SCRATCH/strace.txt")
  fresh_destination
  peak=$(python3 -c 'import resource, subprocess, sys
subprocess.run([sys.argv[1], "-silent"], stdout=subprocess.DEVNULL, check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)' "$PROGRAM")
  python3 - "$label" "$files" "$program" "$rsync_s" "$cp_s" "$calls" "$syncs" "$peak" "$verified" <<'EOF'
import sys
label, files, program, rsync, cp, calls, syncs, peak, verified = sys.argv[1:]
files, program, rsync, cp, verified = int(files), float(program), float(rsync), float(cp), float(verified)
print(f"{label}: quenta-setup -silent {program:.2f} s, rsync --backup {rsync:.2f} s, cp -r {cp:.2f} s; "
      f"program/rsync {program / rsync:.2f}, program/cp {program / cp:.2f}; "
      f"{int(calls) / files:.1f} system calls a file, {syncs} syncs a run, peak memory {peak} MiB; "
      f"verified by a trusted key {verified:.2f} s, verified/unverified {verified / program:.2f}")
EOF
}

SHAPES=${2:-both}
[ "$SHAPES" = large ] || measure "10,000 files of 4 KiB" 10000 4
[ "$SHAPES" = small ] || measure "16 files of 64 MiB" 16 65536
