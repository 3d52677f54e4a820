// What a Java VM is started with, built from any texts: the class tail, the
// command line and the environment block; the list-mode report; the order of
// the version names that Java registers under; the requirement string's
// alternatives in words; and the version read from a VM's output.
#include "FuzzCheck.h"
#include "Requirement.h"
#include "VersionOrder.h"
#include "VmCommandLine.h"
#include "VmReport.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The input as NUL-separated fields; missing ones are empty.
struct Fields {
    std::vector<std::string> texts;
    Fields(const unsigned char* data, std::size_t size) {
        std::string all(reinterpret_cast<const char*>(data), size);
        std::size_t start = 0;
        for (;;) {
            const std::size_t nul = all.find('\0', start);
            texts.push_back(
                all.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
            if (nul == std::string::npos)
                break;
            start = nul + 1;
        }
    }
    const char* operator[](std::size_t i) const { return i < texts.size() ? texts[i].c_str() : ""; }
    std::size_t count() const { return texts.size(); }
};

constexpr char kUntouched = '\x7f';

bool namesClassPath(const char* entry) {
    const char* name = "classpath=";
    for (; *name != '\0'; ++entry, ++name)
        if (oracleLower(*entry) != *name)
            return false;
    return true;
}

// A result is terminated within its bound, or refused with the buffer as it was.
void checkBounded(bool fits, const std::vector<char>& out, std::size_t size) {
    if (fits)
        FUZZ_CHECK(textLength(out.data(), size) < size);
    else
        for (std::size_t i = 0; i < size; ++i)
            FUZZ_CHECK(out[i] == kUntouched);
    FUZZ_CHECK(out[size] == kUntouched);
}

void checkCommandLines(const Fields& f, std::size_t size) {
    std::vector<char> out(size + 1, kUntouched);
    const bool tail =
        buildClassTail(f[0], f[1], f[2], f.count() > 3 ? f[3] : nullptr, out.data(), size);
    checkBounded(tail, out, size);
    if (tail)
        FUZZ_CHECK(std::strstr(out.data(), f[2]) != nullptr);

    std::fill(out.begin(), out.end(), kUntouched);
    const bool line = buildCommandLine(f[4], f[5], out.data(), size);
    checkBounded(line, out, size);
    if (line) {
        const std::string expected = std::string("\"") + f[4] + "\" " + f[5];
        FUZZ_CHECK(expected == out.data());
    }
}

void checkEnvironment(const Fields& f, std::size_t size) {
    // A block of the fields from the sixth on, each ended by its NUL, and one more.
    std::string block;
    for (std::size_t i = 6; i < f.count(); ++i)
        if (*f[i] != '\0')
            block += std::string(f[i]) + '\0';
    block += '\0';
    const char* name = "CLASSPATH";
    std::vector<char> out(size + 1, kUntouched);
    const std::size_t needed = environmentWith(block.data(), name, f[1], out.data(), size);
    FUZZ_CHECK(out[size] == kUntouched);
    if (needed > size)
        return;
    FUZZ_CHECK(needed >= 2 && out[needed - 1] == '\0' && out[needed - 2] == '\0');
    // Every other entry stays, in its order; CLASSPATH comes once, last.
    const char* kept = block.data();
    std::size_t named = 0;
    for (const char* entry = out.data(); *entry != '\0'; entry += std::strlen(entry) + 1) {
        FUZZ_CHECK(entry < out.data() + needed);
        if (namesClassPath(entry)) {
            ++named;
            FUZZ_CHECK(std::strcmp(entry + 10, f[1]) == 0 && entry[std::strlen(entry) + 1] == '\0');
            continue;
        }
        while (namesClassPath(kept))
            kept += std::strlen(kept) + 1;
        FUZZ_CHECK(std::strcmp(entry, kept) == 0);
        kept += std::strlen(kept) + 1;
    }
    while (namesClassPath(kept))
        kept += std::strlen(kept) + 1;
    FUZZ_CHECK(named == 1 && *kept == '\0');
}

void checkReport(const Fields& f, std::size_t size) {
    std::vector<ReportEntry> entries;
    for (std::size_t i = 0; i < f.count() && entries.size() < 40; ++i)
        entries.push_back({(f[i][0] & 1) != 0, f[i], ""});
    std::vector<char> out(size + 1, kUntouched);
    const bool fits = formatReport(entries.data(), entries.size(), out.data(), size);
    FUZZ_CHECK(out[size] == kUntouched);
    if (!fits) {
        FUZZ_CHECK(size == 0 || out[0] == '\0');
        return;
    }
    std::string expected = std::to_string(entries.size()) + "\n";
    for (const ReportEntry& entry : entries)
        expected += std::string(entry.qualified ? "YES " : "NO ") + entry.path + "\n";
    FUZZ_CHECK(expected == out.data());
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

// The order is total, and the shortlist keeps the newest names, newest first.
// Neighbouring names are compared, which the fuzzer's mutations make any pair.
void checkVersions(const Fields& f) {
    const std::size_t count = f.count() < 12 ? f.count() : 12;
    VersionShortlist shortlist;
    std::size_t taken = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char* a = f[i];
        const char* b = f[(i + 1) % count];
        const char* c = f[(i + 2) % count];
        FUZZ_CHECK(compareVersions(a, a) == 0);
        const int ab = compareVersions(a, b);
        FUZZ_CHECK(sign(ab) == -sign(compareVersions(b, a)));
        FUZZ_CHECK((ab == 0) == (std::strcmp(a, b) == 0));
        if (ab > 0 && compareVersions(b, c) > 0)
            FUZZ_CHECK(compareVersions(a, c) > 0);
        shortlist.offer(a);
        taken += std::strlen(a) < VersionShortlist::kMaxName ? 1 : 0;
    }
    FUZZ_CHECK(shortlist.size() <= VersionShortlist::kCapacity && shortlist.size() <= taken);
    for (std::size_t i = 1; i < shortlist.size(); ++i)
        FUZZ_CHECK(compareVersions(shortlist[i - 1], shortlist[i]) >= 0);
    if (shortlist.size() > 0)
        for (std::size_t i = 0; i < count; ++i)
            if (std::strlen(f[i]) < VersionShortlist::kMaxName)
                FUZZ_CHECK(compareVersions(shortlist[0], f[i]) >= 0);
}

// The alternatives lie between blanks and tabs, end to end; an alternative is
// put in words, within the words' bound, exactly when it is known.
void checkRequirement(const char* requirement, std::size_t size) {
    const char* rest = requirement;
    const char* alternative = nullptr;
    while (std::size_t length = nextAlternative(rest, alternative)) {
        FUZZ_CHECK(rest == alternative + length && std::strcspn(alternative, " \t") == length);
        std::vector<char> words(size + 1, kUntouched);
        const bool fits = describeAlternative(alternative, length, words.data(), size);
        char roomy[2 * kMaxCommandLine];
        FUZZ_CHECK(describeAlternative(alternative, length, roomy, sizeof roomy) ==
                   isKnownAlternative(alternative, length));
        FUZZ_CHECK(words[size] == kUntouched &&
                   (fits ? std::strcmp(words.data(), roomy) == 0 : size == 0 || words[0] == '\0'));
    }
    FUZZ_CHECK(*rest == '\0');
}

// Whatever a VM prints, the version is its whole second line, printable, within
// its bound, or empty.
void checkProbeVersion(const char* output, std::size_t length, std::size_t size) {
    std::vector<char> version(size + 1, kUntouched);
    const bool found = probeVersion(output, length, version.data(), size);
    FUZZ_CHECK(version[size] == kUntouched && (found || size == 0 || version[0] == '\0'));
    if (!found)
        return;
    const std::string all(output, length);
    const std::size_t start = all.find('\n') + 1;
    const std::size_t end = start + std::strlen(version.data());
    FUZZ_CHECK(start > 0 && end < length && all.compare(start, end - start, version.data()) == 0 &&
               (all[end] == '\r' || all[end] == '\n'));
    for (std::size_t i = start; i < end; ++i)
        FUZZ_CHECK(all[i] >= ' ' && all[i] <= '~');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first two bytes give the room in the output buffer, up to the longest
    // command line and beyond.
    const std::size_t room = (data[0] | data[1] << 8) % (kMaxCommandLine * 3);
    const Fields fields(data + 2, size - 2);
    checkCommandLines(fields, room);
    checkEnvironment(fields, room);
    checkReport(fields, room);
    checkVersions(fields);
    checkRequirement(fields[3], room);
    checkProbeVersion(reinterpret_cast<const char*>(data + 2), size - 2, room);
    return 0;
}
