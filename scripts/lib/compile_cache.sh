# Sourced by the scripts that build. Through ccache (cmake/compile-cache.cmake) each build
# folder keeps a log of its compiles' hits and misses; this says them in one line, for
# the stage's log, and starts the count again.
#
#   build_preset PRESET [BUILD_ARGUMENT...]   configures and builds a CMake preset (the
#                                             arguments go to the build, e.g. --target),
#                                             then reports
#   compile_cache_report BUILD_FOLDER

build_preset() {
  local preset=$1
  shift
  cmake --preset "$preset" && cmake --build --preset "$preset" "$@" &&
    compile_cache_report "build/$preset"
}

compile_cache_report() {
  local log=$1/ccache-stats.log
  if [ ! -s "$log" ]; then
    echo "compiler cache: nothing compiled through it in $1"
    return 0
  fi
  # One compile logs one of these three, besides counters of its own.
  awk -v folder="$1" '
    /^(direct|preprocessed)_cache_hit$/ { hits++ }
    /^cache_miss$/ { misses++ }
    END {
      total = hits + misses
      printf "compiler cache: %d of %d compiles in %s came from it (%d%%)\n", hits, total,
        folder, total ? 100 * hits / total : 0
    }' "$log"
  rm -f "$log"
}
