# Sourced by the scripts that run 32-bit x86 programs (the shipped Windows programs under
# 32-bit Wine). Some machines execute them; others answer every i386 program with "Exec
# format error". There qemu-i386 can run them, registered for i386 programs in the
# binfmt_misc table of a private user namespace (Linux 6.7 and later): the machine's own
# table is never written, and nothing outside the namespace runs through qemu.
#
# CAMTOOLS_32BIT_WAYS (default "native qemu") names the ways to try, in order: "qemu"
# alone tries the emulated way on a machine that runs i386 programs itself.
# CAMTOOLS_QEMU_I386 is the qemu-i386 to use (default: qemu-i386 on the PATH).

# qemu's own pattern for i386 ELF programs, as its binfmt.d/qemu-i386.conf has it:
# executables and shared objects of EM_386.
i386_magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# The oldest qemu-i386 seen to serve: Debian 12's 7.2 runs 32-bit Wine, but ignores
# MAP_FIXED_NOREPLACE, so every Wine start takes seconds and Wine's services crash.
i386_qemu_oldest=10.0
# 32-bit Wine's loader, which the emulated way must start.
i386_wine=${CAMTOOLS_WINE32:-/usr/lib/wine/wine}

# i386_probe_program FOLDER: builds a static i386 program of three instructions that ends
# with status 42 (assembled with binutils, so nothing 32-bit need be installed first);
# prints its path, or why it could not be built.
i386_probe_program() {
  local folder=$1
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' \
    >"$folder/exit42.s"
  if ! as --32 -o "$folder/exit42.o" "$folder/exit42.s" 2>"$folder/error" ||
    ! ld -m elf_i386 -o "$folder/exit42" "$folder/exit42.o" 2>>"$folder/error"; then
    echo "the i386 probe could not be built ($(head -n 1 "$folder/error"))"
    return 1
  fi
  echo "$folder/exit42"
}

# i386_runs PROGRAM [RUNNER...]: runs the probe program (through RUNNER, when given);
# says why not when it does not end with its status.
i386_runs() {
  local program=$1 status=0
  shift
  "$@" "$program" 2>"$program.error" || status=$?
  [ $status -eq 42 ] && return 0
  echo "$(tail -n 1 "$program.error" | sed 's/.*: //'), status $status"
  return 1
}

# i386_qemu_version QEMU: the version QEMU says it is, or nothing.
i386_qemu_version() {
  "$1" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p'
}

# i386_qemu: the qemu-i386 to use; says why there is none that serves.
i386_qemu() {
  local qemu=${CAMTOOLS_QEMU_I386:-$(command -v qemu-i386 || true)} version
  if [ -z "$qemu" ]; then
    echo "no qemu-i386 is installed (scripts/install-deps installs one)"
    return 1
  fi
  version=$(i386_qemu_version "$qemu")
  if [ -z "$version" ]; then
    echo "$qemu does not say its version"
    return 1
  fi
  if [ "$(printf '%s\n' "$i386_qemu_oldest" "$version" | sort -V | head -n 1)" != \
    "$i386_qemu_oldest" ]; then
    echo "$qemu is version $version, older than $i386_qemu_oldest, which 32-bit Wine needs"
    return 1
  fi
  echo "$qemu"
}

# Why a private binfmt_misc table cannot be had, where mounting one fails.
i386_no_table() {
  echo "binfmt_misc cannot be mounted in a private namespace" \
    "(Linux 6.7 and later allow it; this is $(uname -r))"
}

# i386_in_namespace QEMU COMMAND [ARGUMENT...]: runs COMMAND in a private user and mount
# namespace whose own binfmt_misc table runs i386 programs through QEMU. Flag F opens
# QEMU at registration, so it serves whatever the namespace later mounts. Status 125:
# the namespace or its table could not be made (the line says why).
i386_in_namespace() {
  local qemu=$1
  shift
  unshare --user --map-root-user --mount -- /bin/sh -c '
    table=/proc/sys/fs/binfmt_misc
    mount -t binfmt_misc binfmt_misc "$table" 2>/dev/null || { echo "$1"; exit 125; }
    printf ":camtools-i386:M::%s:%s:%s:F" "$2" "$3" "$4" >"$table/register" ||
      { echo "$4 cannot be registered in the private binfmt_misc table"; exit 125; }
    shift 4
    exec "$@"' sh "$(i386_no_table)" "$i386_magic" "$i386_mask" "$qemu" "$@"
}

# i386_private_table: whether a private binfmt_misc table can be made here; says why not.
i386_private_table() {
  local said status=0
  said=$(unshare --user --map-root-user --mount -- /bin/sh -c \
    'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>&1) || status=$?
  [ $status -eq 0 ] && return 0
  case $said in
    unshare:*) echo "no private user namespace can be made (${said#unshare: })" ;;
    *) i386_no_table ;;
  esac
  return 1
}

i386_ways() {
  echo "${CAMTOOLS_32BIT_WAYS:-native qemu}"
}
