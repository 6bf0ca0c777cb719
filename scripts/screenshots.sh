#!/usr/bin/env bash
# Shows what a person sees: starts Xvfb with openbox, runs the built program beside a copy of its
# delivered database, opens its windows and dialogs one after another and takes a screenshot of each:
# main window, hotkey panel, About box, page properties, save dialog, print preview, a download
# in progress and the mail window's three tabs, with a mailbox listed from Dovecot and a message
# with two attachments shown.
# Usage: scripts/screenshots.sh [OUTPUT_FOLDER]   (default: build/screenshots)
# Needs a built build/ (scripts/build.sh build), Xvfb, openbox, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output=${1:-$root/build/screenshots}
mkdir -p "$output"
output=$(cd "$output" && pwd)

for tool in Xvfb openbox xdotool import python3 /usr/sbin/dovecot; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[[ -x build/src/Quietpane && -f build/src/Quietpane.mdb ]] ||
  { echo "screenshots.sh: build the program first (scripts/build.sh build)" >&2; exit 1; }

source scripts/x-session.sh

# The program runs from a folder of its own, so its database and captures stay out of the build.
mkdir -p "$work/program" "$work/pages" "$work/home/Downloads"
cp build/src/Quietpane build/src/Quietpane.mdb "$work/program/"

# A page to show and print, served from 127.0.0.1.
cat >"$work/pages/index.html" <<'PAGE'
<html><head><meta charset="utf-8"><title>Quietpane test page</title></head>
<body style="font-family: sans-serif"><h1>Quietpane</h1>
<p>A page served from 127.0.0.1 for the screenshots: printing, preview and the main window.</p>
<ul><li>Bookmarks on the left</li><li>Page commands in the File menu</li></ul></body></html>
PAGE
# A large file behind a link in the page's top left corner, sent slowly enough to be seen arriving.
cat >"$work/pages/download.html" <<'PAGE'
<html><head><title>Download</title></head><body style="font-family: sans-serif">
<a style="position:absolute;left:0;top:0;width:300px;height:80px" href="slow/archive.bin">A large file</a>
</body></html>
PAGE
head -c 400000 /dev/urandom >"$work/pages/archive.bin"
port=$(free_port)
python3 tests/scripts/web_server.py "$port" "$work/pages" >"$work/http.log" 2>&1 &
pids+=($!)

# A mailbox to list: Dovecot on 127.0.0.1 with three messages, the last with two attachments.
# Dovecot refuses to serve mail as root: then the mailbox belongs to nobody.
pop3_port=$(free_port)
mail_uid=$(id -u) mail_gid=$(id -g)
[[ $mail_uid -eq 0 ]] && mail_uid=65534 mail_gid=65534
chmod 755 "$work"
mkdir -p "$work/dovecot/run" "$work/dovecot/state" "$work/dovecot/mail/alice/"{new,cur,tmp}
printf 'alice:{PLAIN}secret:%s:%s::%s::\n' "$mail_uid" "$mail_gid" "$work/dovecot" >"$work/dovecot/passwd"
cat >"$work/dovecot/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
base_dir = $work/dovecot/run
state_dir = $work/dovecot/state
log_path = $work/dovecot/dovecot.log
instance_name = screenshots$pop3_port
mail_location = maildir:$work/dovecot/mail/%u
passdb {
  driver = passwd-file
  args = $work/dovecot/passwd
}
userdb {
  driver = passwd-file
  args = $work/dovecot/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3_port
  }
  inet_listener pop3s {
    port = 0
  }
}
CONF
deliver() {
  printf '%b' "$2" >"$work/dovecot/mail/alice/new/$1.screenshots"
}
deliver 1 'From: Ann Smith <ann@example.org>\r\nTo: alice@example.org\r\nSubject: Lunch on Friday\r\nDate: Tue, 08 Dec 2026 10:15:00 +0000\r\n\r\nShall we meet at noon?\r\n'
deliver 2 'From: "Doe, John" <jd@example.org>\r\nTo: alice@example.org\r\nSubject: Minutes\r\nDate: Tue, 08 Dec 2026 14:02:00 +0000\r\n\r\nThe minutes of today.\r\n'
deliver 3 'From: Carl <carl@example.org>\r\nTo: alice@example.org\r\nCc: dora@example.org\r\nSubject: Quarterly report\r\nDate: Wed, 09 Dec 2026 09:30:00 +0000\r\nOrganization: Example Ltd\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="b"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nHello Alice,\r\n\r\nthe report and its figures are attached.\r\n\r\nCarl\r\n--b\r\nContent-Type: application/pdf; name="report.pdf"\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--b\r\nContent-Type: text/csv; name="figures.csv"\r\nContent-Transfer-Encoding: base64\r\n\r\ncXVhcnRlcixzYWxlcwo=\r\n--b--\r\n'
[[ $(id -u) -eq 0 ]] && chown -R "$mail_uid:$mail_gid" "$work/dovecot/mail"
/usr/sbin/dovecot -F -c "$work/dovecot/dovecot.conf" >"$work/dovecot/dovecot.out" 2>&1 &
pids+=($!)

