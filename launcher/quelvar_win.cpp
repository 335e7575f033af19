// QuelvarWin: starts the Java application without waiting for it, and says in a message
// box why when the Java runtime cannot be started. A graphical program, so no console
// window opens; it has no window of its own either.
#include <process.h>
#include <stdlib.h>
#include <windows.h>

#include "launch_messages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The launcher's own arguments are not passed on. The relative names are the
  // application's files, found in the folder the launcher was started in. _spawnvp
  // looks for javaw.exe there first and then along PATH, as it should: a javaw.exe in
  // the application's folder is the one meant. So that folder must be one its users
  // cannot write to, which docs/guide.txt tells the vendor.
  const char* const args[] = {"javaw.exe", "-splash:splash.png", "-jar", "Quelvar.jar", nullptr};
  if (_spawnvp(_P_NOWAIT, "javaw.exe", args) != -1) return 0;
  const int error_number = *_errno();
  MessageBoxW(nullptr, quelvar::launch_error_message(error_number), quelvar::kErrorCaption, 0);
  return 1;
}
