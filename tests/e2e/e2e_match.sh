#!/bin/bash
# A short handicap match played to its end on the real program under a real X server at
# 1920 x 1080, with real key events:
#
#   e2e_match.sh <zelvano> <sheet_dump> <artifacts dir>
#
# Distances 5 and 3, the equalizing inning played, run timing on with a 12 s shot clock.
# A run past the points still needed is refused; player 1 makes the distance, player 2
# plays the equalizing inning and the match ends; a further validation does nothing.
# Checked: the sheet a restart would load and the match state derived from it (sheet_dump),
# and on the screen the banner, and the shot clock turning to its warning colour after
# BackSpace reopened the match. Screenshots: match-banner.png and shotclock-warning.png in
# the artifacts folder. Exit code 77 (skipped) when xvfb-run, xdotool or ImageMagick is missing.
#
# Every wait is a poll with a bound; nothing sleeps for a fixed time to let things happen.
set -u

if [ "${1:-}" = "--inner" ]; then
    INNER=1
    shift
else
    INNER=0
fi
APP=$1
SHEET_DUMP=$2
ARTIFACTS=$3

fail() {
    echo "FAIL: $*" >&2
    [ "$INNER" = 1 ] && import -window root "$ARTIFACTS/match-failure.png" 2>/dev/null \
        && echo "screen at the failure: $ARTIFACTS/match-failure.png" >&2
    exit 1
}

poll() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "gave up waiting for $what after ${limit} s"
        sleep 0.05
    done
}

if [ "$INNER" = 0 ]; then
    for tool in xvfb-run xdotool import convert; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (Debian packages xvfb, xdotool, imagemagick)"
            exit 77
        fi
    done
    mkdir -p "$ARTIFACTS" || fail "cannot create $ARTIFACTS"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelvano-match.XXXXXX") || fail "mktemp"
    trap 'rm -rf "$WORK"' EXIT
    export E2E_WORK=$WORK
    xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$BASH" "$0" --inner "$APP" "$SHEET_DUMP" "$ARTIFACTS"
    status=$?
    [ "$status" = 0 ] && echo "PASS: a handicap match to its end under X in ${SECONDS} s; screenshots in $ARTIFACTS"
    exit "$status"
fi

WORK=$E2E_WORK
export HOME=$WORK/home
export XDG_RUNTIME_DIR=$WORK/runtime
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DOCUMENTS_DIR QT_QPA_PLATFORM
mkdir -p "$HOME/Documents" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
DOCS=$HOME/Documents
BACKUP=$DOCS/FeuilleMatch.bin
SETTINGS=$DOCS/FeuilleMatch.ini
TAB=$'\t'
printf '[JOUEURS]\r\njoueur1=Marie Lefèvre\r\njoueur2=Paul Girard\r\n[TEMPS]\r\nInChrono=1\r\n' | iconv -f UTF-8 -t CP1252 >"$SETTINGS"
printf '[MATCH]\r\nDiscipline=Libre\r\nDistance1=5\r\nDistance2=3\r\nEgalisation=1\r\nTempsCoup=12\r\nAlerteCoup=10\r\nSon=1\r\n' >>"$SETTINGS"

APP_PID=
stop_app() {
    if [ -n "$APP_PID" ]; then
        kill -KILL "$APP_PID" 2>/dev/null
        wait "$APP_PID" 2>/dev/null
        APP_PID=
    fi
}
trap stop_app EXIT

LC_ALL=fr_FR.UTF-8 "$APP" >>"$WORK/zelvano.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 20 xdotool search --sync --onlyvisible --name '^Zelvano$' | head -n 1)
[ -n "$WINDOW" ] || fail "the Zelvano window did not appear: $(cat "$WORK/zelvano.log")"
timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "could not focus the window"

keys() { xdotool key --clearmodifiers --delay 60 "$@" || fail "xdotool key $*"; }
sheet_is() {
    local want
    want=$(printf '%s\n' "$@")
    [ "$("$SHEET_DUMP" "$BACKUP" 2>/dev/null)" = "$want" ]
}
wait_sheet() { poll 15 "the sheet $(printf '(%s) ' "$@" | tr '\t' ',')" sheet_is "$@"; }
state_is() { [ "$("$SHEET_DUMP" --match "$SETTINGS" "$BACKUP" 2>/dev/null)" = "$1" ]; }
# pixels_of <png> <colour>: how many pixels of the screenshot have exactly that colour.
pixels_of() { convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:; }
shows() { # <png> <colour> <at least>
    import -window root "$1" 2>/dev/null || return 1
    [ "$(pixels_of "$1" "$2")" -ge "$3" ]
}

wait_sheet "$TAB"
keys 2 Return                    # player 1: 2 (3 still needed)
keys 1 Return                    # player 2: 1 (2 still needed)
wait_sheet "2${TAB}1" "$TAB"
keys 9 3 Return                  # the 9 is past the 3 still needed: refused; 3 makes the distance
wait_sheet "2${TAB}1" "3${TAB}"
state_is "phase=equalizing winner=- points=0-0 remaining=0,2" || fail "state: $("$SHEET_DUMP" --match "$SETTINGS" "$BACKUP")"
keys 5 1 Return                  # the equalizing run: 5 refused, 1 validated
wait_sheet "2${TAB}1" "3${TAB}1" "$TAB"
state_is "phase=finished winner=1 points=2-0 remaining=0,1" || fail "state: $("$SHEET_DUMP" --match "$SETTINGS" "$BACKUP")"
# The banner, bordered in its own colour, over the centre column.
poll 10 "the banner on the screen" shows "$ARTIFACTS/match-banner.png" "#F5C542" 2000
keys 4 Return Return             # after the end: nothing is taken
keys KP_Enter
sheet_is "2${TAB}1" "3${TAB}1" "$TAB" || fail "a validation after the end changed the sheet: $("$SHEET_DUMP" "$BACKUP")"

# BackSpace takes the equalizing run back: the match reopens, the shot clock shows again.
keys BackSpace
wait_sheet "2${TAB}1" "3${TAB}"
state_is "phase=equalizing winner=- points=0-0 remaining=0,2" || fail "state after the undo: $("$SHEET_DUMP" --match "$SETTINGS" "$BACKUP")"
keys KP_Multiply                 # the pause key: the lap and the shot clock run
poll 15 "the shot clock's warning colour" shows "$ARTIFACTS/shotclock-warning.png" "#FF5A36" 500
keys 1 Return                    # the same run ends the match again
wait_sheet "2${TAB}1" "3${TAB}1" "$TAB"
state_is "phase=finished winner=1 points=2-0 remaining=0,1" || fail "state at the end: $("$SHEET_DUMP" --match "$SETTINGS" "$BACKUP")"
kill -0 "$APP_PID" 2>/dev/null || fail "the program stopped: $(cat "$WORK/zelvano.log")"
exit 0
