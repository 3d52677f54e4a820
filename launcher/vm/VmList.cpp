#include "VmList.h"

#include "BoundedText.h"
#include "FileSystem.h"
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
// under its full path, when it is absolute, the file is there and no earlier
// place (a classic kind included) found the same executable.
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
        if (nextSlot_ < VmList::kSlots && isAbsolutePath(path) && fullPathOf(path, full) &&
            fileExists(full) && roster_.add(full, identityOf(full)))
            list_.slots[nextSlot_++].reset(new (std::nothrow) FoundVm(full));
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
        if (vm)
            vm->locate();
}

void VmList::locateFurther() {
    FurtherVms further(*this);
    if (offerRegisteredVms(0, further) && offerRegisteredVms(kOtherRegistryView, further) &&
        offerJavaHome(further))
        offerSearchPath(further);
}

void VmList::qualifyAll(const char* requirement) {
    for (auto& vm : slots)
        if (vm && vm->path[0] != '\0')
            vm->qualified = vm->qualify(requirement) ? 1 : 0;
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
