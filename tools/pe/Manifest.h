//===- Manifest.h - The execution level of an application manifest --------===//
//
// Windows reads the rights an executable asks for from the level attribute of
// the requestedExecutionLevel element of its manifest (RT_MANIFEST 1, UTF-8
// XML). The edit here changes that attribute alone, so that the rest of the
// manifest stays as it was byte for byte. A manifest without the element gets
// it in its trustInfo/security/requestedPrivileges, with only the holders that
// are missing added; without a trustInfo, one goes before the end of its
// assembly element.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

namespace pe {

constexpr unsigned kManifestId = 1;

// "asInvoker", "highestAvailable" or "requireAdministrator".
bool isExecutionLevel(const std::string& level);

// The level the manifest asks for; empty when it asks for none.
std::string executionLevel(const std::string& manifest);

// The manifest asking for level. Throws a FormatError when it has neither the
// element nor the end of an assembly element to add it before.
std::string withExecutionLevel(const std::string& manifest, const std::string& level);

// A manifest that asks for level and nothing else.
std::string newManifest(const std::string& level);

} // namespace pe
