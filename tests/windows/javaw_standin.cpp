// Stands in for the Java runtime's javaw.exe in the launcher's tests. It notes how it was
// started (its working folder, its command line and its arguments) in the file that
// STANDIN_LOG names, runs on as an application would until the test makes a file of
// that name with ".release" added (20 s at most), then notes that it ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const char* log_path = std::getenv("STANDIN_LOG");
  if (log_path == nullptr) return 2;
  std::FILE* log = std::fopen(log_path, "wb");
  if (log == nullptr) return 2;
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  std::fprintf(log, "folder=%s\ncommand=%s\n", folder, GetCommandLineA());
  for (int i = 0; i < argc; ++i) std::fprintf(log, "arg=%s\n", argv[i]);
  std::fflush(log);
  const std::string release = std::string(log_path) + ".release";
  for (int waits = 0; waits < 2000 && GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++waits)
    Sleep(10);
  std::fputs("ended\n", log);
  std::fclose(log);
  return 0;
}
