#!/usr/bin/env bash
# The installer package under Wine's msiexec, in the prefix ./test prepared:
# a silent install with the service started, an upgrade to a higher version,
# a refused downgrade, and an uninstall that leaves the data files.
# Arguments: this version's package, a higher version's package, that version.
set -uo pipefail
old=$1 new=$2 newVersion=$3
dir="$WINEPREFIX/drive_c/Program Files/Brennix Monitor"
service='HKLM\SYSTEM\CurrentControlSet\Services\BrennixMonitor'
source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\BrennixMonitor'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
programs=(BrennixConfig.exe BrennixMonitor.exe BrennixMonitorsrv.exe nssm.exe shutdownBrennixMonitor.exe)
failed=0

check() {  # check WHAT COMMAND...: runs the command; says what failed
  local what=$1
  shift
  "$@" >/dev/null 2>&1 || { echo "FAILED: $what"; failed=1; }
}
windows() { echo "Z:${1//\//\\}"; }  # a Linux path as Wine's programs see it
msiexec() {  # msiexec /i|/x PACKAGE [OPTIONS]: its exit code, cut to 8 bits by Wine
  local rc=0
  wine msiexec "$1" "$(windows "$2")" /qn "${@:3}" </dev/null >/dev/null 2>&1 || rc=$?
  echo "$rc"
}
key() {  # key KEY [/s]: the values of a registry key; nothing when it is missing
  local values
  values=$(wine reg query "$@" 2>&1) && tr -d '\r' <<<"$values"
}
# Wine's msiexec puts the shortcut of a package for all users into the user's
# Start menu, Windows into the one of all users.
links() { find "$WINEPREFIX/drive_c/"{ProgramData,users} -path '*/Start Menu/Programs/Configure Brennix Monitor.lnk'; }
has() { grep -qE "$2" <<<"$1"; }
# The engine's start lines with the restart duty. Read while no other Wine
# program runs: the service that wrote one was started by msiexec.
starts() { grep -c 'engine started (service): watching 0 items' "$dir/log.text" 2>/dev/null; }
waitStarts() {  # waitStarts N: until there are N, for at most 10 s
  for _ in $(seq 100); do
    [ "$(starts)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
products() { key "$uninstall" /s | grep -cE 'DisplayName +REG_SZ +Brennix Monitor$'; }
log=$(mktemp)
cleanup() {
  local p
  for p in "$new" "$old"; do msiexec /x "$p"; done >/dev/null
  rm -rf "$dir"
  rm -f "$log"
}
trap cleanup EXIT
cleanup

# The administrator's data files, copied to the machine before the package:
# the engine logs its start.
mkdir -p "$dir"
printf ' \r\n' >"$dir/processes.ob"
{ printf '0\r\n10\r\n1\r\n'; printf '\r\n%.0s' {4..19}; } >"$dir/settings.ob"

check "install exits 0" test "$(msiexec /i "$old")" = 0
check "the service started during the install" waitStarts 1
for p in "${programs[@]}" README.md; do check "installed $p" test -f "$dir/$p"; done
check "the shortcut to the utility" grep -qa 'C:.Program Files.Brennix Monitor.BrennixConfig.exe' "$(links)"
keys=$(key "$service")
check "the service's program" has "$keys" 'ImagePath +REG_(EXPAND_)?SZ +"?C:\\Program Files\\Brennix Monitor\\BrennixMonitorsrv.exe"?$'
# The utility's installed test reads Type; it finds the service by display name.
check "an own-process service" has "$keys" 'Type +REG_DWORD +0x10$'
check "started with the system" has "$keys" 'Start +REG_DWORD +0x2$'
check "its display name" has "$keys" 'DisplayName +REG_SZ +BrennixMonitor$'
check "as LocalSystem" has "$keys" 'ObjectName +REG_SZ +LocalSystem$'
keys=$(key "$source")
check "the event source's message file" has "$keys" 'EventMessageFile +REG_(EXPAND_)?SZ +C:\\Program Files\\Brennix Monitor\\BrennixMonitorsrv.exe$'
check "the event source's types" has "$keys" 'TypesSupported +REG_DWORD +0x7$'

# The old service stops before the new one starts: the new one has the duty.
check "upgrade exits 0" test "$(msiexec /i "$new")" = 0
check "the service restarted by the upgrade" waitStarts 2
check "one product left" test "$(products)" = 1
check "the new version" has "$(key "$uninstall" /s)" "DisplayVersion +REG_SZ +$newVersion$"
check "downgrade refused" test "$(msiexec /i "$old" /l*v "$(windows "$log")")" = $((1603 % 256))
check "as a downgrade" grep -q 'WIX_DOWNGRADE_DETECTED = {' "$log"
check "the newer product kept" test "$(products)" = 1

check "uninstall exits 0" test "$(msiexec /x "$new")" = 0
check "no product left" test "$(products)" = 0
check "the service removed" test -z "$(key "$service")"
check "the event source removed" test -z "$(key "$source")"
for p in "${programs[@]}" README.md; do check "removed $p" test ! -e "$dir/$p"; done
check "the shortcut removed" test -z "$(links)"
for p in processes.ob settings.ob log.text; do check "kept $p" test -f "$dir/$p"; done
check "the log of both starts kept" test "$(starts)" = 2
exit "$failed"
