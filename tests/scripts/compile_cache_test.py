"""The compiler cache as cmake/compile-cache.cmake sets it up, on a small project that
includes it as the top CMakeLists.txt does: clones in other folders share its entries,
a build through it gives the bytes a build without it gives, a damaged or a warm cache
never makes a failing build pass, and scripts/lib/compile_cache.sh's line says the hits.

    python3 -m unittest -v compile_cache_test    (from this folder; needs cmake, ninja,
                                                  g++ and ccache)
"""
import os
import shutil
import subprocess
import tempfile
import unittest

PROJECT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

# The file's name and a header's constant both reach the program, with debug information:
# every path the cache could change ends up in its bytes.
SOURCE = """#include <cstdio>
#include "answer.h"
int main() {
  int unused = 0;
  std::printf("%s %d\\n", __FILE__, ANSWER);
}
"""
CMAKE_LISTS = """cmake_minimum_required(VERSION 3.22)
project(small LANGUAGES CXX)
add_compile_options(-Wall)
include(cmake/compile-cache.cmake)
add_executable(small main.cpp)
target_include_directories(small PRIVATE include)
"""


class CompileCache(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="camtools-compile-cache-")
        self.addCleanup(shutil.rmtree, self.work)
        self.environment = dict(os.environ, CAMTOOLS_CACHE=os.path.join(self.work, "cache"))
        self.environment.pop("CCACHE_DISABLE", None)

    def clone(self, where):
        """The small project in WHERE under the test's folder."""
        folder = os.path.join(self.work, where)
        os.makedirs(os.path.join(folder, "include"))
        os.makedirs(os.path.join(folder, "cmake"))
        shutil.copy(os.path.join(PROJECT, "cmake", "compile-cache.cmake"),
                    os.path.join(folder, "cmake"))
        for name, text in [("CMakeLists.txt", CMAKE_LISTS), ("main.cpp", SOURCE),
                           ("include/answer.h", "#define ANSWER 42\n")]:
            with open(os.path.join(folder, name), "w") as file:
                file.write(text)
        return folder

    def build(self, clone, *options, folder="build/p", ccache_disabled=False):
        """Configures and builds; the build's run, with its output in .output."""
        environment = dict(self.environment)
        if ccache_disabled:
            environment["CCACHE_DISABLE"] = "1"
        build = os.path.join(clone, folder)
        run = subprocess.run(
            ["bash", "-c", 'cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo '
             '"${@:3}" >/dev/null && cmake --build "$2"', "-", clone, build] + list(options),
            env=environment, capture_output=True, text=True)
        run.output = run.stdout + run.stderr
        return run

    def program(self, clone, folder="build/p"):
        return os.path.join(clone, folder, "small")

    def report(self, clone, folder="build/p"):
        return subprocess.run(
            ["bash", "-c", 'source "$1/scripts/lib/compile_cache.sh" && compile_cache_report "$2"',
             "-", PROJECT, os.path.join(clone, folder)],
            capture_output=True, text=True, check=True).stdout

    def bytes_of(self, path):
        with open(path, "rb") as file:
            return file.read()

    def test_a_clone_in_another_folder_takes_every_compile_from_the_cache(self):
        first = self.clone("one/clone")
        self.assertEqual(self.build(first).returncode, 0)
        self.assertEqual(self.report(first), "compiler cache: 0 of 1 compiles in %s/build/p "
                         "came from it (0%%)\n" % first)
        second = self.clone("two/deeper/clone")
        self.assertEqual(self.build(second).returncode, 0)
        self.assertEqual(self.report(second), "compiler cache: 1 of 1 compiles in %s/build/p "
                         "came from it (100%%)\n" % second)
        # The count starts again after each line.
        self.assertEqual(self.report(second), "compiler cache: nothing compiled through it in "
                         "%s/build/p\n" % second)

    def test_the_cache_is_where_the_opencvs_are_kept_with_empty_variables_as_unset(self):
        home = os.path.join(self.work, "home")
        self.environment.update(CAMTOOLS_CACHE="", XDG_CACHE_HOME="", HOME=home)
        self.assertEqual(self.build(self.clone("clone")).returncode, 0)
        self.assertTrue(os.path.isdir(os.path.join(home, ".cache", "camtools", "ccache")))
        self.environment.update(XDG_CACHE_HOME=os.path.join(self.work, "xdg"))
        self.assertEqual(self.build(self.clone("another")).returncode, 0)
        self.assertTrue(os.path.isdir(os.path.join(self.work, "xdg", "camtools", "ccache")))

    def test_a_build_through_the_cache_gives_the_bytes_of_one_without(self):
        first, second, third = (self.clone(where) for where in ("a/clone", "b/c/clone", "d/clone"))
        self.assertEqual(self.build(first).returncode, 0)
        self.assertEqual(self.build(second).returncode, 0)  # from the cache
        self.assertEqual(self.build(third, ccache_disabled=True).returncode, 0)
        fourth = self.clone("e/clone")
        self.assertEqual(self.build(fourth, "-DCAMTOOLS_CCACHE=OFF").returncode, 0)
        self.assertIn("100%", self.report(second))
        said = subprocess.run([self.program(second)], capture_output=True, text=True)
        self.assertEqual(said.stdout, "main.cpp 42\n")
        built = self.bytes_of(self.program(first))
        for clone in (second, third, fourth):
            self.assertEqual(self.bytes_of(self.program(clone)), built, clone)

    def test_a_header_changed_is_compiled_anew(self):
        first, second = self.clone("a/clone"), self.clone("b/clone")
        self.assertEqual(self.build(first).returncode, 0)
        with open(os.path.join(second, "include/answer.h"), "w") as file:
            file.write("#define ANSWER 7\n")
        self.assertEqual(self.build(second).returncode, 0)
        self.assertIn("0 of 1", self.report(second))
        said = subprocess.run([self.program(second)], capture_output=True, text=True)
        self.assertEqual(said.stdout, "main.cpp 7\n")

    def test_a_change_to_the_path_maps_compiles_anew(self):
        # Without debug information, as the shipped programs are built: with it, the
        # build folder as mapped is hashed too.
        first, second = self.clone("a/clone"), self.clone("b/clone")
        self.assertEqual(self.build(first, "-DCMAKE_BUILD_TYPE=Release").returncode, 0)
        rules = os.path.join(second, "cmake", "compile-cache.cmake")
        with open(rules) as file:
            text = file.read()
        with open(rules, "w") as file:
            file.write(text.replace("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=",
                                    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=mapped/"))
        self.assertEqual(self.build(second, "-DCMAKE_BUILD_TYPE=Release").returncode, 0)
        said = subprocess.run([self.program(second)], capture_output=True, text=True)
        self.assertEqual(said.stdout, "mapped/main.cpp 42\n")

    def test_a_warning_kept_in_the_cache_still_fails_a_build_that_makes_warnings_errors(self):
        clone = self.clone("clone")
        warned = self.build(clone)
        self.assertEqual(warned.returncode, 0)
        self.assertIn("unused variable", warned.output)
        another = self.clone("another")
        again = self.build(another)
        self.assertIn("100%", self.report(another))
        self.assertIn("unused variable", again.output)  # replayed from the cache
        strict = self.build(self.clone("strict"), "-DCMAKE_CXX_FLAGS=-Werror")
        self.assertNotEqual(strict.returncode, 0)
        self.assertIn("error: unused variable", strict.output)

    def test_a_damaged_cache_costs_a_compile_and_changes_no_byte(self):
        first, second = self.clone("a/clone"), self.clone("b/clone")
        self.assertEqual(self.build(first).returncode, 0)
        damaged = 0
        for folder, _, names in os.walk(os.path.join(self.work, "cache", "ccache")):
            for name in names:
                if name.endswith("R"):  # a kept result: flip bytes in its middle
                    path = os.path.join(folder, name)
                    data = bytearray(self.bytes_of(path))
                    for at in range(len(data) // 2, len(data) // 2 + 16):
                        data[at] ^= 0xFF
                    with open(path, "wb") as file:
                        file.write(data)
                    damaged += 1
        self.assertEqual(damaged, 1)
        self.assertEqual(self.build(second).returncode, 0)
        self.assertIn("0 of 1", self.report(second))
        self.assertEqual(self.bytes_of(self.program(second)), self.bytes_of(self.program(first)))


if __name__ == "__main__":
    unittest.main()
