#!/bin/bash
# The installed scoreboard under a real X server, driven by real X key and mouse events.
#
#   e2e_x11.sh <build dir> <sheet_dump> <artifacts dir> [held]
#
# Installs the build into a temporary prefix, starts the installed receiving server on
# 127.0.0.1, then under xvfb-run: plays a few innings with the keyboard (digits, Return,
# BackSpace, + and -, F3 on the first inning and again on the second); F2 answered by
# Return (the question's default button is "Non") and by Return held leaves the sheet as
# it was; starts a new match with F2, Tab to "Oui" and Return, and checks the history file
# byte for byte; plays on, kills the program with SIGKILL, starts it again and sends the
# sheet that came back (names still swapped: the swap wrote the settings at once) to the
# receiving server from the utilities page, whose host and
# port fields are typed in. The dialogs' titles are read from the X server. Screenshots of
# both pages and of the question go to the artifacts folder.
#
# With "held": keys held down for 1.5 s with xdotool keydown/keyup (a digit, "+",
# Backspace on a run and at 0, Return, the OK key Up) and F2 then Return held for 1 s,
# HELD_ROUNDS times (default 3); the sheet is checked after each hold: every hold acts once.
#
# Exit code 77 (skipped) when xvfb-run or xdotool is missing.
#
# Every wait is a poll with a bound; nothing sleeps for a fixed time to let things happen.
set -u

if [ "${1:-}" = "--inner" ]; then
    INNER=1
    shift
else
    INNER=0
fi
BUILD=$1
SHEET_DUMP=$2
ARTIFACTS=$3
MODE=${4:-}

fail() {
    echo "FAIL: $*" >&2
    if [ "$INNER" = 1 ] && command -v import >/dev/null 2>&1; then
        import -window root "$ARTIFACTS/failure.png" 2>/dev/null && echo "screen at the failure: $ARTIFACTS/failure.png" >&2
    fi
    exit 1
}

# poll <seconds> <what> <command...>: runs the command every 50 ms until it succeeds.
poll() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "gave up waiting for $what after ${limit} s"
        sleep 0.05
    done
}

