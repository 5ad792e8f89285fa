#!/usr/bin/env bash
# The fleet playbook against a sandboxed client on this machine (ansible-playbook -c local): a
# signed package updates it (changed), a machine without the client is left alone (ok), a tampered
# package fails with exit code 6; the run's log is fetched every time.
#   check-fleet-playbook.sh <folder with make-test-exe, quenta-pack and quenta-setup>
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$1
if ! command -v ansible-playbook >/dev/null; then
  echo "SKIPPED: ansible-playbook is not installed (Debian package ansible-core)"
  exit 77
fi
WORK=$(mktemp -d)
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"' EXIT
fail() { echo "check-fleet-playbook: $*" >&2; exit 1; }

"$ROOT/tools/make-demo-sandbox.sh" "$WORK/sandbox" "$BIN" >/dev/null
mv "$WORK/sandbox/package" "$WORK/quenta-setup-test"
tar -czf "$WORK/update.tar.gz" -C "$WORK" quenta-setup-test
# The same package with one byte of one file changed after signing.
printf 'X' | dd of="$WORK/quenta-setup-test/QuentaSetupData/Client/Data/Регионы.txt" bs=1 seek=0 conv=notrunc 2>/dev/null
tar -czf "$WORK/tampered.tar.gz" -C "$WORK" quenta-setup-test

# The sandbox's environment for the update, as the playbook's quenta_environment.
(
  # shellcheck disable=SC1091
  . "$WORK/sandbox/sandbox.env"
  python3 -c 'import json, os, sys
names = ["HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "ORVEL_REGISTRY_DIR", "ORVEL_COMMON_APPDATA", "ORVEL_TRUSTED_KEYS_DIR"]
json.dump({"quenta_environment": {n: os.environ[n] for n in names}}, sys.stdout)'
) >"$WORK/vars.json"

# Ansible wants a UTF-8 locale for itself, and a home of its own here.
export LC_ALL=C.UTF-8 ANSIBLE_HOME="$WORK/ansible" ANSIBLE_LOCAL_TEMP="$WORK/ansible/tmp" \
  ANSIBLE_REMOTE_TMP="$WORK/ansible/remote" ANSIBLE_STDOUT_CALLBACK=default ANSIBLE_NOCOLOR=1
play() { # <archive> <output file>: the playbook's exit code
  local status=0
  ansible-playbook -c local -i localhost, -e quenta_hosts=localhost -e "@$WORK/vars.json" \
    -e "quenta_archive=$1" -e "quenta_user=$(id -un)" -e "quenta_work_dir=$WORK/remote" \
    -e "quenta_log_dir=$WORK/logs" "$ROOT/tools/fleet/quenta-update.yml" >"$2" 2>"$2.err" || status=$?
  return $status
}
# The update task's state, "changed", "ok" or "failed" (the play failed after it), and its exit
# code when the play reports one: from the default output of ansible-playbook.
outcome() {
  local state code
  state=$(awk '/^TASK \[Run quenta-setup/ { found = 1; next } found && /^(changed|ok|fatal):/ { sub(/:.*/, ""); print; exit }' "$1")
  code=$(sed -n 's/.*quenta-setup ended with exit code \([0-9]*\).*/\1/p' "$1" | head -n 1)
  if grep -q '^fatal: \[localhost\]' "$1"; then state=failed; fi
  echo "$state${code:+ $code}"
}

COMMON="$WORK/sandbox/common/Orvel/OrvelKvelo 7/Client"

play "$WORK/tampered.tar.gz" "$WORK/tampered.out" && fail "a tampered package did not fail the play"
[ "$(outcome "$WORK/tampered.out")" = "failed 6" ] || fail "tampered: $(outcome "$WORK/tampered.out")"
grep -q "выпуск 2014" "$COMMON/Templates/Itog.xlt" || fail "a tampered package changed the client"
grep -q "Пакет обновления поврежден" "$WORK/logs/localhost.log" || fail "the tampered run's log was not fetched"

play "$WORK/update.tar.gz" "$WORK/update.out" || fail "the update failed: $(cat "$WORK/update.out" "$WORK/update.out.err")"
[ "$(outcome "$WORK/update.out")" = "changed" ] || fail "update: $(outcome "$WORK/update.out")"
grep -q "выпуск 2015" "$COMMON/Templates/Itog.xlt" || fail "the client was not updated"
grep -q "Квента установка завершена." "$WORK/logs/localhost.log" || fail "the run's log was not fetched"

rm "$WORK/sandbox/registry/HKLM.reg"
play "$WORK/update.tar.gz" "$WORK/none.out" || fail "a machine without the client failed the play"
[ "$(outcome "$WORK/none.out")" = "ok" ] || fail "no client: $(outcome "$WORK/none.out")"
echo "fleet playbook checked"
