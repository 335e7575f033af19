# Where compiles are cached, and the source paths that make that possible. Included by
# the top CMakeLists.txt before any target is made.

# What is compiled names the clone's files by their place in it (capture/main.cpp),
# never by the clone's folder: two builds of one commit give the same bytes wherever
# they run, debug information included, and ccache, which hashes the build folder into
# builds with debug information unless it is mapped so, can share them across clones.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)

# Every compile goes through ccache where it is installed: scripts/test, the release and
# its checks build the same sources with the same flags many times over, in several
# clones. ccache gives a kept result only for the same compiler (by size and time), the
# same flags and the same source with every header it reads (by content); a compile that
# fails is never kept, a kept one replays the warnings it printed, and an entry that
# fails its checksum is dropped and compiled anew. So a stale or damaged cache costs a
# compile; it cannot make a build pass that would fail.
option(CAMTOOLS_CCACHE "Compile through ccache where it is installed" ON)
find_program(CAMTOOLS_CCACHE_PROGRAM ccache)
if(NOT CAMTOOLS_CCACHE OR NOT CAMTOOLS_CCACHE_PROGRAM)
  return()
endif()

# Beside the project's OpenCVs (scripts/build-opencv), and shared as they are; a variable
# set but empty counts as unset there, so here too.
if(NOT "$ENV{CAMTOOLS_CACHE}" STREQUAL "")
  set(camtools_cache $ENV{CAMTOOLS_CACHE})
elseif(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(camtools_cache $ENV{XDG_CACHE_HOME}/camtools)
else()
  set(camtools_cache $ENV{HOME}/.cache/camtools)
endif()

file(MD5 ${CMAKE_CURRENT_LIST_FILE} path_rules)
set(camtools_launcher ${CMAKE_COMMAND} -E env
  CCACHE_DIR=${camtools_cache}/ccache
  # About fourteen full runs of scripts/test on new sources; the oldest entries go first.
  CCACHE_MAXSIZE=1G
  # Paths inside the clone are hashed relative to the build folder, so that a clone
  # elsewhere (the release's check, a CI machine's) finds the same entries.
  CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
  # The compiler is run with the build's own command line, so a build through the cache
  # gives the bytes of one without (scripts/check-reproducible builds its second clone
  # without it to show that); the headers a compile read come from the list it writes
  # for Ninja (-MD), and a miss costs the compile alone, with no preprocessor run besides.
  CCACHE_DEPEND=1
  # ccache leaves -ffile-prefix-map out of its hash, though the map decides the paths in
  # __FILE__: the hash of this file, which holds the maps, goes into every entry instead.
  CCACHE_NAMESPACE=${path_rules}
  # This build's own hits and misses, which the set-up scripts report.
  CCACHE_STATSLOG=${PROJECT_BINARY_DIR}/ccache-stats.log
  ${CAMTOOLS_CCACHE_PROGRAM})
set(CMAKE_C_COMPILER_LAUNCHER ${camtools_launcher})
set(CMAKE_CXX_COMPILER_LAUNCHER ${camtools_launcher})

