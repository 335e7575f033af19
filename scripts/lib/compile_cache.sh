# Sourced by the scripts that build. Through ccache (cmake/compile-cache.cmake) each build
# folder keeps a log of its compiles' hits and misses; this says them in one line, for
# the stage's log, and starts the count again.
#
#   compile_cache_report BUILD_FOLDER
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
