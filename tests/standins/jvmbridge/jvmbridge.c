/* jvmbridge: stands in for a Windows Java VM (jre.exe or java.exe) inside a Wine
 * prefix and runs the build machine's real JVM in its place.
 *
 * A 32-bit Windows program under Wine cannot wait for a Linux process: it never
 * sees that process's exit status. This program is a winelib executable, so it is
 * a Windows process to its parent (a real process handle, an exit code, inherited
 * standard handles) and a Linux process to itself: it starts java with
 * posix_spawn, copies the JVM's output to its own Windows standard handles and
 * ends with the JVM's status.
 *
 * What it translates:
 * - the class path after -cp or -classpath: each Windows element becomes a Linux
 *   path (through realpath, since the dosdevices/c: form puts a colon into Java's
 *   class path);
 * - the current directory, which java.exe-style VMs search for the class;
 * - the exit status: Linux keeps only its low eight bits, so libjvmexit.so,
 *   preloaded into the JVM, reports the full value through a pipe.
 *
 * Environment: JVMBRIDGE_JAVA names the JVM (default /usr/bin/java). */
#define _GNU_SOURCE
#include <windows.h>

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

enum { START_FAILURE = 1, MAX_ARGUMENTS = 256, MAX_ENVIRONMENT = 4096 };

/* A Windows path as the JVM must see it; false when Wine cannot map it. */
static int toUnixPath(const char* windowsPath, char* out, size_t outSize) {
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, windowsPath, -1, wide, MAX_PATH) == 0)
        return 0;
    char* mapped = wine_get_unix_file_name(wide);
    if (mapped == NULL)
        return 0;
    char resolved[PATH_MAX];
    const char* chosen = realpath(mapped, resolved) != NULL ? resolved : mapped;
    int fits = snprintf(out, outSize, "%s", chosen) < (int)outSize;
    HeapFree(GetProcessHeap(), 0, mapped);
    return fits;
}

/* "a;b;c" with Windows paths becomes "a:b:c" with Linux paths. */
static int toUnixClassPath(const char* windowsClassPath, char* out, size_t outSize) {
    char copy[4 * MAX_PATH];
    if (snprintf(copy, sizeof copy, "%s", windowsClassPath) >= (int)sizeof copy)
        return 0;
    size_t used = 0;
    out[0] = '\0';
    char* save = NULL;
    for (char* element = strtok_r(copy, ";", &save); element != NULL;
         element = strtok_r(NULL, ";", &save)) {
        char unixElement[PATH_MAX];
        if (!toUnixPath(element, unixElement, sizeof unixElement))
            return 0;
        int written = snprintf(out + used, outSize - used, "%s%s", used ? ":" : "", unixElement);
        if (written < 0 || (size_t)written >= outSize - used)
            return 0;
        used += (size_t)written;
    }
    return 1;
}

/* The preload library lies next to this program's own shared object. */
static int preloadPath(char* out, size_t outSize) {
    Dl_info self;
    if (dladdr((void*)preloadPath, &self) == 0 || self.dli_fname == NULL)
        return 0;
    char copy[PATH_MAX];
    snprintf(copy, sizeof copy, "%s", self.dli_fname);
    return snprintf(out, outSize, "%s/libjvmexit.so", dirname(copy)) < (int)outSize;
}

static void copyToHandle(int fd, HANDLE target, int* open) {
    char buffer[4096];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        *open = 0;
        return;
    }
    DWORD written;
    if (target != NULL && target != INVALID_HANDLE_VALUE)
        WriteFile(target, buffer, (DWORD)got, &written, NULL);
}

int main(int argc, char** argv) {
    const char* java = getenv("JVMBRIDGE_JAVA");
    if (java == NULL || *java == '\0')
        java = "/usr/bin/java";

    static char classPath[8 * PATH_MAX];
    char* javaArguments[MAX_ARGUMENTS];
    int count = 0;
    javaArguments[count++] = (char*)java;
    for (int i = 1; i < argc && count < MAX_ARGUMENTS - 1; ++i) {
        javaArguments[count++] = argv[i];
        int isClassPathOption = strcmp(argv[i], "-cp") == 0 || strcmp(argv[i], "-classpath") == 0;
        if (isClassPathOption && i + 1 < argc) {
            if (!toUnixClassPath(argv[++i], classPath, sizeof classPath))
                return START_FAILURE;
            javaArguments[count++] = classPath;
        }
    }
    javaArguments[count] = NULL;

    char currentDirectory[MAX_PATH], unixDirectory[PATH_MAX];
    DWORD length = GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory);
    int haveDirectory = length > 0 && length < sizeof currentDirectory &&
                        toUnixPath(currentDirectory, unixDirectory, sizeof unixDirectory);

    int output[2], errors[2], status[2];
    if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0 ||
        pipe2(status, O_CLOEXEC) != 0)
        return START_FAILURE;

    char preload[PATH_MAX + 16], statusFd[48], library[PATH_MAX];
    static char* environment[MAX_ENVIRONMENT];
    int variables = 0;
    for (char** variable = environ; *variable != NULL && variables < MAX_ENVIRONMENT - 3;
         ++variable) {
        if (strncmp(*variable, "LD_PRELOAD=", 11) != 0 &&
            strncmp(*variable, "JVMBRIDGE_STATUS_FD=", 20) != 0)
            environment[variables++] = *variable;
    }
    if (preloadPath(library, sizeof library) && access(library, R_OK) == 0) {
        snprintf(preload, sizeof preload, "LD_PRELOAD=%s", library);
        environment[variables++] = preload;
        /* The write end is dup'ed onto a fixed descriptor without close-on-exec. */
        snprintf(statusFd, sizeof statusFd, "JVMBRIDGE_STATUS_FD=%d", 3);
        environment[variables++] = statusFd;
    }
    environment[variables] = NULL;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    posix_spawn_file_actions_adddup2(&actions, status[1], 3);
    if (haveDirectory)
        posix_spawn_file_actions_addchdir_np(&actions, unixDirectory);

    /* Wine blocks and ignores signals of its own; the JVM needs them as a fresh
     * process has them. */
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t child;
    int spawned = posix_spawn(&child, java, &actions, &attributes, javaArguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(output[1]);
    close(errors[1]);
    close(status[1]);
    if (spawned != 0)
        return START_FAILURE;

    HANDLE standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    int outputOpen = 1, errorsOpen = 1;
    while (outputOpen || errorsOpen) {
        struct pollfd watched[2] = {{outputOpen ? output[0] : -1, POLLIN, 0},
                                    {errorsOpen ? errors[0] : -1, POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            break;
        if (outputOpen && (watched[0].revents & (POLLIN | POLLHUP)))
            copyToHandle(output[0], standardOutput, &outputOpen);
        if (errorsOpen && (watched[1].revents & (POLLIN | POLLHUP)))
            copyToHandle(errors[0], standardError, &errorsOpen);
    }

    int waitStatus = 0;
    while (waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
    }

    int32_t reported = 0, last = 0;
    int haveReport = 0;
    while (read(status[0], &reported, sizeof reported) == (ssize_t)sizeof reported) {
        last = reported;
        haveReport = 1;
    }

    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    int low = WEXITSTATUS(waitStatus);
    return haveReport && (last & 0xFF) == low ? last : low;
}
