//===- ProgramStart.cpp - Where Windows enters the shipped programs -------===//
//
// Both shipped programs start here instead of in MinGW's start-up code, which
// would bring several kilobytes to each: argument vectors for main, thread-key
// callbacks for the TLS of its exception run-time, pseudo relocations, a crash
// handler that raises signals, the x87 switched to 64-bit precision. Neither
// program uses any of that: they read the command line as WinMain's tail or
// through GetCommandLineA, keep no thread-local data, import no data from a
// DLL but through its import library (the link refuses anything else:
// --disable-auto-import) and compute without floating point. msvcrt.dll sets
// itself up (heap, standard streams, environment) when Windows loads it,
// before this runs.
//
// What remains is what every start-up does: the static constructors before
// WinMain; and msvcrt's exit after it, which runs the static destructors and
// the other atexit functions, flushes the C run-time's streams and ends the
// process with WinMain's result, even while threads of the system's (a COM or
// shell worker) still run.
//
//===----------------------------------------------------------------------===//
#include "service/CommandTail.h"
#include "win32/WindowsApi.h"

#include <cstdlib>

// MinGW's own runner of the static constructors (the .ctors list), which
// registers the matching destructors with atexit.
extern "C" void __main();

// MinGW's import library of msvcrt leaves atexit to the start-up code, as
// Microsoft's C run-time does: the functions go to msvcrt's own list, which its
// exit runs, last registered first.
extern "C" int atexit(void (*function)()) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// The entry point (-e in the shipped link options), under the name that both
// MinGW's start-up code and Microsoft's give theirs.
extern "C" void WinMainCRTStartup() {
    __main();
    // The tail by the rule of Microsoft's C run-time, the one Brisnode applies
    // to the command line itself. SW_SHOWDEFAULT lets a first ShowWindow take
    // the show state the starting program put into STARTUPINFO.
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr,
                      const_cast<char*>(commandTail(GetCommandLineA())), SW_SHOWDEFAULT));
}
