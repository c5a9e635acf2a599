#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, installs them with apt as a club
# would, starts the installed programs (the scoreboard offscreen, the receiver, the club
# server as its service account), then purges them and checks that nothing is left.
#   tests/packaging/check_packages.sh [build folder, default build]
# It changes the machine it runs on (packages, the zelvano group, a test account) and puts
# everything back at the end, also after a failure; a second run starts from scratch.
# Root only (CI runs as root). A run takes about a minute once the build folder is built.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
dir=${1:-build}
start=$(date +%s)
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

say() { echo "check_packages: $*"; }
fail() { echo "check_packages: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "root only (it installs and purges packages)"

all_pkgs=(zelvano zelvano-receiver zelvano-club)
users=(zvpkgcheck)
work=$(mktemp -d /tmp/zv-pkgcheck.XXXXXX)
chmod 755 "$work"
pids=()

installed() { dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null | grep -q '^.[ic]'; }

cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
  local left=()
  for p in "${all_pkgs[@]}"; do installed "$p" && left+=("$p"); done
  if [ ${#left[@]} -gt 0 ]; then
    apt-get purge -y -qq "${left[@]}" </dev/null >/dev/null 2>&1 || dpkg --purge "${left[@]}" >/dev/null 2>&1
  fi
  for u in "${users[@]}"; do getent passwd "$u" >/dev/null && userdel "$u" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local secs=$1; shift
  local deadline=$(( $(date +%s) + secs ))
  until "$@" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

free_port() {
  perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1", LocalPort => 0)->sockport'
}

# --- leftovers of an interrupted earlier run -------------------------------------------
for p in "${all_pkgs[@]}"; do
  if installed "$p"; then
    say "$p is installed (an earlier run stopped half-way?): purged first"
    apt-get purge -y -qq "$p" </dev/null >/dev/null || fail "cannot purge $p"
  fi
done
for u in "${users[@]}"; do getent passwd "$u" >/dev/null && userdel "$u"; done

# --- build -----------------------------------------------------------------------------
say "packages from $dir"
timeout 1800 bash scripts/package.sh "$dir" >"$work/package.log" 2>&1 ||
  { tail -n 30 "$work/package.log"; fail "scripts/package.sh $dir"; }
debs=("$(cd "$dir" && pwd)"/packages/*.deb)
[ -e "${debs[0]}" ] || fail "no package in $dir/packages"
pkgs=()
for deb in "${debs[@]}"; do
  pkgs+=("$(dpkg-deb -f "$deb" Package)")
  say "$(basename "$deb"): $(stat -c %s "$deb") bytes, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
done
has() { local p; for p in "${pkgs[@]}"; do [ "$p" = "$1" ] && return 0; done; return 1; }
has zelvano || fail "no zelvano package"
has zelvano-receiver || fail "no zelvano-receiver package"
has zelvano-club || say "no zelvano-club package (the club server is not part of this build)"

# Dependencies come from the binaries: the Qt libraries they link must be there.
deps=$(dpkg-deb -f "$dir"/packages/zelvano_*.deb Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libc6; do
  grep -q "\b$lib\b" <<<"$deps" || fail "zelvano does not depend on $lib: $deps"
done

# --- lintian ---------------------------------------------------------------------------
timeout 600 lintian --no-tag-display-limit --display-level '>=info' "${debs[@]}" \
  >"$work/lintian.txt" 2>&1
grep -E '^[EWIP]: ' "$work/lintian.txt" | sed 's/^/  lintian /'
errors=$(grep -c '^E: ' "$work/lintian.txt")
warnings=$(grep -c '^W: ' "$work/lintian.txt")
say "lintian: $errors errors, $warnings warnings"
[ "$errors" -eq 0 ] || fail "lintian reports errors"

# --- install ---------------------------------------------------------------------------
timeout 600 apt-get install -y -qq --no-install-recommends "${debs[@]}" \
  </dev/null >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }
for p in "${pkgs[@]}"; do installed "$p" || fail "$p did not install"; done

# --- zelvano ---------------------------------------------------------------------------
bin=$(command -v zelvano) || fail "zelvano is not on the PATH"
[ -x "$(dirname "$bin")/ZelvanoPrn" ] || fail "ZelvanoPrn is not beside $bin"
desktop-file-validate /usr/share/applications/org.zelvano.Zelvano.desktop || fail "desktop entry"
grep -qx 'Name=Zelvano' /usr/share/applications/org.zelvano.Zelvano.desktop || fail "menu name"
[ -f /usr/share/icons/hicolor/scalable/apps/org.zelvano.Zelvano.svg ] || fail "icon"
appstreamcli validate --no-net /usr/share/metainfo/org.zelvano.Zelvano.metainfo.xml \
  >"$work/appstream.txt" 2>&1 || { cat "$work/appstream.txt"; fail "AppStream metadata"; }
[ -f /usr/share/doc/zelvano/examples/zelvano-autostart.desktop ] || fail "autostart example"
getent group zelvano >/dev/null || fail "no zelvano group"
[ "$(stat -c '%a %U %G' /var/lib/zelvano)" = "2775 root zelvano" ] ||
  fail "/var/lib/zelvano is $(stat -c '%a %U %G' /var/lib/zelvano)"

# Starts the installed scoreboard as user $1 with home $2 and waits for its backup $3.
run_scoreboard() {
  local user=$1 home=$2 backup=$3 log=$work/zelvano-$1.log pid
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$home/run" zelvano >"$log" 2>&1 &
  pid=$!
  pids+=("$pid")
  wait_for 30 test -s "$backup" ||
    { cat "$log"; fail "the scoreboard run by $user wrote no $backup"; }
  sleep 0.5 # it must still be running once the backup is written
  kill -0 "$pid" 2>/dev/null || { cat "$log"; fail "the scoreboard run by $user stopped"; }
  kill -TERM "$pid"; wait "$pid" 2>/dev/null
}

# A member of the zelvano group: the files go to the shared folder, owned by the group.
useradd --no-create-home --no-user-group --gid users --groups zelvano \
  --home-dir "$work/home" --shell /usr/sbin/nologin zvpkgcheck || fail "useradd"
install -d -o zvpkgcheck -m 700 "$work/home" "$work/home/run"
run_scoreboard zvpkgcheck "$work/home" /var/lib/zelvano/FeuilleMatch.bin
[ "$(stat -c %G /var/lib/zelvano/FeuilleMatch.bin)" = zelvano ] || fail "backup not in the zelvano group"
[ ! -e "$work/home/Documents/FeuilleMatch.bin" ] || fail "backup in Documents despite the shared folder"
# Not a member: the user's own documents folder.
gpasswd -d zvpkgcheck zelvano >/dev/null || fail "gpasswd"
run_scoreboard zvpkgcheck "$work/home" "$work/home/Documents/FeuilleMatch.bin"
say "scoreboard: backup in /var/lib/zelvano for the group, in ~/Documents for others"

# The print program, installed, makes a PDF of a sheet without a window.
cp tests/data/printer/sheet.txt "$work/home/tmp.txt" && chown zvpkgcheck "$work/home/tmp.txt"
runuser -u zvpkgcheck -- env -i PATH=/usr/bin:/bin HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  timeout 60 ZelvanoPrn --pdf "$work/home/feuille.pdf" "$work/home/tmp.txt" >"$work/prn.log" 2>&1 ||
  { cat "$work/prn.log"; fail "ZelvanoPrn --pdf"; }
[ "$(head -c 5 "$work/home/feuille.pdf")" = "%PDF-" ] || fail "ZelvanoPrn wrote no PDF"
say "ZelvanoPrn: PDF of $(stat -c %s "$work/home/feuille.pdf") bytes"

# --- zelvano-receiver ------------------------------------------------------------------
mkdir "$work/sheets"
timeout 60 zelvano-receiver --listen 127.0.0.1 --port 0 --dir "$work/sheets" >"$work/receiver.log" 2>&1 &
pids+=($!)
wait_for 20 grep -q "à l'écoute" "$work/receiver.log" || { cat "$work/receiver.log"; fail "receiver did not start"; }
port=$(sed -n "s/.*à l'écoute sur [^ ]*:\([0-9]*\),.*/\1/p" "$work/receiver.log")
# A frame of two lines: the line count in 4 bytes, big-endian, then each line and CR LF.
printf '\0\0\0\002Paul\tPierre\r\n12\t7\r\n' >"/dev/tcp/127.0.0.1/$port" || fail "cannot reach the receiver"
wait_for 20 sh -c "ls '$work/sheets' | grep -q ." || fail "the receiver stored nothing"
grep -q 'Paul' "$work/sheets"/* || fail "the stored sheet lost its text"
say "zelvano-receiver: stored $(ls "$work/sheets")"

# --- zelvano-club ----------------------------------------------------------------------
if has zelvano-club; then
  unit=/lib/systemd/system/zelvano-club.service
  [ -f "$unit" ] || fail "no $unit"
  account=$(getent passwd zelvano-club) || fail "no zelvano-club account"
  [ "$(cut -d: -f3 <<<"$account")" -lt 1000 ] || fail "zelvano-club is not a system account"
  [ "$(stat -c '%a %U' /var/lib/zelvano-club)" = "750 zelvano-club" ] ||
    fail "/var/lib/zelvano-club is $(stat -c '%a %U' /var/lib/zelvano-club)"
  ls /etc/systemd/system/*.wants/zelvano-club.service >/dev/null 2>&1 &&
    fail "the package enabled the service by itself"
  if command -v systemd-analyze >/dev/null; then
    man=no; command -v man >/dev/null && man=yes
    systemd-analyze verify --man=$man "$unit" || fail "systemd-analyze verify $unit"
  fi
  # The unit's own command line, as its own user and in its folder, on free ports.
  exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
  user=$(sed -n 's/^User=//p' "$unit")
  wd=$(sed -n 's/^WorkingDirectory=//p' "$unit")
  http=$(free_port); frames=$(free_port)
  (cd "$wd" && exec timeout 120 runuser -u "$user" -- $exec_start \
     --listen 127.0.0.1 --http-port "$http" --frame-port "$frames") >"$work/club.log" 2>&1 &
  pids+=($!)
  wait_for 30 curl -fsS -o "$work/club.html" "http://127.0.0.1:$http/" ||
    { cat "$work/club.log"; fail "the club server's page does not answer"; }
  grep -qi '<html' "$work/club.html" || fail "the club server's page is not HTML"
  [ -s /var/lib/zelvano-club/zelvano-club.sqlite ] || fail "no base in /var/lib/zelvano-club"
  [ "$(stat -c '%a %U %G' /etc/zelvano-club/cle)" = "640 root zelvano-club" ] ||
    fail "/etc/zelvano-club/cle is $(stat -c '%a %U %G' /etc/zelvano-club/cle)"
  say "zelvano-club: http://127.0.0.1:$http/ answers ($(stat -c %s "$work/club.html") bytes), base in /var/lib/zelvano-club"
fi

# --- purge -----------------------------------------------------------------------------
for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
pids=()
timeout 600 apt-get purge -y -qq "${pkgs[@]}" </dev/null >"$work/purge.log" 2>&1 ||
  { cat "$work/purge.log"; fail "apt-get purge"; }
for p in "${pkgs[@]}"; do installed "$p" && fail "$p still installed"; done
for path in /usr/bin/zelvano /usr/bin/ZelvanoPrn /usr/bin/zelvano-receiver /usr/bin/zelvano-club \
            /var/lib/zelvano /var/lib/zelvano-club /etc/zelvano-club \
            /lib/systemd/system/zelvano-club.service /usr/share/doc/zelvano; do
  [ ! -e "$path" ] || fail "$path is left after the purge"
done
getent group zelvano >/dev/null && fail "the zelvano group is left"
getent passwd zelvano-club >/dev/null && fail "the zelvano-club account is left"
# No process of an installed program (its file now deleted) may outlive the purge.
running=$(for exe in /proc/[0-9]*/exe; do readlink "$exe"; done 2>/dev/null |
          grep -E '^/usr/bin/(zelvano|ZelvanoPrn|zelvano-receiver|zelvano-club)( \(deleted\))?$')
[ -z "$running" ] || fail "still running after the purge: $running"
say "purged, nothing left; $(( $(date +%s) - start )) s"
