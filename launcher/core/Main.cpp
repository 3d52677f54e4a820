// Entry point of the launcher: every run ends in the clean-up and exit code 0,
// whatever happened on the way.
#include "CException.h"
#include "LauncherApp.h"

#include <cstdlib>

// libstdc++'s verbose terminate handler drags in the demangler; the launcher has
// no use for its message, so a plain abort takes its place.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int) {
    LauncherApp& launcher = app();
    launcher.instance = instance;
    try {
        launcher.start(commandTail);
    } catch (CException* failure) {
        delete failure;
    }
    launcher.cleanUp();
    return 0;
}
