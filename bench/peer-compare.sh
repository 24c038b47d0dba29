#!/bin/sh
# CPU time of tumblix in a 1920x1080 window against two of XScreenSaver's GL
# hacks, under Xvfb (Mesa's llvmpipe), runs alternating so that a drifting
# machine load hits both sides alike. Prints CPU seconds per second of each
# run and the ratio of each pair.
#   bench/peer-compare.sh [TUMBLIX] [RUNS (3)] [SECONDS (20)]
# Needs xvfb, xscreensaver-gl and xscreensaver-gl-extra. On a machine whose
# cores are all busy a program gets too little CPU to reach its frame rate and
# the figures say nothing: NICE=-5 (as root) lifts Xvfb and the measured
# programs above the rest for the duration.
set -eu
TUMBLIX=${1:-build/bin/tumblix}
RUNS=${2:-3}
SECONDS_PER_RUN=${3:-20}
HACKS=/usr/libexec/xscreensaver
SIZE=1920x1080
NICE=${NICE:-0}

WORK=$(mktemp -d)
XVFB_PID=
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A free display number: the lock file of a running server marks one taken.
N=70
while [ -e /tmp/.X$N-lock ] || [ -e /tmp/.X11-unix/X$N ]; do N=$((N + 1)); done
nice -n "$NICE" Xvfb :$N -screen 0 ${SIZE}x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=:$N
i=0
until xdpyinfo >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -gt 100 ] && { echo "Xvfb :$N did not start" >&2; exit 1; }
    sleep 0.1
done

# Every key of the preference file: with "version" present a missing key
# reads as 0. $1: scene name, then the keys that differ from the defaults.
prefs() {
    dir=$WORK/$1/config/dwTumblixSS
    mkdir -p "$dir" "$WORK/$1/data"
    cat >"$dir/preferences.ini" <<INI
[dwTumblixSS]
version=1.0
MainMonitorOnly=false
BottleSize=50
MaxBottle=5
GoodShine=true
DrunkenBG=true
BGType=$2
BGRes=1
PlaySound=false
BGPath=/usr/share/backgrounds/
Volume=100
ShowClock=$3
Clock12Hr=false
ShowCountdown=false
CDHr=17
CDMin=30
BGColR=0.2
BGColG=0.3
BGColB=0.5
BottleSelection=##
WebServer=http://127.0.0.1:8018
INI
}
prefs bottles 3 false
prefs default 0 true

# CPU seconds per second of one command run for SECONDS_PER_RUN seconds.
cores() {
    nice -n "$NICE" /usr/bin/time -f "%U %S" -o "$WORK/time" timeout -s TERM "$SECONDS_PER_RUN" "$@" \
        >/dev/null 2>&1 || true
    # The last line: before it time may say that timeout ended the command.
    tail -n 1 "$WORK/time" | awk -v s="$SECONDS_PER_RUN" '{ printf "%.3f", ($1 + $2) / s }' 
}

compare() {
    scene=$1
    shift
    echo "scene $scene: tumblix vs $*"
    r=1
    while [ $r -le "$RUNS" ]; do
        ours=$(XDG_CONFIG_HOME=$WORK/$scene/config XDG_DATA_HOME=$WORK/$scene/data \
            cores "$TUMBLIX" --window $SIZE)
        peer=$(cores "$@")
        echo "  run $r: tumblix $ours cores, peer $peer cores, ratio" \
            "$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')"
        r=$((r + 1))
    done
}

compare bottles $HACKS/bouncingcow -count 5 -window -geometry $SIZE+0+0
compare default $HACKS/glslideshow -window -geometry $SIZE+0+0
