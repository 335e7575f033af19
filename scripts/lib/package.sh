# Sourced, from the project's folder, by every script that makes or checks a release
# package: what the package is. The version is the project's, in CMakeLists.txt.
package_version=$(sed -n 's/^project(camtools VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$package_version" ]; then
  echo "no version in CMakeLists.txt: it must say project(camtools VERSION X.Y.Z ...)" \
    "on one line"
  exit 1
fi
package_name=camtools-$package_version-win32.zip
# The programs, each where a build makes it; the package holds them by name alone.
package_built_programs=(capture/capture.exe camprobe/camprobe.exe launcher/QuelvarWin.exe)
package_programs=("${package_built_programs[@]##*/}")
# The one that opens no console: the launcher is a graphical program without a window.
export package_graphical_programs=QuelvarWin.exe
# What the release writes beside them, named here alone: the scripts that write and check
# the package take the names from the environment. The sums cover all the others.
export package_example=CamtoolsExample.java package_guide=GUIDE.txt \
  package_notices=NOTICES.txt package_bill=camtools.cdx.json package_sums=SHA256SUMS
package_documents=("$package_example" "$package_guide" "$package_notices" "$package_bill")
