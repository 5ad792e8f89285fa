#!/usr/bin/env bash
# Prepares a sandboxed "installed client" and a demo update package for the wizard:
#
#   tools/make-demo-sandbox.sh <sandbox folder> <folder with make-test-exe, quenta-pack and quenta-setup>
#
# The sandbox folder is created afresh (an existing one is replaced only when this script made it):
#   home/                    the scratch HOME, with .config/ and .local/share/ as the XDG folders;
#                            the wizard's document root lands in home/Documents/Орвел-Квело/
#   common/                  the machine's common data folder (ORVEL_COMMON_APPDATA)
#   registry/HKLM.reg        the client's uninstall entry, naming client/ as its InstallLocation
#   client/Client/OKvelo.exe the client's executable with a version-7 resource
#   package/                 quenta-setup beside its settings.ini and QuentaSetupData/, signed:
#                            QuentaSetupData.manifest and its .minisig
#   vendor-key/              the demo vendor's key pair (quenta-pack keygen)
#   trusted-keys/            the machine's trusted keys (ORVEL_TRUSTED_KEYS_DIR): the vendor's
#   sandbox.env              the environment that points the wizard at all of this:
#                              ( . <sandbox>/sandbox.env && <sandbox>/package/quenta-setup )
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <sandbox folder> <bin folder>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(cd "$2" && pwd)
for tool in make-test-exe quenta-pack quenta-setup; do
  [ -x "$BIN/$tool" ] || { echo "$0: $BIN/$tool is missing; build first" >&2; exit 1; }
done

SANDBOX=$1
MARKER=.quenta-demo-sandbox
# shellcheck source=tools/fresh-folder.sh
. "$ROOT/tools/fresh-folder.sh"
SANDBOX=$(fresh_folder "$SANDBOX" "$MARKER") || exit 1

# The one definition of the web service's host name.
HOST=$(sed -n 's/.*WebServiceHost = "\([^"]*\)";.*/\1/p' "$ROOT/Common/Ox.Types.h")
[ -n "$HOST" ] || { echo "$0: cannot read WebServiceHost from Common/Ox.Types.h" >&2; exit 1; }

# --- the installed client -------------------------------------------------------------------------
mkdir -p "$SANDBOX/home/.config" "$SANDBOX/home/.local/share" "$SANDBOX/home/Documents" \
  "$SANDBOX/home/Desktop" "$SANDBOX/common" "$SANDBOX/registry" "$SANDBOX/client/Client"
"$BIN/make-test-exe" --out "$SANDBOX/client/Client/OKvelo.exe" --version 7.2.0.15 \
  --string-table 041904E3 --string "FileDescription=Орвел Квело Клиент" --string "ProductName=Орвел Квело"

