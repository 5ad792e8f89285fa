#!/usr/bin/env bash
# After a walk through every page of the wizard on the demo sandbox: what the package and its
# settings.ini ask for is on the desktop, in the client's folders and in its options files.
#   check-demo-run.sh <sandbox folder> <folder of the pictures and the run's log>
set -euo pipefail
SANDBOX=$1
SHOTS=$2
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
HOST=$(sed -n 's/.*WebServiceHost = "\([^"]*\)";.*/\1/p' "$ROOT/Common/Ox.Types.h")
COMMON="$SANDBOX/common/Orvel/OrvelKvelo 7/Client"
DOCS="$SANDBOX/home/Documents/Орвел-Квело"
SETTINGS="$SANDBOX/home/.local/share/Orvel/OrvelKvelo 7/Client/Settings"
fail() { echo "check-demo-run: $*" >&2; exit 1; }

# The links of settings.ini's "links", the folder named by its linkname.txt, and nothing else.
# Byte order, whatever the caller's locale would collate.
links=$(cd "$SANDBOX/home/Desktop" && LC_ALL=C ls)
[ "$links" = $'Руководство.pdf.desktop\nСборники нормативов.desktop' ] || fail "desktop holds: $links"
grep -qx "URL=file://.*/%D0%9D%D0%BE%D1%80%D0%BC%D0%B0%D1%82%D0%B8%D0%B2%D1%8B" \
  "$SANDBOX/home/Desktop/Сборники нормативов.desktop" || fail "the norms link points elsewhere"
[ -x "$SANDBOX/home/Desktop/Руководство.pdf.desktop" ] || fail "a link is not executable"

# The client's folders hold the package's files; the replaced one is in the backup.
[ "$(cat "$COMMON/Templates/Itog.xlt")" = "Итоговая форма, выпуск 2015" ] || fail "Itog.xlt not updated"
[ -f "$COMMON/Tools/Конвертер.exe" ] && [ -f "$COMMON/Data/Регионы.txt" ] || fail "common files missing"
[ "$(cat "$DOCS/Нормативы/Сборник 01.txt")" = "Сборник 01, редакция 2015" ] || fail "Сборник 01 not updated"
[ -f "$DOCS/Нормативы/Сборник 02.txt" ] && [ -f "$DOCS/Примеры/2015/Пример 1.txt" ] || fail "documents missing"
[ ! -e "$DOCS/Нормативы/linkname.txt" ] || fail "linkname.txt was copied"
ls "$COMMON"/QuentaBackup/*/Templates/Itog.xlt >/dev/null || fail "no backup of Itog.xlt"

# The extensions merged; the ticked folders and the web service registered once each.
grep -q 'ExternalFileExts="\.doc;\.pdf;\.xls"' "$SETTINGS/CommonSetting.xml" || fail "extensions not merged"
connections=$(iconv -f WINDOWS-1251 -t UTF-8 "$SETTINGS/Connections.xml")
for want in "Address=\"$DOCS/Нормативы\"" "Address=\"$DOCS/Мои шаблоны\"" "Caption=\"$HOST\""; do
  [ "$(grep -c "$want" <<<"$connections")" -eq 1 ] || fail "Connections.xml lacks $want once: $connections"
done
[ "$(grep -c 'ClassID=' <<<"$connections")" -eq 3 ] || fail "Connections.xml: $connections"
# The package was checked against the sandbox's trusted vendor key before anything was copied.
grep -q "Пакет обновления проверен: подписан доверенным ключом" "$SHOTS/wizard.log" ||
  fail "the run's log does not say that the package was verified"
echo "demo run checked"
