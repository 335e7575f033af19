# Sourced, from the project's folder, by the scripts that run Wine: the project's prefix
# (the presets name it too), Wine's own noise off, and a bounded way to run Wine's steps.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# wine_in_32bit_namespace SCRIPT [ARGUMENT...]: runs the script again where 32-bit programs
# run, through qemu-i386 in a namespace of its own where that is the way (scripts/with-32bit),
# unless it runs there already or this machine runs none; then it goes on as it is.
wine_in_32bit_namespace() {
  [ -z "${CAMTOOLS_32BIT:-}" ] && bash scripts/can-run-32bit >/dev/null || return 0
  exec bash scripts/with-32bit bash "$@"
}

# wine_step WHAT COMMAND [ARGUMENT...]: runs one of Wine's own steps (a server, the
# prefix's start-up) with a limit. A step that fails or does not end in time ends the
# script with a line that says which: everything after it would fail at its own limit.
wine_step() {
  local what=$1 status=0
  shift
  timeout 180 "$@" </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq 0 ] && return
  [ $status -eq 124 ] && echo "Wine's $what did not end within 180 s" ||
    echo "Wine's $what failed with status $status"
  exit 1
}

# The virtual camera of a Linux build of this project (ci, else default): its tests/vcam
# folder, or nothing. Preloaded into Wine, it stands in for every camera of the machine.
virtual_camera_folder() {
  local build
  for build in ci default; do
    if [ -d "build/$build/tests/vcam/lib" ]; then
      echo "$PWD/build/$build/tests/vcam"
      return
    fi
  done
}
