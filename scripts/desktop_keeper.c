/* Holds the Wine session's desktop for the whole session.
 *
 * Wine starts the desktop process (explorer.exe /desktop) from the first program that needs
 * the desktop, handing it that program's standard error, and closes it about a second after
 * the last other program has left. A test program that happened to start it would leave its
 * output pipe open in explorer.exe, so that ctest waits for the pipe's end long after the
 * program has exited. This program starts the desktop itself (explorer.exe gets this
 * program's standard error) and stays on it until the session's wineserver is stopped.
 * It prints "ready" once the desktop window exists. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  if (!GetDesktopWindow()) {
    fprintf(stderr, "desktop_keeper: no desktop window\n");
    return 1;
  }
  printf("ready\n");
  fflush(stdout);
  Sleep(INFINITE);
  return 0;
}
