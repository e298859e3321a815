#!/bin/bash
# Measures the release-built launcher (demo preset: its status server on
# 127.0.0.1) side by side with the floor program, both started by the probe
# in one Wine prefix of the benchmark's own, and writes docs/performance.md.
#
#   tools/benchmark/run-benchmark.sh [--ticks N] [--quick] [--runs N]
#
#   --ticks N  poll ticks measured online, and again offline (default 100;
#              one every 3 s, so 100 take 5 minutes each); at least 10
#   --quick    the same as --ticks 10
#   --runs N   start-up runs of each program (default 10)
#
# The offline run also gives ten minutes of waiting, whatever --ticks says.
# UDP port 56284 on 127.0.0.1 is shared with other test runs: the script
# waits until it is free and holds it only while it measures.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"

ticks=100
runs=10
quick=()
while (($#)); do
  case "$1" in
    --ticks) ticks="$2"; shift 2 ;;
    --quick) ticks=10; quick=(--quick); shift ;;
    --runs) runs="$2"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run-benchmark: unknown option $1" >&2; exit 2 ;;
  esac
done
if ! [[ "$ticks" =~ ^[0-9]+$ && "$runs" =~ ^[0-9]+$ ]] || ((ticks < 10 || runs < 1)); then
  echo "run-benchmark: --ticks needs a number of at least 10, --runs a number of at least 1" >&2
  exit 2
fi
began=$SECONDS
began_date="$(date -u '+%Y-%m-%d %H:%M UTC')"

tools/setup.sh
cmake --preset demo >/dev/null
cmake --build --preset demo
cmake --build --preset demo --target floor_window bench_probe bench_steps bench_verify
# The size target is set on the release preset's executable.
cmake --preset release >/dev/null
cmake --build --preset release --target Lanceur_Tarvik

bench="$root/build/bench"
results="$bench/results"
bin="$bench/bin"
rm -rf "$results" "$bin"
mkdir -p "$results" "$bin"
cp build/release/Lanceur_Tarvik.exe "$results/Lanceur_Tarvik-release.exe"
cp build/release/Lanceur_Tarvik.map "$results/Lanceur_Tarvik-release.map"
# Copies: another build of the demo preset during the run changes nothing here.
cp build/demo/Lanceur_Tarvik.exe build/demo/floor_window.exe build/demo/bench_probe.exe build/demo/bench_steps.exe \
  build/demo/bench_verify.exe "$bin/"
server_program="$bench/tarvik-status-server"
cp build/demo/status-server/tarvik-status-server "$server_program"
port=56284

windows_path() { local p="${1//\//\\}"; echo "Z:$p"; }

. tools/wine-env.sh
server=""
prefix="$bench/wineprefix"
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
  WINEPREFIX="$prefix" tarvik_wine_stop
  tarvik_display_stop
}
trap cleanup EXIT
# A display of its own even when there is one: nothing else draws on it.
tarvik_display_start own

tarvik_wine_prefix "$prefix"
tarvik_wine_env "$prefix"
# One server for the whole run, so that no start-up pays for starting it.
wineserver -p

# Settings that name a simulator folder, so that no first run asks for one.
appdata="$bench/appdata"
mkdir -p "$appdata/LeTarvik/LanceurTarvik"
printf '[CONDOR 3]\r\nCheminExe=C:\\Condor3\r\n' > "$appdata/LeTarvik/LanceurTarvik/TarvikLauncher.ini"
win_appdata="$(windows_path "$appdata")"
win_launcher="$(windows_path "$bin/Lanceur_Tarvik.exe")"
win_floor="$(windows_path "$bin/floor_window.exe")"

probe() { wine "$bin/bench_probe.exe" "$@"; }

port_free() { ! ss -uln | grep -q ":$port "; }

# Waits up to 20 minutes for the port, then starts the status server on it
# with the given options; tries again if another run took the port first.
start_server() {
  local log="$1"
  shift
  local waited=0
  while :; do
    while ! port_free; do
      if ((waited >= 1200)); then
        echo "run-benchmark: port $port still in use after 20 minutes" >&2
        exit 1
      fi
      echo "run-benchmark: port $port in use, waiting"
      sleep 10
      waited=$((waited + 10))
    done
    "$server_program" --bind 127.0.0.1 --port "$port" "$@" > "$log" &
    server=$!
    sleep 0.5
    kill -0 "$server" 2>/dev/null && return 0
    wait "$server" || true
    server=""
  done
}