# ---------------------------------------------------------------------------------------
# Outside the X server: tools, installation, receiving server.
# ---------------------------------------------------------------------------------------
if [ "$INNER" = 0 ]; then
    for tool in xvfb-run xdotool; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (Debian packages xvfb and xdotool)"
            exit 77
        fi
    done
    mkdir -p "$ARTIFACTS" || fail "cannot create $ARTIFACTS"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelvano-e2e.XXXXXX") || fail "mktemp"
    RECEIVER_PID=
    cleanup() {
        [ -n "$RECEIVER_PID" ] && kill "$RECEIVER_PID" 2>/dev/null && wait "$RECEIVER_PID" 2>/dev/null
        rm -rf "$WORK"
    }
    trap cleanup EXIT

    PREFIX=$WORK/prefix
    cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 \
        || { cat "$WORK/install.log"; fail "cmake --install failed"; }
    for program in zelvano ZelvanoPrn zelvano-receiver; do
        [ -x "$PREFIX/bin/$program" ] || fail "the installation has no bin/$program"
    done
    echo "installed: $(cd "$PREFIX" && find . -type f | sort | tr '\n' ' ')"

    mkdir -p "$WORK/received"
    "$PREFIX/bin/zelvano-receiver" --listen 127.0.0.1 --port 0 --dir "$WORK/received" \
        >"$WORK/receiver.out" 2>"$WORK/receiver.err" &
    RECEIVER_PID=$!
    listening() { grep -q "127.0.0.1:[0-9]" "$WORK/receiver.out"; }
    poll 10 "the receiving server" listening
    PORT=$(sed -n 's/.*127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$WORK/receiver.out" | head -n 1)
    [ -n "$PORT" ] || fail "no port in: $(cat "$WORK/receiver.out")"
    echo "receiving server on 127.0.0.1:$PORT"

    export E2E_WORK=$WORK E2E_PREFIX=$PREFIX E2E_PORT=$PORT
    xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" "$BASH" "$0" --inner "$BUILD" "$SHEET_DUMP" "$ARTIFACTS" "$MODE"
    status=$?
    if [ "$status" = 0 ]; then
        echo "PASS: end-to-end under X${MODE:+ ($MODE)} in ${SECONDS} s; screenshots in $ARTIFACTS"
    else
        echo "receiver said: $(cat "$WORK/receiver.out" "$WORK/receiver.err")"
    fi
    exit "$status"
fi

# ---------------------------------------------------------------------------------------
# Inside the X server.
# ---------------------------------------------------------------------------------------
WORK=$E2E_WORK
PREFIX=$E2E_PREFIX
PORT=$E2E_PORT
export HOME=$WORK/home
export XDG_RUNTIME_DIR=$WORK/runtime
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DOCUMENTS_DIR QT_QPA_PLATFORM
mkdir -p "$HOME" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
DOCS=$HOME/Documents
BACKUP=$DOCS/FeuilleMatch.bin
HISTORY=$DOCS/FeuilleMatch.txt
SETTINGS=$DOCS/FeuilleMatch.ini
CR=$'\r'
TAB=$'\t'
TODAY=$(date +%d/%m/%Y)

APP_PID=
stop_app() {
    if [ -n "$APP_PID" ]; then
        kill -KILL "$APP_PID" 2>/dev/null
        wait "$APP_PID" 2>/dev/null
        APP_PID=
    fi
}
trap stop_app EXIT

WINDOW=
start_app() {
    # French regional settings: dates as dd/mm/yyyy hh:nn, averages with a comma.
    LC_ALL=fr_FR.UTF-8 "$PREFIX/bin/zelvano" >>"$WORK/zelvano.log" 2>&1 &
    APP_PID=$!
    WINDOW=$(timeout 20 xdotool search --sync --onlyvisible --name '^Zelvano$' | head -n 1)
    [ -n "$WINDOW" ] || fail "the Zelvano window did not appear: $(cat "$WORK/zelvano.log")"
    # No window manager: give the window the keyboard focus ourselves.
    timeout 10 xdotool windowfocus --sync "$WINDOW" || fail "could not focus the window"
}

keys() {
    xdotool key --clearmodifiers --delay 40 "$@" || fail "xdotool key $*"
}

# click_at <x> <y>: a left click at a point of the main window.
click_at() {
    xdotool mousemove --window "$WINDOW" --sync "$1" "$2" click 1 || fail "click at $1,$2"
}

# The dialog open over the window, found by its exact title as the X server holds it (no
# " — Zelvano" appended).
dialog_titled() { # <title>
    local id
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
    [ -n "$id" ] || fail "no dialog titled exactly \"$1\"; windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
    echo "$id"
}
no_name_dialog() { ! xdotool search --onlyvisible --name '^Saisir le nom du joueur$' >/dev/null 2>&1; }
no_dialog() { ! xdotool search --onlyvisible --name '^(Informations|Erreur|Avertissement|Confirmer)$' >/dev/null 2>&1; }

# hold <seconds> <key>: the key held down as a hand holds it; the X server repeats it.
hold() {
    xdotool keydown "$2" || fail "xdotool keydown $2"
    sleep "$1"                           # the time the key is held, not a wait for the program
    xdotool keyup "$2" || fail "xdotool keyup $2"
}

shot() {
    if command -v import >/dev/null 2>&1; then
        import -window root "$ARTIFACTS/$1" || echo "note: screenshot $1 failed"
    else
        echo "note: no screenshot $1 (ImageMagick's import is not installed)"
    fi
}

# The sheet a restart would load, one "pts1<TAB>pts2" line per inning.
sheet_is() {
    local want
    want=$(printf '%s\n' "$@")
    [ "$("$SHEET_DUMP" "$BACKUP" 2>/dev/null)" = "$want" ]
}
wait_sheet() {
    poll 15 "the sheet $(printf '(%s) ' "$@" | tr '\t' ',')" sheet_is "$@"
}

# The exact bytes of a sheet as a file holds it: every entry ends with its own CR, then
# CR LF; the date is today's (or, past midnight, the day the run began).
matches_sheet() { # <file> <name1> <name2> <row>...
    local file=$1 name1=$2 name2=$3
    shift 3
    local content re row
    content=$(cat "$file"; printf x)
    content=${content%x}
    re="^${name1}${TAB}${name2}${TAB}([0-9]{2}/[0-9]{2}/[0-9]{4}) [0-9]{2}:[0-9]{2}${CR}${CR}"$'\n'
    for row in "$@"; do
        re+="${row}${CR}${CR}"$'\n'
    done
    re+='$'
    [[ $content =~ $re ]] || return 1
    local day=${BASH_REMATCH[1]}
    [ "$day" = "$TODAY" ] || [ "$day" = "$(date +%d/%m/%Y)" ]
}

# --- first start: one empty inning, saved at once --------------------------------------
start_app
wait_sheet "$TAB"
[ ! -e "$HISTORY" ] || fail "a first start wrote the history file"

# --- held keys: each hold acts once ---------------------------------------------------------
if [ "$MODE" = held ]; then
    ROWS=()                              # the complete innings so far
    # expect <row>...: the sheet is the complete innings and then the given rows.
    expect() { wait_sheet "${ROWS[@]}" "$@"; }
    rounds=${HELD_ROUNDS:-3}
    holds=0
    for ((round = 1; round <= rounds; round++)); do
        hold 1.5 5; keys Return;         expect "5$TAB"            # 5, not 555555
        hold 1.5 plus; keys Return;      expect "5${TAB}1" "$TAB"  # one point
        keys 5 7; hold 1.5 BackSpace; keys Return
        expect "5${TAB}1" "5$TAB"                                  # 57 back to 5, once
        hold 1.5 Return; keys 2 Return                             # one validation of "--"
        expect "5${TAB}1" "5${TAB}0" "2$TAB"
        hold 1.5 Up; keys 3 Return                                 # the OK key: once
        expect "5${TAB}1" "5${TAB}0" "2${TAB}0" "3$TAB"
        hold 1.5 BackSpace; keys 4 Return                          # at 0: one entry back
        expect "5${TAB}1" "5${TAB}0" "2${TAB}0" "4$TAB"
        keys F2
        dialog_titled Informations >/dev/null
        hold 1 Return                                              # "Non", then repeats
        poll 10 "the question to close" no_dialog
        keys Return                                                # acts at once: 0
        expect "5${TAB}1" "5${TAB}0" "2${TAB}0" "4${TAB}0" "$TAB"
        [ ! -e "$HISTORY" ] || fail "F2 then Return held wrote the history file"
        ROWS+=("5${TAB}1" "5${TAB}0" "2${TAB}0" "4${TAB}0")
        holds=$((holds + 7))
        echo "round $round: 7 holds, each acted once"
    done
    shot held-keys.png
    echo "held keys: $holds holds ($((rounds * 6)) of 1.5 s, $rounds of F2 then Return for 1 s), all acted once"
    exit 0
fi

# --- a match played with the keyboard ----------------------------------------------------
keys 7 Return
wait_sheet "7$TAB"
keys F3                                  # first inning: the names change sides
keys 1 2 BackSpace 5 Return              # 12, back to 1, then 15
wait_sheet "7${TAB}15" "$TAB"
keys F3                                  # second inning: nothing happens
keys 3 Return
wait_sheet "7${TAB}15" "3$TAB"
keys BackSpace                           # the run is at "--": takes player 1's 3 back
wait_sheet "7${TAB}15" "$TAB"
keys 1 0 Return Return                   # 10, then player 2 validates "--": 0
wait_sheet "7${TAB}15" "10${TAB}0" "$TAB"
keys KP_Add KP_Add KP_Add KP_Subtract Return   # 2, with the keypad's + and -
wait_sheet "7${TAB}15" "10${TAB}0" "2$TAB"
shot scoreboard.png

# --- the name dialog's caption, exactly --------------------------------------------------
click_at 150 95                          # the left name label ("Joueur 2" after F3)
dialog_titled "Saisir le nom du joueur" >/dev/null
shot name-dialog.png
keys Escape
poll 10 "the name dialog to close" no_name_dialog

# --- F2 by mistake, then Return out of habit: the question's default is "Non" ----------
sheet_before=$("$SHEET_DUMP" "$BACKUP")
keys F2
QUESTION=$(dialog_titled Informations)
shot question.png
keys Return
poll 10 "the question to close" no_dialog
keys F2
QUESTION=$(dialog_titled Informations)
hold 1 Return                            # closes the question, then repeats on the sheet
poll 10 "the question to close" no_dialog
[ "$("$SHEET_DUMP" "$BACKUP")" = "$sheet_before" ] || fail "F2 then Return changed the sheet: $("$SHEET_DUMP" "$BACKUP")"
[ ! -e "$HISTORY" ] || fail "F2 then Return wrote the history file"
keys F2
QUESTION=$(dialog_titled Informations)
keys Escape                              # Escape answers "Non"
poll 10 "the question to close" no_dialog
keys 4 Return                            # the keys act again at once
wait_sheet "7${TAB}15" "10${TAB}0" "2${TAB}4" "$TAB"
keys F2                                  # F2 released while the question is open ...
QUESTION=$(dialog_titled Informations)
eval "$(xdotool getwindowgeometry --shell "$QUESTION" | sed 's/^/Q_/')"
xdotool mousemove --sync $((Q_X + Q_WIDTH - 50)) $((Q_Y + Q_HEIGHT - 25)) click 1   # ... "Non" clicked
poll 10 "the question to close" no_dialog
keys 3 Return                            # the 3 is not swallowed
wait_sheet "7${TAB}15" "10${TAB}0" "2${TAB}4" "3$TAB"

# --- new match: F2, Tab to "Oui", Return ---------------------------------------------------
keys F2
QUESTION=$(dialog_titled Informations)
keys Tab Return
history_written() { [ -s "$HISTORY" ]; }
poll 15 "the history file" history_written
wait_sheet "$TAB"
cp "$HISTORY" "$ARTIFACTS/history.txt"
matches_sheet "$HISTORY" "Joueur 2" "Joueur 1" "7${TAB}15" "10${TAB}0" "2${TAB}4" "3${TAB}" \
    || fail "history file: $(od -c "$HISTORY" | head -n 20)"

# --- the next match, then a kill ---------------------------------------------------------
keys 5 Return 3 Return 9                 # the 9 is never validated
wait_sheet "5${TAB}3" "$TAB"
stop_app                                 # SIGKILL
# The F3 swap wrote the settings at once: the kill keeps the names where they went.
grep -qi "^joueur1=Joueur 2${CR}\?$" "$SETTINGS" 2>/dev/null || fail "the name swap did not reach the settings: $(cat "$SETTINGS" 2>&1)"

# --- restart: the sheet is back ----------------------------------------------------------
start_app
sheet_is "5${TAB}3" "$TAB" || fail "the restart changed the sheet: $("$SHEET_DUMP" "$BACKUP" 2>&1)"
shot scoreboard-restarted.png

# The utilities page through the gears button, right of the header bar (80 x 48).
read -r WIDTH HEIGHT < <(xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^WIDTH=//p; s/^HEIGHT=//p' | tr '\n' ' ')
[ "${WIDTH:-0}" -ge 800 ] || fail "window width ${WIDTH:-?}"
click_at $((WIDTH - 40)) 24
# Host and port typed into their fields, then "Envoyer ...": the fields sit at fixed
# places of the network section, right of the innings grid (329) and the splitter (16).
X0=345
Y0=$((48 + 177))                         # header bar, remote-control section
click_at $((X0 + 168 + 57)) $((Y0 + 48 + 16))   # EditHost
keys ctrl+a
xdotool type --delay 30 "127.0.0.1"
click_at $((X0 + 168 + 57)) $((Y0 + 87 + 16))   # EditPort
keys ctrl+a
xdotool type --delay 30 "$PORT"
click_at $((X0 + 288 + 68)) $((Y0 + 66 + 22))   # btnprintFeuille, "Envoyer ..."
received() { ls "$WORK/received"/feuille-*.txt >/dev/null 2>&1; }
poll 15 "the sheet at the receiving server" received
shot utilities.png
FRAME=$(ls "$WORK/received"/feuille-*.txt | head -n 1)
cp "$FRAME" "$ARTIFACTS/received.txt"
case $FRAME in *incomplet*) fail "the receiving server got an incomplete frame" ;; esac
# After the kill the names are still swapped: the swap was saved at once.
matches_sheet "$FRAME" "Joueur 2" "Joueur 1" "5${TAB}3" "${TAB}" \
    || fail "received frame: $(od -c "$FRAME" | head -n 20)"

# "Affecter touche" with no code captured: an error box titled "Erreur", nothing more.
click_at $((X0 + 288 + 68)) $((48 + 95 + 22))
dialog_titled Erreur >/dev/null
shot error.png
keys Return
poll 10 "the error box to close" no_dialog

# A sending writes the settings at once, host and port as typed.
settings_written() { [ -s "$SETTINGS" ]; }
poll 10 "the settings file" settings_written
grep -q "^host=127\.0\.0\.1${CR}\?\$" "$SETTINGS" || fail "settings: $(cat "$SETTINGS")"
grep -q "^port=${PORT}${CR}\?\$" "$SETTINGS" || fail "settings: $(cat "$SETTINGS")"
exit 0
