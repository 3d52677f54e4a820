//===- VmList.h - The candidate slots -------------------------------------===//
//
// One record per classic VM kind in slots 0 to 2, found or not, then every
// further java.exe the search finds, from slot 3 on, at most kMaxVms found VMs
// in all. The slot index is how the dialogs name a candidate.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "JavaVm.h"
#include "VmRoster.h"

#include <cstddef>
#include <memory>

class VmList {
public:
    static constexpr std::size_t kClassicKinds = 3;
    static constexpr std::size_t kSlots = kClassicKinds + kMaxVms;

    VmList() = default;
    virtual ~VmList() = default;
    VmList(const VmList&) = delete;
    VmList& operator=(const VmList&) = delete;

    void create();
    void locateAll();
    // After the classic kinds: every further java.exe beside the launcher, in
    // the registry (VmPlaces.h), JAVA_HOME and PATH, each executable once.
    void locateFurther();
    // Probes every VM found, up to kMaxRunningProbes at once, each bounded on its
    // own, while the thread's messages are handled.
    void qualifyAll(const char* requirement);
    void search(const char* requirement);
    void searchAndReport(const char* requirement);
    void printReport() const;
    // The VMs found, in slot order, each with what the search learnt of it; the
    // result is how many.
    std::size_t found(ReportEntry (&entries)[kSlots]) const;
    // The record whose kind's executable is the file that path names; that
    // record adopts path. None when no kind matches or path has no backslash.
    JavaVm* findByExecutable(const char* path);

    // The qualifying VM that the VM choice dialog selects first: the one whose
    // path its sorted list puts first (lstrcmpiA, the list's own order); the
    // earlier slot of two equal paths. None when no VM qualifies.
    JavaVm* preselected() const;

    JavaVm* slot(std::size_t index) const { return index < kSlots ? slots[index].get() : nullptr; }

    std::unique_ptr<JavaVm> slots[kSlots];
};