stop_server() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  server=""
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
echo "run-benchmark: start-up, $runs runs of each program (about $((runs * 35 / 60 + 1)) min)"
# The round trips below come back to back from one address: no rate limit.
start_server "$results/server-startup.log" --version 3.0.4 --rate-per-address 100000
# One start of each first, not counted: the first start of a program reads
# its files from disk, the later ones from the cache, as a pilot's do.
probe start "$win_floor" "$win_appdata" 0 > "$results/warmup-floor.txt"
probe start "$win_launcher" "$win_appdata" 0 picture > "$results/warmup-launcher.txt"
for i in $(seq "$runs"); do
  probe start "$win_floor" "$win_appdata" 0 > "$results/start-floor-$i.txt"
  probe start "$win_launcher" "$win_appdata" 30000 picture > "$results/start-launcher-$i.txt"
done

echo "run-benchmark: the launcher's start-up, piece by piece"
for i in $(seq "$runs"); do
  wine "$bin/bench_steps.exe" "$(windows_path "$appdata/LeTarvik/LanceurTarvik/TarvikLauncher.ini")" > "$results/steps-$i.txt"
done

echo "run-benchmark: the check of a signed 10 MiB updater"
signed="$bench/signed"
mkdir -p "$signed"
head -c $((10 << 20)) /dev/urandom > "$signed/updater.exe"
minisign -G -W -f -p "$signed/key.pub" -s "$signed/key.key" >/dev/null
minisign -S -s "$signed/key.key" -m "$signed/updater.exe" -x "$signed/prehashed.minisig" -t "version:2.0.0.1" >/dev/null
minisign -S -l -s "$signed/key.key" -m "$signed/updater.exe" -x "$signed/legacy.minisig" -t "version:2.0.0.1" >/dev/null
wine "$bin/bench_verify.exe" "$(windows_path "$signed/updater.exe")" "$(windows_path "$signed/prehashed.minisig")" \
  "$(windows_path "$signed/legacy.minisig")" "$(sed -n 2p "$signed/key.pub")" "$runs" > "$results/verify.txt"

echo "run-benchmark: loopback round trips"
probe rtt 1000 "$port" > "$results/rtt.txt"
stop_server

online_seconds=$((3 * (ticks + 2)))
echo "run-benchmark: $ticks ticks online ($((online_seconds / 60 + 1)) min)"
start_server "$results/server-online.log" --version 3.0.4
probe watch "$win_launcher" "$win_appdata" "$online_seconds" 100 "$prefix" > "$results/watch-online.txt"
stop_server

echo "run-benchmark: $ticks ticks of the floor's bare exchange ($((online_seconds / 60 + 1)) min)"
start_server "$results/server-floor-online.log" --version 3.0.4
probe watch "$win_floor" "$win_appdata" "$online_seconds" 100 "$prefix" "$port" > "$results/watch-floor-online.txt"
stop_server

# Bound but silent: the launcher sees no reply, and no other run's server
# can answer in its place.
offline_seconds=$((3 * (ticks + 2)))
((offline_seconds >= 606)) || offline_seconds=606
echo "run-benchmark: $ticks ticks and ten minutes offline ($((offline_seconds / 60 + 1)) min)"
start_server "$results/server-offline.log" --offline
probe watch "$win_launcher" "$win_appdata" "$offline_seconds" 100 "$prefix" > "$results/watch-offline.txt"
stop_server

{
  echo "launcher=$(stat -c %s "$bin/Lanceur_Tarvik.exe")"
  echo "floor=$(stat -c %s "$bin/floor_window.exe")"
  echo "release=$(stat -c %s "$results/Lanceur_Tarvik-release.exe")"
} > "$results/sizes.txt"
cmp -s build/demo/Lanceur_Tarvik.exe "$bin/Lanceur_Tarvik.exe" ||
  echo "run-benchmark: warning: build/demo/Lanceur_Tarvik.exe was rebuilt during the run" >&2

elapsed=$((SECONDS - began))
{
  echo "date=$began_date"
  echo "commit=$(git rev-parse --short HEAD)"
  # The launcher is built from the working tree, which others may be changing.
  echo "changed=$(git status --porcelain -- app server settings simulator update resources cmake CMakeLists.txt |
    awk '{ print $NF }' | paste -sd ' ')"
  echo "nproc=$(nproc)"
  echo "cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
  echo "memory=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
  echo "kernel=$(uname -sr)"
  echo "wine=$(wine --version 2>/dev/null)"
  echo "load_before=$load_before"
  echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)"
  echo "duration=$((elapsed / 60)) min $((elapsed % 60)) s"
} > "$results/machine.txt"

python3 tools/benchmark/report.py "$results" docs/performance.md --ticks "$ticks" --runs "$runs" "${quick[@]}"
echo "run-benchmark: docs/performance.md written"
