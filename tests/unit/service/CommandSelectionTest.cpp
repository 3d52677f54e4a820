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

TEST_P(SelectCommandTest, MatchesOptionsAsCaseInsensitivePrefixesAtTheStart) {
    const SelectionCase& c = GetParam();
    ServiceApp app;
    app.selectCommand(c.tail);
    EXPECT_EQ(app.command(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectCommandTest,
    testing::Values(SelectionCase{"InstallLowerCase", "/install", ServiceCommand::Install},
                    SelectionCase{"InstallUpperCase", "/INSTALL", ServiceCommand::Install},
                    SelectionCase{"InstallMixedCase", "/Install", ServiceCommand::Install},
                    SelectionCase{"InstallAsPrefixOfLongerWord", "/installer",
                                  ServiceCommand::Install},
                    SelectionCase{"UninstallIsNotInstall", "/uninstall", ServiceCommand::Uninstall},
                    SelectionCase{"UninstallMixedCase", "/UnInstall", ServiceCommand::Uninstall},
                    SelectionCase{"Start", "/start", ServiceCommand::Start},
                    SelectionCase{"StartAsPrefix", "/starting", ServiceCommand::Start},
                    SelectionCase{"Stop", "/stop", ServiceCommand::Stop},
                    SelectionCase{"StopFollowedByWords", "/stop now please", ServiceCommand::Stop},
                    SelectionCase{"StopOddCase", "/sTOp", ServiceCommand::Stop},
                    SelectionCase{"ShorterThanEveryOption", "/st", ServiceCommand::Run},
                    SelectionCase{"OptionCutShort", "/instal", ServiceCommand::Run},
                    SelectionCase{"OptionNotAtStart", "now /stop", ServiceCommand::Run},
                    SelectionCase{"BlankBeforeOption", " /start", ServiceCommand::Run},
                    SelectionCase{"OtherSwitchCharacter", "-install", ServiceCommand::Run},
                    SelectionCase{"NonAsciiLettersDoNotFold", "/\xc9nstall", ServiceCommand::Run},
                    SelectionCase{"EmptyTail", "", ServiceCommand::Run}),
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
                                    "C:\\Program Files\\Brisnode.exe /stop", ServiceCommand::Run}),
    [](const testing::TestParamInfo<CommandLineCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
