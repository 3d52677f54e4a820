// The service wrapper's command tail and option choice over any command line,
// and the termination of a registry text over any value bytes.
#include "CommandTail.h"
#include "FuzzCheck.h"
#include "RegistryText.h"
#include "ServiceApp.h"

#include <cstring>
#include <string>

namespace {

struct Option {
    const char* text;
    ServiceCommand command;
};

// The command line's options, as administrators type them.
const Option kOptions[] = {{"/install", ServiceCommand::Install},
                           {"/uninstall", ServiceCommand::Uninstall},
                           {"/start", ServiceCommand::Start},
                           {"/stop", ServiceCommand::Stop}};

bool startsWithIgnoringAsciiCase(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix)
        if (*text == '\0' || oracleLower(*text) != *prefix)
            return false;
    return true;
}

void checkCommandLine(const std::string& commandLine) {
    const char* line = commandLine.c_str();
    const char* tail = commandTail(line);
    FUZZ_CHECK(tail >= line && tail <= line + std::strlen(line));
    FUZZ_CHECK(
        !(static_cast<unsigned char>(*tail) >= 0x01 && static_cast<unsigned char>(*tail) <= 0x20));
    if (line[0] == '"')
        FUZZ_CHECK(tail > line);

    ServiceApp app;
    app.selectCommand(tail);
    const ServiceCommand chosen = app.command();
    FUZZ_CHECK(chosen != ServiceCommand::None);
    bool prefixed = false;
    for (const Option& option : kOptions) {
        if (startsWithIgnoringAsciiCase(tail, option.text)) {
            FUZZ_CHECK(chosen == option.command);
            prefixed = true;
            break;
        }
    }
    // Only the empty tail that the Service Control Manager gives runs the service.
    FUZZ_CHECK(prefixed ||
               chosen == (*tail == '\0' ? ServiceCommand::Run : ServiceCommand::Unknown));
}

void checkRegistryText(const unsigned char* data, std::size_t size) {
    if (size < 2)
        return;
    // The value's size as the registry reported it, and the buffer it went into.
    const std::size_t bufferSize = 1 + data[0] % 64;
    const std::size_t dataSize = data[1] % 80;
    std::string buffer(reinterpret_cast<const char*>(data + 2), size - 2);
    buffer.resize(bufferSize, 'x');
    std::size_t length = 0xDEAD;
    const bool trusted = registryTextLength(buffer.data(), dataSize, bufferSize, length);
    const std::size_t filled = dataSize < bufferSize ? dataSize : bufferSize;
    const bool hasNul = std::memchr(buffer.data(), '\0', filled) != nullptr;
    if (trusted) {
        FUZZ_CHECK(length <= filled && length < bufferSize);
        FUZZ_CHECK(std::memchr(buffer.data(), '\0', length) == nullptr);
        FUZZ_CHECK(length == filled || buffer[length] == '\0');
    } else {
        FUZZ_CHECK(!hasNul && filled == bufferSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    checkCommandLine(std::string(reinterpret_cast<const char*>(data), size).c_str());
    checkRegistryText(data, size);
    return 0;
}
