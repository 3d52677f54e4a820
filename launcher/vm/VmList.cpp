#include "VmList.h"

#include "BoundedText.h"
#include "VmReport.h"

#include <cstdio>
#include <new>

void VmList::create() {
    slots[0].reset(new (std::nothrow) JdkVm);
    slots[1].reset(new (std::nothrow) JreVm);
    slots[2].reset(new (std::nothrow) JviewVm);
}

void VmList::locateAll() {
    for (auto& vm : slots)
        if (vm)
            vm->locate();
}

void VmList::qualifyAll(const char* requirement) {
    for (auto& vm : slots)
        if (vm && vm->path[0] != '\0')
            vm->qualified = vm->qualify(requirement) ? 1 : 0;
}

void VmList::search(const char* requirement) {
    create();
    locateAll();
    qualifyAll(requirement);
}

void VmList::searchAndReport(const char* requirement) {
    search(requirement);
    printReport();
}

void VmList::printReport() const {
    ReportEntry entries[kSlots];
    std::size_t count = 0;
    for (const auto& vm : slots)
        if (vm && vm->path[0] != '\0')
            entries[count++] = ReportEntry{vm->qualified != 0, vm->path};
    char report[kMaxReport];
    if (formatReport(entries, count, report, sizeof report)) {
        std::fputs(report, stdout);
        std::fflush(stdout);
    }
}

JavaVm* VmList::findByExecutable(const char* path) {
    char copy[kMaxPath];
    char fileName[kMaxPath];
    if (!copyText(copy, path) || !fileNameOf(copy, fileName))
        return nullptr;
    for (auto& vm : slots)
        if (vm && vm->matchExecutable(copy, fileName))
            return vm.get();
    return nullptr;
}
