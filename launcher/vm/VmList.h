//===- VmList.h - The five candidate slots --------------------------------===//
//
// One record per VM kind, in slots 0 to 2 (slots 3 and 4 stay empty). The slot
// index is how the dialogs name a candidate.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "JavaVm.h"

#include <cstddef>
#include <memory>

class VmList {
public:
    static constexpr std::size_t kSlots = 5;

    VmList() = default;
    virtual ~VmList() = default;
    VmList(const VmList&) = delete;
    VmList& operator=(const VmList&) = delete;

    void create();
    void locateAll();
    void qualifyAll(const char* requirement);
    void search(const char* requirement);
    void searchAndReport(const char* requirement);
    void printReport() const;
    // The record whose kind's executable is the file that path names; that
    // record adopts path. None when no kind matches or path has no backslash.
    JavaVm* findByExecutable(const char* path);

    JavaVm* slot(std::size_t index) const { return index < kSlots ? slots[index].get() : nullptr; }

    std::unique_ptr<JavaVm> slots[kSlots];
};
