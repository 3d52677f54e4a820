// The command tail and the choice of the operation from it.
#include "CommandTail.h"
#include "ServiceApp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TailCase {
    const char* name;
    std::string commandLine;
    const char* expectedTail;
};

class CommandTailTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTailTest, SkipsTheProgramNameAndTheBlanksAfterIt) {
    const TailCase& c = GetParam();
    EXPECT_STREQ(commandTail(c.commandLine.c_str()), c.expectedTail);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CommandTailTest,
    testing::Values(
        TailCase{"PlainName", "Brisnode.exe /stop", "/stop"},
        TailCase{"QuotedNameWithBlanks",
                 "\"C:\\Program Files\\Veltra Corvane\\Brisnode.exe\" /stop", "/stop"},
        TailCase{"QuotedNameDirectlyFollowedByOption", "\"C:\\a b\\Brisnode.exe\"/install",
                 "/install"},
        TailCase{"QuoteNeverClosedTakesEverything", "\"C:\\a b\\Brisnode.exe /stop", ""},
        TailCase{"AnyNumberOfBlanksAndTabs", "Brisnode.exe     \t   /start", "/start"},
        TailCase{"ControlCharactersSkippedLikeBlanks", std::string("Brisnode.exe\x01\x1f /start"),
                 "/start"},
        TailCase{"ControlCharacterEndsAnUnquotedName", std::string("Brisnode.exe\x05/start"),
                 "/start"},
        TailCase{"HighBytesBelongToTheName", "C:\\\xe9t\xe9\\Brisnode.exe /stop", "/stop"},
        TailCase{"TextAfterTheOptionIsKept", "Brisnode.exe /stop now ", "/stop now "},
        TailCase{"NameAlone", "Brisnode.exe", ""},
        TailCase{"NameWithTrailingBlanks", "Brisnode.exe   ", ""},
        TailCase{"EmptyCommandLine", "", ""},
        TailCase{"LeadingBlankMakesTheNameEmpty", "  Brisnode.exe /stop", "Brisnode.exe /stop"}),
    [](const testing::TestParamInfo<TailCase>& info) { return std::string(info.param.name); });

struct SelectionCase {
    const char* name;
    const char* tail;
    ServiceCommand expected;
};

class SelectCommandTest : public testing::TestWithParam<SelectionCase> {};