reg_string() { # escapes a value for the registry export format
  local s=${1//\\/\\\\}
  printf '%s' "${s//\"/\\\"}"
}
cat >"$SANDBOX/registry/HKLM.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{00C00000-0001-4A2E-8D31-700000000001}_is1]
"DisplayName"="Орвел Квело 7"
"InstallLocation"="$(reg_string "$SANDBOX/client")"
EOF

# The client as the update finds it: an earlier version of two package files, the folders of some
# new ones, and its settings with a list of extensions that the package extends.
COMMON="$SANDBOX/common/Orvel/OrvelKvelo 7/Client"
DOCS="$SANDBOX/home/Documents/Орвел-Квело"
SETTINGS="$SANDBOX/home/.local/share/Orvel/OrvelKvelo 7/Client/Settings"
mkdir -p "$COMMON/Templates" "$COMMON/Data" "$COMMON/Tools" "$DOCS/Нормативы" "$DOCS/Мои шаблоны" \
  "$DOCS/Примеры/2015" "$SETTINGS"
echo "Итоговая форма, выпуск 2014" >"$COMMON/Templates/Itog.xlt"
echo "Сборник 01, редакция 2014" >"$DOCS/Нормативы/Сборник 01.txt"
printf '<?xml version="1.0" encoding="windows-1251"?>\n<Options ExternalFileExts=".doc;.xls"/>\n' \
  >"$SETTINGS/CommonSetting.xml"

# --- the update package ---------------------------------------------------------------------------
# It replaces two files and adds the others, in nested folders with Cyrillic names; its empty folder
# is offered on the pages but not created.
PACKAGE="$SANDBOX/package"
DATA="$PACKAGE/QuentaSetupData"
mkdir -p "$DATA/Client/Templates" "$DATA/Client/Tools" "$DATA/Client/Data" \
  "$DATA/Орвел-Квело/Нормативы" "$DATA/Орвел-Квело/Мои шаблоны" "$DATA/Орвел-Квело/Примеры/2015" \
  "$DATA/Орвел-Квело/Пустая папка"
echo "Итоговая форма, выпуск 2015" >"$DATA/Client/Templates/Itog.xlt"
"$BIN/make-test-exe" --out "$DATA/Client/Tools/Конвертер.exe" --version 7.2.0.16
echo "77 Москва" >"$DATA/Client/Data/Регионы.txt"
echo "Сборники нормативов" >"$DATA/Орвел-Квело/Нормативы/linkname.txt"
echo "Сборник 01, редакция 2015" >"$DATA/Орвел-Квело/Нормативы/Сборник 01.txt"
echo "Сборник 02, редакция 2015" >"$DATA/Орвел-Квело/Нормативы/Сборник 02.txt"
echo "Шаблон сметы" >"$DATA/Орвел-Квело/Мои шаблоны/Локальная смета.xlt"
echo "Пример сметы" >"$DATA/Орвел-Квело/Примеры/2015/Пример 1.txt"
echo "Руководство пользователя" >"$DATA/Орвел-Квело/Руководство.pdf"

# UTF-8 with its byte-order mark; "\" separates folders as in files written on Windows.
{
  printf '\xEF\xBB\xBF'
  cat <<EOF
[links]
showdialog=1
manual=Руководство.pdf
norms=Нормативы
[connections]
showdialog=1
norms=Нормативы
templates=Мои шаблоны\\
web=$HOST
[CommonSettings.XML]
ExternalFileExts=.pdf;.xls
EOF
} >"$PACKAGE/settings.ini"

# Signed by a vendor key of its own, which the machine trusts: the wizard checks the package first.
"$BIN/quenta-pack" keygen "$SANDBOX/vendor-key" >/dev/null
mkdir -p "$SANDBOX/trusted-keys"
cp "$SANDBOX/vendor-key/quenta.pub" "$SANDBOX/trusted-keys/demo-vendor.pub"
"$BIN/quenta-pack" sign -s "$SANDBOX/vendor-key/quenta.key" -V 7.2.0.16 "$PACKAGE" >/dev/null

cp "$BIN/quenta-setup" "$PACKAGE/quenta-setup"

# --- the environment ------------------------------------------------------------------------------
q() { printf "'%s'" "${1//\'/\'\\\'\'}"; }
cat >"$SANDBOX/sandbox.env" <<EOF
# Points the wizard at the demo sandbox: . $(q "$SANDBOX/sandbox.env")
# X11 finds its cookie through HOME unless told otherwise: keep the real one.
export XAUTHORITY="\${XAUTHORITY:-\${HOME:-}/.Xauthority}"
export HOME=$(q "$SANDBOX/home")
export XDG_CONFIG_HOME=$(q "$SANDBOX/home/.config")
export XDG_DATA_HOME=$(q "$SANDBOX/home/.local/share")
export ORVEL_REGISTRY_DIR=$(q "$SANDBOX/registry")
export ORVEL_COMMON_APPDATA=$(q "$SANDBOX/common")
export ORVEL_TRUSTED_KEYS_DIR=$(q "$SANDBOX/trusted-keys")
EOF
echo "Demo sandbox ready in $SANDBOX"
