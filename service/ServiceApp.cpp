//===- ServiceApp.cpp - Choice of the operation ---------------------------===//
#include "ServiceApp.h"

#include <cstring>

namespace {
struct CommandOption {
    const char* text;
    ServiceCommand command;
};

// Searched in this order; the first option that prefixes the tail wins.
const CommandOption optionTable[4] = {
    {"/install", ServiceCommand::Install},
    {"/uninstall", ServiceCommand::Uninstall},
    {"/start", ServiceCommand::Start},
    {"/stop", ServiceCommand::Stop},
};

// ASCII only: the system's case rules would make other letters of the ANSI
// code page match, and the options are plain ASCII.
char foldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text == '\0' || foldAsciiCase(*text) != foldAsciiCase(*prefix))
            return false;
    }
    return true;
}
} // namespace

void ServiceApp::selectCommand(const char* commandTail) {
    command_ = ServiceCommand::Run;
    for (const CommandOption& option : optionTable) {
        if (startsWithIgnoringCase(commandTail, option.text)) {
            command_ = option.command;
            return;
        }
    }
}