TEST_P(SelectCommandTest, MatchesOptionsAsCaseInsensitivePrefixesAtTheStartAndAnEmptyTailRuns) {
    const SelectionCase& c = GetParam();
    ServiceApp app;
    app.selectCommand(c.tail);
    EXPECT_EQ(app.command(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectCommandTest,
    testing::Values(
        SelectionCase{"InstallLowerCase", "/install", ServiceCommand::Install},
        SelectionCase{"InstallUpperCase", "/INSTALL", ServiceCommand::Install},
        SelectionCase{"InstallMixedCase", "/Install", ServiceCommand::Install},
        SelectionCase{"InstallAsPrefixOfLongerWord", "/installer", ServiceCommand::Install},
        SelectionCase{"UninstallIsNotInstall", "/uninstall", ServiceCommand::Uninstall},
        SelectionCase{"UninstallMixedCase", "/UnInstall", ServiceCommand::Uninstall},
        SelectionCase{"Start", "/start", ServiceCommand::Start},
        SelectionCase{"StartAsPrefix", "/starting", ServiceCommand::Start},
        SelectionCase{"Stop", "/stop", ServiceCommand::Stop},
        SelectionCase{"StopFollowedByWords", "/stop now please", ServiceCommand::Stop},
        SelectionCase{"StopOddCase", "/sTOp", ServiceCommand::Stop},
        SelectionCase{"ShorterThanEveryOption", "/st", ServiceCommand::Unknown},
        SelectionCase{"OptionCutShort", "/instal", ServiceCommand::Unknown},
        SelectionCase{"OptionNotAtStart", "now /stop", ServiceCommand::Unknown},
        SelectionCase{"BlankBeforeOption", " /start", ServiceCommand::Unknown},
        SelectionCase{"OtherSwitchCharacter", "-install", ServiceCommand::Unknown},
        SelectionCase{"NonAsciiLettersDoNotFold", "/\xc9nstall", ServiceCommand::Unknown},
        SelectionCase{"NoSwitchCharacter", "install", ServiceCommand::Unknown},
        SelectionCase{"Help", "/help", ServiceCommand::Unknown},
        SelectionCase{"EmptyTailAsTheManagerGivesIt", "", ServiceCommand::Run}),
    [](const testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST(ServiceAppTest, HasNoCommandBeforeSelection) {
    ServiceApp app;
    EXPECT_EQ(app.command(), ServiceCommand::None);
}

struct CommandLineCase {
    const char* name;
    const char* commandLine;
    ServiceCommand expected;
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, WholeCommandLineSelectsTheOperation) {
    const CommandLineCase& c = GetParam();
    ServiceApp app;
    app.selectCommand(commandTail(c.commandLine));
    EXPECT_EQ(app.command(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CommandLineTest,
    testing::Values(CommandLineCase{"QuotedProgramWithBlanksThenStop",
                                    "\"C:\\Program Files\\Veltra Corvane\\Brisnode.exe\" /stop",
                                    ServiceCommand::Stop},
                    CommandLineCase{"ManyBlanksBeforeStart", "Brisnode.exe         /start",
                                    ServiceCommand::Start},
                    CommandLineCase{"UpperCaseUninstallAfterQuotedName",
                                    "\"C:\\x y\\Brisnode.exe\"   /UNINSTALL now",
                                    ServiceCommand::Uninstall},
                    CommandLineCase{"ManagerStartsItWithoutOption", "C:\\svc\\Brisnode.exe",
                                    ServiceCommand::Run},
                    CommandLineCase{"BlankInUnquotedNameHidesTheOption",
                                    "C:\\Program Files\\Brisnode.exe /stop",
                                    ServiceCommand::Unknown}),
    [](const testing::TestParamInfo<CommandLineCase>& info) {
        return std::string(info.param.name);
    });

struct LineCase {
    const char* name;
    const char* tail;
    Outcome outcome;
    std::string expected;
};

class ControlLineTest : public testing::TestWithParam<LineCase> {};

// What a script finds on standard error; the Windows half appends the error
// and its text to a failure.
TEST_P(ControlLineTest, NamesTheOptionAndWhatWasDoneOrFailedOrGivesTheUsage) {
    const LineCase& c = GetParam();
    ServiceApp app;
    app.selectCommand(c.tail);
    LogLine line;
    app.describe(line, c.outcome);
    EXPECT_EQ(std::string(line.data(), line.size()), c.expected + "\r\n");
}

constexpr char kUsage[] = "; usage: Brisnode /install | /uninstall | /start | /stop";

INSTANTIATE_TEST_SUITE_P(
    Rules, ControlLineTest,
    testing::Values(
        LineCase{"First", "/INSTALL", Outcome::Installed,
                 "Brisnode /install: installed and started"},
        LineCase{"NoStartCommand", "/install", Outcome::NoStartCommand,
                 "Brisnode /install: start.bat is missing or gives no command: StartCmd is empty"},
        LineCase{"FirstFailure", "/start", Outcome::ManagerNotOpened,
                 "Brisnode /start: cannot open the Service Control Manager"},
        LineCase{"FirstVerb", "/Stop", Outcome::ServiceNotOpened,
                 "Brisnode /stop: cannot open the service"},
        LineCase{"LastVerb", "/uninstall", Outcome::NotRemoved,
                 "Brisnode /uninstall: cannot remove the service"},
        LineCase{"FailureWithoutVerb", "/stop", Outcome::StopTimedOut,
                 "Brisnode /stop: the service did not stop in time"},
        LineCase{"Unknown", "-install now", Outcome::UnknownOption,
                 std::string("Brisnode: \"-install now\" is not an option") + kUsage},
        LineCase{"NotStartedByTheManager", "", Outcome::NotStartedByManager,
                 std::string("Brisnode: not started by the Service Control Manager") + kUsage}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

} // namespace
