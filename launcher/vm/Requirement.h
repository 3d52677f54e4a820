//===- Requirement.h - The alternatives of a requirement string ------------===//
//
// A requirement string is alternatives separated by blanks, each
// VERSION:VENDOR:OS, read by the probe class exactly as here. The version is
// one of the forms of old, which begin with "1.1" (a VM with the 1.1 class
// library), "1.0" or "A" (any VM), or one of today's, against the Java
// platform version the VM reports ("1.8" counting as 8): "N+" (N or later), "1.N+"
// for N up to 8 (the old spelling of "N+"), "N-M" (N to M); N and M are whole
// numbers of one to four digits. Vendor and os are prefixes of java.vendor and
// os.name; "A", or nothing, accepts any.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

// Moves rest past the blanks and tabs before the next alternative and past
// that alternative; alternative is where it begins. Returns its length, 0
// when there is none.
std::size_t nextAlternative(const char*& rest, const char*& alternative);

// Whether some VM could meet the alternative: it has its three fields and a
// version of a form above (a range "N-M" with N at most M).
bool isKnownAlternative(const char* alternative, std::size_t length);

// The alternative in words: "Java 17 or later", "Java 11 to 17", "Java 1.1 or
// later", "any Java", each followed by " from VENDOR" and " on OS" where those
// are asked for. False, and out empty, for an alternative that is not known
// or words that do not fit.
bool describeAlternative(const char* alternative, std::size_t length, char* out, std::size_t size);

// The whole requirement in words: the words of its known alternatives joined by
// " or " ("Java 11 to 17 or Java 21 or later"). An alternative that is not known
// is left out, since no VM meets it. False, and out empty, when no alternative
// is known or the words do not fit.
bool describeRequirement(const char* requirement, char* out, std::size_t size);
