#!/bin/bash
# The installer end to end under Wine, in a fresh prefix of its own: a silent
# install, the launcher's first run from the Start-menu shortcut, an upgrade
# over a modified settings file, an upgrade while the launcher is open, and
# the silent uninstall with and without the settings.
#
# run-installer-test.sh <installer.exe> <version> <prefix> <shortcut_probe.exe>
#                       <Lanceur_Tarvik.exe> <alerte.wav>
set -euo pipefail
installer="$1" version="$2" prefix="$3" probe="$4" built_exe="$5" built_wav="$6"
root="$(cd "$(dirname "$0")/../.." && pwd)"

# The installed launcher polls 127.0.0.1:56284, where other test runs serve:
# it gets a loopback of its own.
[ -n "${TARVIK_PRIVATE_NETWORK:-}" ] || exec "$root/cmake/private-network.sh" "$0" "$@"

. "$root/tools/wine-env.sh"
tarvik_wine_env "$prefix"
work="$prefix-work"
cleanup() {
  tarvik_wine_stop
  tarvik_display_stop
}
trap cleanup EXIT
tarvik_display_start
# A pristine user each run. HOME of its own: Wine links the prefix's Desktop
# to the home folder, and the desktop shortcut must not land in the real one.
[ -d "$prefix" ] && tarvik_wine_stop
rm -rf "$prefix" "$work"
mkdir -p "$work/home"
export HOME="$work/home"

w() { "$root/cmake/wine-run.sh" "$prefix" "$@"; }
fail() { echo "installer test: $*" >&2; exit 1; }
windows_env() { w cmd /c "echo %$1%" | tr -d '\r'; }
unix_path() { winepath -u "$1" 2>/dev/null; }

# Stand-in for an installed Condor 3, so that the first run asks nothing.
w reg add 'HKCU\Software\Condor3' /v InstallDir /t REG_SZ /d 'C:\Condor3' /f /reg:32 >/dev/null
mkdir -p "$prefix/drive_c/Condor3"
: > "$prefix/drive_c/Condor3/Condor.exe"

install_win="$(windows_env LOCALAPPDATA)\\Programs\\LanceurTarvik"
appdata_win="$(windows_env APPDATA)"
install="$(unix_path "$install_win")"
settings="$(unix_path "$appdata_win")/LeTarvik/LanceurTarvik"
ini="$settings/TarvikLauncher.ini"
start_menu_win="$appdata_win\\Microsoft\\Windows\\Start Menu\\Programs\\Lanceur Tarvik.lnk"
desktop_win="$(w cmd /c 'echo %USERPROFILE%' | tr -d '\r')\\Desktop\\Lanceur Tarvik.lnk"
installer_win="$(winepath -w "$installer" 2>/dev/null)"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\LanceurTarvik'
[ -n "$install" ] && [ -n "$settings" ] || fail "no user folders in the prefix"

run_installer() {
  w "$installer" "$@" || fail "the installer $* ended with exit code $?"
}
# The uninstaller copies itself to the temporary folder and returns at once;
# the copy does the work, and is done when the prefix has no process left.
run_uninstaller() {
  w "$install_win\\Uninstall.exe" "$@" || fail "the uninstaller $* ended with exit code $?"
  wineserver -w
}

# The shortcut's target and working folder, both in the install folder.
check_shortcut() {
  local link="$1" listing
  [ -f "$(unix_path "$link")" ] || fail "no shortcut $link"
  listing="$(w "$probe" show "$link" | tr -d '\r')" || fail "cannot read $link"
  grep -qxF "target=$install_win\\Lanceur_Tarvik.exe" <<<"$listing" || fail "$link: wrong target: $listing"
  grep -qxF "workdir=$install_win" <<<"$listing" || fail "$link: wrong working folder: $listing"
}

check_program_files() {
  cmp -s "$built_exe" "$install/Lanceur_Tarvik.exe" || fail "Lanceur_Tarvik.exe is not the build's"
  cmp -s "$built_wav" "$install/alerte.wav" || fail "alerte.wav is not the build's"
  [ -f "$install/Uninstall.exe" ] || fail "no Uninstall.exe"
}

