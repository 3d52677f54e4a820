/* Preloaded into the real JVM by the bridge: Linux hands a parent only the low
 * eight bits of an exit status, so System.exit(314) would arrive as 58. This
 * library catches the full status on its way out and writes it to the pipe the
 * bridge names in JVMBRIDGE_STATUS_FD; the bridge trusts it only when its low
 * bits agree with the status the kernel reported. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

static void reportStatus(int status) {
    const char* fd = getenv("JVMBRIDGE_STATUS_FD");
    if (fd == NULL || *fd == '\0')
        return;
    int32_t full = status;
    ssize_t written = write(atoi(fd), &full, sizeof full);
    (void)written; /* nothing left to do about a failed report on the way out */
}

void exit(int status) {
    reportStatus(status);
    void (*realExit)(int) = (void (*)(int))dlsym(RTLD_NEXT, "exit");
    realExit(status);
    __builtin_unreachable();
}

void _exit(int status) {
    reportStatus(status);
    void (*realExit)(int) = (void (*)(int))dlsym(RTLD_NEXT, "_exit");
    realExit(status);
    __builtin_unreachable();
}
