/* Preloaded into a program under test: ends it with status 99 as soon as the
 * loader has loaded this, so a run that gets further was not preloaded. */
#include <unistd.h>

__attribute__((constructor)) static void EndAtLoad(void) { _exit(99); }
