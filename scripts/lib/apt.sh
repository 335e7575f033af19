# Sourced by the scripts that change the machine's packages: apt as root or through sudo.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
# apt's configuration, and its records of the archives' Release files: the machine's,
# unless a test gives folders of its own.
apt_etc=${CAMTOOLS_APT_ETC:-/etc/apt}
apt_lists=${CAMTOOLS_APT_LISTS:-/var/lib/apt/lists}

# apt_file FILE TEXT: makes a file of apt's configuration hold TEXT, written aside and
# renamed into place, so a run cut short never leaves half of one. Status 1 when it held
# TEXT already.
apt_file() {
  [ "$2" != "$(cat "$1" 2>/dev/null)" ] || return 1
  printf '%s\n' "$2" | $sudo tee "$1.new" >/dev/null
  $sudo mv -f "$1.new" "$1"
}

# apt_update: brings apt's lists up to date. A mirror can serve one list that does not
# match its index ("File has unexpected size ... Mirror sync in progress?"): apt-get
# update then fails, yet apt goes on with every list it could fetch and the old ones.
# That is said, with apt's own lines, and is no failure here: an install that needs what
# is missing fails then, naming it. Returns 1 when a list could not be fetched.
apt_update() {
  local status=0
  $sudo apt-get update -qq 2>&1 || status=$?
  [ $status -eq 0 ] && return 0
  echo "apt-get update failed (status $status): going on with the lists apt has"
  return 1
}
