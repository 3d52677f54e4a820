#include "VmList.h"

#include "BoundedText.h"
#include "FileSystem.h"
#include "LaunchLog.h"
#include "ScopedHandle.h"
#include "VmPlaces.h"
#include "VmReport.h"

#include <cstdio>
#include <new>

namespace {

// Which file path leads to; unknown when it cannot be opened.
FileIdentity identityOf(const char* path) {
    FileIdentity identity;
    UniqueFileHandle file(CreateFileA(path, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (file && GetFileInformationByHandle(file.get(), &information)) {
        identity.known = true;
        identity.volume = information.dwVolumeSerialNumber;
        identity.index = static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 |
                         information.nFileIndexLow;
    }
    return identity;
}

// Takes the java.exe paths that the places offer into the free slots: each
// under its full path, when the file is there and no earlier place (a classic
// kind included) found the same executable.
class FurtherVms : public VmPathSink {
public:
    explicit FurtherVms(VmList& list) : list_(list) {
        for (std::size_t slot = 0; slot < VmList::kClassicKinds; ++slot) {
            JavaVm* vm = list.slot(slot);
            char full[kMaxPath];
            if (vm != nullptr && vm->path[0] != '\0')
                roster_.add(fullPathOf(vm->path, full) ? full : vm->path, identityOf(vm->path));
        }
    }

    bool offer(const char* path) override {
        char full[kMaxPath];
        if (nextSlot_ < VmList::kSlots && fullPathOf(path, full)) {
            const char* answer = "nothing there";
            if (fileExists(full)) {
                answer = "listed already";
                if (roster_.add(full, identityOf(full))) {
                    list_.slots[nextSlot_++].reset(new (std::nothrow) FoundVm(full));
                    answer = "found";
                }
            }
            logLine(0, "looked for a Java VM at %s: %s", full, answer);
        }
        return !roster_.full();
    }

private:
    static bool fullPathOf(const char* path, char (&full)[kMaxPath]) {
        DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
        return length > 0 && length < sizeof full;
    }

    VmList& list_;
    VmRoster roster_;
    std::size_t nextSlot_ = VmList::kClassicKinds;
};

} // namespace

void VmList::create() {
    slots[0].reset(new (std::nothrow) JdkVm);
    slots[1].reset(new (std::nothrow) JreVm);
    slots[2].reset(new (std::nothrow) JviewVm);
}

void VmList::locateAll() {
    for (auto& vm : slots)
        if (vm && vm->locate())
            logLine(0, "found %s", vm->path);
}

void VmList::locateFurther() {
    FurtherVms further(*this);
    if (offerBundledRuntimes(further) && offerRegisteredVms(further) && offerJavaHome(further))
        offerSearchPath(further);
}

void VmList::qualifyAll(const char* requirement) {
    // The probes run side by side, each in its own job with its own output file
    // and its own bound, started in the order of the list. Each answer lands in
    // its own slot, so the order of the list is kept whatever order they answer
    // in.
    VmRun runs[kSlots];
    // When each run started, made odd so that 0 stands for one not started yet.
    DWORD startedAt[kSlots] = {};
    for (;;) {
        HANDLE running[kMaxRunningProbes];
        DWORD count = 0;
        DWORD timeout = kProbeTimeoutMs;
        for (std::size_t i = 0; i < kSlots; ++i) {
            JavaVm* vm = slots[i].get();
            if (runs[i].process() == nullptr) {
                if (startedAt[i] != 0 || count == kMaxRunningProbes || vm == nullptr ||
                    vm->path[0] == '\0')
                    continue;
                char outputName[] = "stdout-00.tmp";
                outputName[7] = static_cast<char>('0' + i / 10);
                outputName[8] = static_cast<char>('0' + i % 10);
                // A VM that cannot be started is not tried again and does not qualify.
                startedAt[i] = GetTickCount() | 1;
                if (!vm->startProbe(runs[i], requirement, outputName))
                    continue;
            }
            DWORD spent = (GetTickCount() | 1) - startedAt[i];
            if (runs[i].wait(0) || spent >= kProbeTimeoutMs) {
                const int answer = runs[i].finish(vm->version, sizeof vm->version);
                vm->qualified = answer == kQualifiedStatus ? 1 : 0;
                logLine(0, "%s: probe status %d, %s", vm->path, answer,
                        vm->qualified ? "qualifies" : "does not qualify");
                continue;
            }
            running[count++] = runs[i].process();
            if (kProbeTimeoutMs - spent < timeout)
                timeout = kProbeTimeoutMs - spent;
        }
        if (count == 0)
            return;
        waitHandlingMessages(running, count, timeout);
    }
}

JavaVm* VmList::preselected() const {
    JavaVm* first = nullptr;
    for (const auto& vm : slots)
        if (vm && vm->path[0] != '\0' && vm->qualified != 0 &&
            (first == nullptr || lstrcmpiA(vm->path, first->path) < 0))
            first = vm.get();
    return first;
}

void VmList::search(const char* requirement) {
    create();
    locateAll();
    locateFurther();
    qualifyAll(requirement);
}

void VmList::searchAndReport(const char* requirement) {
    search(requirement);
    printReport();
}

std::size_t VmList::found(ReportEntry (&entries)[kSlots]) const {
    std::size_t count = 0;
    for (const auto& vm : slots)
        if (vm && vm->path[0] != '\0')
            entries[count++] = ReportEntry{vm->qualified != 0, vm->path, vm->version};
    return count;
}

void VmList::printReport() const {
    ReportEntry entries[kSlots];
    std::size_t count = found(entries);
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
