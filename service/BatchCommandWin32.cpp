//===- BatchCommandWin32.cpp - Reading a batch file ----------------------===//
#include "BatchCommand.h"

#include "win32/CodePage.h"
#include "win32/ScopedHandle.h"

#include <cstdlib>

namespace {

// Memory from malloc, freed on every path. The service uses no exceptions, so
// neither std::vector nor operator new.
template <typename T> class MallocBuffer {
public:
    explicit MallocBuffer(std::size_t count)
        : items_(static_cast<T*>(std::malloc(count * sizeof(T)))) {}
    ~MallocBuffer() { std::free(items_); }
    MallocBuffer(const MallocBuffer&) = delete;
    MallocBuffer& operator=(const MallocBuffer&) = delete;
    T* get() const { return items_; }

private:
    T* items_;
};

// RegSetValueExA takes text in the code page of the "A" functions. A command
// in another one is converted through UTF-16; one that the target code page
// cannot spell is refused rather than stored with stand-in characters, which
// could name another program.
bool toProcessCodePage(GrowingText text, UINT fileCodePage, GrowingText& converted) {
    const UINT processCodePage = GetACP();
    if (fileCodePage == processCodePage) {
        converted = std::move(text);
        return true;
    }
    const int wideCount = MultiByteToWideChar(fileCodePage, 0, text.c_str(), -1, nullptr, 0);
    if (wideCount <= 0)
        return false;
    MallocBuffer<wchar_t> wide(static_cast<std::size_t>(wideCount));
    if (wide.get() == nullptr ||
        MultiByteToWideChar(fileCodePage, 0, text.c_str(), -1, wide.get(), wideCount) != wideCount)
        return false;

    // UTF-8 takes neither flags nor the question about stand-in characters.
    const bool toUtf8 = processCodePage == CP_UTF8;
    const DWORD flags = toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedStandIn = FALSE;
    BOOL* askStandIn = toUtf8 ? nullptr : &usedStandIn;
    const int count = WideCharToMultiByte(processCodePage, flags, wide.get(), -1, nullptr, 0,
                                          nullptr, askStandIn);
    if (count <= 0 || usedStandIn)
        return false;
    MallocBuffer<char> bytes(static_cast<std::size_t>(count));
    if (bytes.get() == nullptr ||
        WideCharToMultiByte(processCodePage, flags, wide.get(), -1, bytes.get(), count, nullptr,
                            askStandIn) != count)
        return false;
    GrowingText result;
    for (int i = 0; i + 1 < count; ++i)
        result.append(bytes.get()[i]);
    if (result.failed())
        return false;
    converted = std::move(result);
    return true;
}

} // namespace

bool extractCommand(const char* path, GrowingText& command) {
    // No sharing: a batch file that another program holds open counts as unreadable.
    UniqueFileHandle file(
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;

    BatchCommandReader reader(systemCodePageLeadByte);
    char piece[512];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.get(), piece, sizeof piece, &count, nullptr))
            return false;
        if (count == 0 || !reader.feed(piece, count))
            break;
    }
    reader.finish();
    if (reader.command().failed())
        return false;
    const UINT fileCodePage =
        reader.encoding() == BatchEncoding::Utf8 ? CP_UTF8 : systemAnsiCodePage();
    return toProcessCodePage(reader.takeCommand(), fileCodePage, command);
}
