#include "PayloadWriter.h"

#include "BoundedText.h"
#include "Bytes.h"
#include "Path.h"
#include "PayloadFormat.h"
#include "Requirement.h"

#include <cstring>

namespace {

bool hasNulWithin(const std::vector<unsigned char>& data, std::size_t limit) {
    std::size_t end = data.size() < limit ? data.size() : limit;
    for (std::size_t i = 0; i < end; ++i)
        if (data[i] == 0)
            return true;
    return false;
}

// The launcher starts the installer as the class its name less ".class" names,
// from the class directory: a dot in that name would ask for a package folder.
bool isClassFileName(const char* name) {
    const char* dot = std::strchr(name, '.');
    return dot != nullptr && dot != name && equalsIgnoringCase(dot, ".class");
}

} // namespace

std::vector<std::string> roleProblems(const char* const (&names)[3], const char* requirement) {
    std::vector<std::string> problems;
    const std::string layout = "the payload does not begin with CommandLine (the requirement "
                               "string), URL (the download address) and the installer's "
                               "CLASS.class (a class name without dots), in that order: ";
    const char* const roles[] = {"CommandLine", "URL"};
    for (std::size_t i = 0; i < 3; ++i) {
        if (names[i] == nullptr) {
            problems.push_back(layout + "it has " + std::to_string(i) + " records");
            break;
        }
        if (i < 2 ? !equalsIgnoringCase(names[i], roles[i]) : !isClassFileName(names[i]))
            problems.push_back(layout + "record " + std::to_string(i + 1) + " is \"" + names[i] +
                               "\"");
    }
    if (requirement == nullptr || names[0] == nullptr || !equalsIgnoringCase(names[0], roles[0]))
        return problems;
    const char* rest = requirement;
    const char* alternative = nullptr;
    std::string unknown;
    bool hasAlternative = false;
    while (std::size_t length = nextAlternative(rest, alternative)) {
        hasAlternative = true;
        if (!isKnownAlternative(alternative, length))
            unknown += (unknown.empty() ? "\"" : ", \"") + std::string(alternative, length) + "\"";
    }
    if (!hasAlternative)
        problems.push_back("the requirement string holds no alternative, so no VM can qualify");
    if (!unknown.empty())
        problems.push_back("no VM can meet the requirement string's " + unknown +
                           ": an alternative is VERSION:VENDOR:OS, and a VERSION begins with 1.0, "
                           "1.1 or A, or is N+, 1.N+ (N up to 8) or N-M (N at most M), N and M "
                           "whole numbers of one to four digits");
    return problems;
}

std::vector<std::string> validatePayload(std::uint64_t stubSize,
                                         const std::vector<RecordInput>& records) {
    std::vector<std::string> problems;
    if (records.empty())
        problems.push_back("a payload needs at least one record");
    if (records.size() > payload::kMaxRecords)
        problems.push_back("a payload holds at most " + std::to_string(payload::kMaxRecords) +
                           " records, not " + std::to_string(records.size()));
    if (stubSize > 0x7FFFFFFFu)
        problems.push_back("the launcher is too large to carry a payload");
    else if (payload::stubSizeSpellsPrefix(static_cast<std::uint32_t>(stubSize)))
        problems.push_back("the launcher's size " + std::to_string(stubSize) +
                           " would make its trailer read as a record prefix");

    std::uint64_t total = stubSize;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordInput& record = records[i];
        const std::string which = "record " + std::to_string(i + 1) + " \"" + record.name + "\"";
        if (record.name.size() > payload::kMaxNameLength)
            problems.push_back(which + ": a name has at most " +
                               std::to_string(payload::kMaxNameLength) + " characters");
        const char* nameProblem = std::strlen(record.name.c_str()) != record.name.size()
                                      ? "holds a NUL"
                                      : fileNameProblem(record.name.c_str());
        if (nameProblem != nullptr)
            problems.push_back(which + ": the name " + nameProblem +
                               "; it must be a plain file name");
        if (i < 2 && !hasNulWithin(record.data, payload::kTextBufferSize))
            problems.push_back(which + ": its text must end in a NUL within its first " +
                               std::to_string(payload::kTextBufferSize) + " bytes");
        total += payload::kPrefixSize + record.name.size() + 1 + 8 + record.data.size();
    }
    if (total + kSigningAlignment - 1 + payload::kTrailerSize > 0x7FFFFFFFu)
        problems.push_back("the launcher with its payload would exceed 2 GiB");

    const char* names[3] = {};
    for (std::size_t i = 0; i < 3 && i < records.size(); ++i)
        names[i] = records[i].name.c_str();
    const bool readable =
        !records.empty() && hasNulWithin(records[0].data, payload::kTextBufferSize);
    for (const std::string& problem : roleProblems(
             names, readable ? reinterpret_cast<const char*>(records[0].data.data()) : nullptr))
        problems.push_back(problem);
    return problems;
}

std::vector<unsigned char> appendPayload(const std::vector<unsigned char>& stub,
                                         const std::vector<RecordInput>& records) {
    std::vector<unsigned char> out = stub;
    for (const RecordInput& record : records) {
        out.insert(out.end(), payload::kPrefix, payload::kPrefix + payload::kPrefixSize);
        out.insert(out.end(), record.name.begin(), record.name.end());
        out.push_back(0);
        pe::appendU32(out, 0);
        pe::appendU32(out, static_cast<std::uint32_t>(record.data.size()));
        out.insert(out.end(), record.data.begin(), record.data.end());
    }
    // The scan ends at the first zero byte, as at any byte that does not start a record.
    while ((out.size() + payload::kTrailerSize) % kSigningAlignment != 0)
        out.push_back(0);
    pe::appendU32(out, static_cast<std::uint32_t>(stub.size()));
    return out;
}
