//===- ServiceApp.cpp - Choice of the operation and what is said of it ---===//
#include "ServiceApp.h"

#include <cstring>

namespace {
struct CommandOption {
    const char* text;
    ServiceCommand command;
};

// Searched in this order; the first option that prefixes the tail wins. Row n
// holds the command n + 1.
const CommandOption optionTable[4] = {
    {"/install", ServiceCommand::Install},
    {"/uninstall", ServiceCommand::Uninstall},
    {"/start", ServiceCommand::Start},
    {"/stop", ServiceCommand::Stop},
};

// One text per Outcome, in its order, each ended by its NUL: one string
// rather than a table of pointers, which the 32-bit program would carry
// together with a relocation for each. From ServiceNotOpened to NotRemoved,
// the verb of "cannot <verb> the service".
constexpr char kOutcomeTexts[] = "installed and started\0"
                                 "installed already: commands stored afresh; started\0"
                                 "installed already and running: the commands stored afresh "
                                 "take effect at its next start\0"
                                 "started\0"
                                 "running already\0"
                                 "stopped\0"
                                 "not running\0"
                                 "removed\0"
                                 "start.bat is missing or gives no command: StartCmd is empty\0"
                                 "cannot open the Service Control Manager\0"
                                 "the service stopped as it started\0"
                                 "the service did not stop in time\0"
                                 "open\0"
                                 "create\0"
                                 "configure\0"
                                 "start\0"
                                 "stop\0"
                                 "remove\0"
                                 "not started by the Service Control Manager";

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
    tail_ = commandTail;
    command_ = *commandTail == '\0' ? ServiceCommand::Run : ServiceCommand::Unknown;
    for (const CommandOption& option : optionTable) {
        if (startsWithIgnoringCase(commandTail, option.text)) {
            command_ = option.command;
            return;
        }
    }
}

void ServiceApp::describe(LogLine& line, Outcome outcome) const {
    line.text("Brisnode");
    if (command_ >= ServiceCommand::Install && command_ <= ServiceCommand::Stop)
        line.text(" ").text(optionTable[static_cast<int>(command_) - 1].text);
    line.text(": ");
    if (outcome == Outcome::UnknownOption) {
        line.text("\"").text(tail_).text("\" is not an option");
    } else {
        const char* text = kOutcomeTexts;
        for (int skipped = 0; skipped < static_cast<int>(outcome); ++skipped)
            text += std::strlen(text) + 1;
        const bool verb = outcome >= Outcome::ServiceNotOpened && outcome <= Outcome::NotRemoved;
        if (verb)
            line.text("cannot ");
        line.text(text);
        if (verb)
            line.text(" the service");
    }
    if (outcome < Outcome::NotStartedByManager)
        return;
    line.text("; usage: Brisnode");
    const char* separator = " ";
    for (const CommandOption& option : optionTable) {
        line.text(separator).text(option.text);
        separator = " | ";
    }
}