start_x_session

export QT_QPA_PLATFORM=xcb
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
# A home of its own: the settings file and the download folder stay out of the user's; a
# runtime folder of its own, so that a Quietpane the user runs does not take this start over.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/home"
"$work/program/Quietpane" >"$work/quietpane.log" 2>&1 &
program=$!
pids+=("$program")

window=""
for _ in $(seq 50); do
  window=$(xdotool search --onlyvisible --pid "$program" --class Quietpane 2>/dev/null | head -1 || true)
  [[ -n $window ]] && break
  sleep 0.2
done
[[ -n $window ]] || { echo "screenshots.sh: the main window did not appear" >&2; cat "$work/quietpane.log" >&2; exit 1; }
sleep 1

# Clicks at a point of the main window's client area.
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.5
}
shot() {
  sleep "${2:-1}"
  import -window root "$output/$1.png"
  echo "$output/$1.png"
}

# Places in the main window's client area (pixels from its top left corner).
address=(420 62)
add_bookmark=(120 161)
secret_keys=(185 88)
hotkey_close=(538 267)
tool_print=(161 36)
help_menu=(200 10)
file_menu=(19 10)
go_menu=(126 10)
page_corner=(260 160)
email_button=(107 88)
# Places in the mail window's client area.
setup_tab=(26 45)
send_tab=(94 45)
receive_tab=(182 45)
host_box=(354 111)
port_out_box=(123 141)
to_box=(310 110)
subject_box=(310 236)
body_box=(312 356)
check_mail=(35 14)
third_row=(150 124)

# The local page through the address box.
click "${address[@]}"
xdotool key ctrl+a
xdotool type --delay 5 "http://127.0.0.1:$port/index.html"
sleep 0.5
xdotool key Return
sleep 3
# Two bookmarks of it: "Add" on the grid's title row.
click "${add_bookmark[@]}"
click "${add_bookmark[@]}"
shot main-window 2

click "${secret_keys[@]}"
shot hotkey-panel
click "${hotkey_close[@]}"

click "${help_menu[@]}"
xdotool key Down Return
shot about-box
xdotool key Return
sleep 0.5

click "${go_menu[@]}"
# "Properties" is the last entry; Back and Forward above it may be disabled and skipped.
xdotool key Up Return
shot page-properties 2
xdotool key Return
sleep 0.5

click "${file_menu[@]}"
xdotool key Down Down Down Return
shot save-as 2
xdotool key Escape
sleep 0.5

click "${tool_print[@]}"
shot print-preview 4
xdotool key Escape
sleep 0.5

# A download in progress: the save dialog proposes the download folder, then the progress and
# status bars follow the file.
click "${address[@]}"
xdotool key ctrl+a
xdotool type --delay 5 "http://127.0.0.1:$port/download.html"
sleep 0.5
xdotool key Return
sleep 3
click "${page_corner[@]}"
shot download-save-dialog 2
xdotool key Return
shot download-in-progress 8

# The mail window: its Setup tab with an account typed in, then a message composed, then the mailbox.
click "${email_button[@]}"
mail=""
for _ in $(seq 25); do
  mail=$(xdotool search --onlyvisible --pid "$program" --name '^Email$' 2>/dev/null | grep -vx "$window" | head -1 || true)
  [[ -n $mail ]] && break
  sleep 0.2
done
[[ -n $mail ]] || { echo "screenshots.sh: the mail window did not appear" >&2; exit 1; }
# Types into the box at a point of the mail window's client area.
mail_type() {
  xdotool mousemove --window "$mail" "$1" "$2" click 1
  sleep 0.3
  xdotool type --delay 5 "$3"
}
mail_click() {
  xdotool mousemove --window "$mail" "$1" "$2" click 1
  sleep 0.5
}
mail_click "${setup_tab[@]}"
mail_type "${host_box[@]}" "smtp.example.org"
mail_type "${port_out_box[@]}" "25"
shot mail-setup
mail_click "${send_tab[@]}"
mail_type "${to_box[@]}" "bob@example.org"
mail_type "${subject_box[@]}" "Lunch on Friday"
mail_type "${body_box[@]}" "Hello Bob, shall we meet at noon?"
shot mail-send
mail_click "${receive_tab[@]}"
shot mail-receive
# The incoming server typed in, Tab from box to box; Check Mail lists the mailbox, a click on the
# last row shows it with its two attachments, and the status bar tells the mailbox size.
mail_click "${setup_tab[@]}"
mail_click "${port_out_box[@]}"
xdotool key Tab Tab
xdotool type --delay 5 alice
xdotool key Tab
xdotool type --delay 5 secret
xdotool key Tab Tab Tab
xdotool type --delay 5 127.0.0.1
xdotool key Tab
xdotool type --delay 5 "$pop3_port"
mail_click "${check_mail[@]}"
sleep 2
shot mail-receive-listed
mail_click "${third_row[@]}"
shot mail-receive-message 2