# name, type, data as "reg query" prints them
expected_uninstall_entry() {
  printf '%s\t%s\t%s\n' \
    DisplayName REG_SZ "Lanceur Tarvik" \
    DisplayVersion REG_SZ "$version" \
    Publisher REG_SZ "Le Vol Du Tarvik" \
    DisplayIcon REG_SZ "$install_win\\Lanceur_Tarvik.exe" \
    UninstallString REG_SZ "\"$install_win\\Uninstall.exe\"" \
    QuietUninstallString REG_SZ "\"$install_win\\Uninstall.exe\" /S" \
    InstallLocation REG_SZ "$install_win" \
    NoModify REG_DWORD 0x1 \
    NoRepair REG_DWORD 0x1
}

check_uninstall_entry() {
  local entry name type data actual wrong=""
  entry="$(w reg query "$uninstall_key" | tr -d '\r' | sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1\t\2\t\3/p')"
  while IFS=$'\t' read -r name type data; do
    actual="$(awk -F '\t' -v n="$name" '$1 == n { print $2 "\t" $3 }' <<<"$entry")"
    [ "$actual" = "$type"$'\t'"$data" ] || wrong+=$'\n'"  $name: expected $type $data, found ${actual:-nothing}"
  done < <(expected_uninstall_entry)
  [ -z "$wrong" ] || fail "uninstall entry:$wrong"
}

echo "installer test: silent install"
[ ! -e "$settings" ] || fail "the settings folder exists before the install"
run_installer /S
check_program_files
[ -d "$settings" ] || fail "no settings folder $settings"
[ -z "$(ls -A "$settings")" ] || fail "the installer wrote into the settings folder: $(ls -A "$settings")"
check_shortcut "$start_menu_win"
[ ! -e "$(unix_path "$desktop_win")" ] || fail "a desktop shortcut without /BUREAU"
check_uninstall_entry

echo "installer test: first run from the Start-menu shortcut"
w "$probe" open "$start_menu_win" || fail "the launcher's first run from the shortcut failed"
[ -f "$ini" ] || fail "the first run wrote no settings file"
tr -d '\r' < "$ini" | grep -qxF 'CheminExe=C:\Condor3' || fail "no CheminExe=C:\\Condor3 in: $(cat "$ini")"

echo "installer test: upgrade over modified settings, with the desktop shortcut"
printf '; réglé à la main\r\n' >> "$ini"
sed -i 's/^Alerte=.*/Alerte=1\r/' "$ini"
cp "$ini" "$work/settings-before"
run_installer /S /BUREAU
cmp "$work/settings-before" "$ini" || fail "the upgrade changed TarvikLauncher.ini"
check_program_files
check_shortcut "$start_menu_win"
check_shortcut "$desktop_win"

echo "installer test: upgrade while the launcher is open (as its updater would)"
w "$probe" open "$start_menu_win" "$installer_win" /S || fail "the upgrade did not wait for the launcher to close"
check_program_files

echo "installer test: silent uninstall keeps the settings"
cp "$ini" "$work/settings-before"
run_uninstaller /S
[ ! -e "$install" ] || fail "the uninstall left $(ls -A "$install")"
for link in "$start_menu_win" "$desktop_win"; do
  [ ! -e "$(unix_path "$link")" ] || fail "the uninstall left $link"
done
if w reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall left $uninstall_key"; fi
cmp "$work/settings-before" "$ini" || fail "the uninstall changed TarvikLauncher.ini"

echo "installer test: uninstall with /REGLAGES removes the settings"
run_installer /S
[ -f "$ini" ] || fail "a new install lost the kept settings"
run_uninstaller /S /REGLAGES
[ ! -e "$install" ] || fail "the uninstall left $(ls -A "$install")"
[ ! -e "$(dirname "$settings")" ] || fail "/REGLAGES left $(dirname "$settings")"

echo "installer test: passed"
