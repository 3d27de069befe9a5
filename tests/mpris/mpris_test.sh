#!/usr/bin/env bash
# The player on a private session bus, driven by playerctl: transport,
# position and seek, volume, loop and shuffle, the metadata of tagged files,
# OpenUri of files and addresses, a stream's metadata, and the changes a
# follower sees.
# Usage: mpris_test.sh BUILD_DIR   (runs itself again inside dbus-run-session)
set -euo pipefail
build=$1
if [ -z "${NILO_MPRIS_BUS:-}" ]; then
  exec env NILO_MPRIS_BUS=1 dbus-run-session -- "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi
work=$(mktemp -d)
player=""
follower=""
titles=""
station_pid=""
cleanup() {
  for p in $player $follower $titles $station_pid; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
ctl() { playerctl -p nilo "$@"; }
# Waits up to 5 s for a playerctl query to give the wanted text.
expect() {
  local wanted=$1; shift
  local got=""
  for _ in $(seq 50); do
    got=$(ctl "$@" 2>/dev/null || true)
    [ "$got" = "$wanted" ] && return 0
    sleep 0.1
  done
  fail "playerctl $* gave '$got', not '$wanted'"
}

# Its own copy of the program: the player ends other copies of itself.
mkdir -p "$work/bin" "$work/home"
cp "$build/nilo" "$work/bin/"
cp -r "$build/Lng" "$work/home/"
for n in 1 2 3; do
  sox -n -r 44100 -c 2 "$work/t$n.wav" synth 30 sine $((300 + 100 * n)) 2>/dev/null
  lame --silent --tt "Song $n" --ta "Artist $n" --tl "Album $n" "$work/t$n.wav" "$work/t$n.mp3"
done
printf '%s\n' "$work/t1.mp3" "$work/t2.mp3" >"$work/list.m3u"

NILO_HOME="$work/home" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$work/bin/nilo" "$work/list.m3u" \
  2>"$work/player.log" &
player=$!
expect Playing status
ctl --follow status >"$work/follow.log" 2>/dev/null &
follower=$!

expect "Song 1" metadata xesam:title
expect "Artist 1" metadata xesam:artist
expect "Album 1" metadata xesam:album
expect "file://$work/t1.mp3" metadata xesam:url
expect 30000000 metadata mpris:length

ctl pause; expect Paused status
ctl play; expect Playing status
ctl next; expect "Song 2" metadata xesam:title
ctl previous; expect "Song 1" metadata xesam:title

ctl position 12
at=$(ctl position)
awk -v p="$at" 'BEGIN { exit !(p >= 12 && p < 14) }' || fail "position after seeking to 12 s is $at"
ctl position 5-
at=$(ctl position)
awk -v p="$at" 'BEGIN { exit !(p >= 7 && p < 9) }' || fail "position after seeking 5 s back is $at"

ctl volume 0.35; expect 0.350000 volume
ctl loop Playlist; expect Playlist loop
ctl loop None; expect None loop
ctl shuffle On; expect On shuffle
ctl shuffle Off; expect Off shuffle

ctl open "file://$work/t3.mp3"; expect "Song 3" metadata xesam:title

# A station of our own on 127.0.0.1, in a process of its own; its title
# changes every 3 s.
"$build/test_station" mp3 --title-every 3 >"$work/station.out" &
station_pid=$!
for _ in $(seq 100); do [ -s "$work/station.out" ] && break; sleep 0.1; done
station=$(head -n 1 "$work/station.out")
[ -n "$station" ] || fail "the test station did not start"
property() {
  dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.nilo /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get "string:$1" "string:$2"
}
property org.mpris.MediaPlayer2 SupportedUriSchemes | grep -q 'string "https"' || fail "https is not among the URI schemes"
ctl --follow metadata xesam:title >"$work/titles.log" 2>/dev/null &
titles=$!
ctl open "$station"
expect "Loopback FM" metadata xesam:album
expect "$station" metadata xesam:url
[ -z "$(ctl metadata mpris:length 2>/dev/null || true)" ] || fail "a stream has a length"
property org.mpris.MediaPlayer2.Player CanSeek | grep -q 'boolean false' || fail "a stream can seek"
for _ in $(seq 150); do grep -q '^Song 2$' "$work/titles.log" && break; sleep 0.1; done
grep -q '^Song 1$' "$work/titles.log" || fail "the follower did not see the first title: $(tr '\n' ' ' <"$work/titles.log")"
grep -q '^Song 2$' "$work/titles.log" || fail "a title change sent no PropertiesChanged"
expect "Artist 2" metadata xesam:artist
ctl stop; expect Stopped status

sleep 0.5
grep -qx Paused "$work/follow.log" || fail "the follower did not see Paused: $(tr '\n' ' ' <"$work/follow.log")"
tail -n 1 "$work/follow.log" | grep -qx Stopped || fail "the follower did not see Stopped last"
tr -d '\r' <"$work/home/config.cfg" | grep -qx 'Volume=35' || fail "the volume set over the bus was not saved"
echo "mpris: ok"
