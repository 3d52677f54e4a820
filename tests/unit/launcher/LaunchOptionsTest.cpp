#include "LaunchOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LaunchOptions, ReadsTheCommandTailAsRequirementOrOptions) {
    struct Case {
        const char* tail;
        TailKind kind;
        bool quiet;
        const char* logFile;
        const char* installerArguments; // null: none
    } cases[] = {
        {"", TailKind::Options, false, "", nullptr},
        {"1.1:A:A", TailKind::Requirement, false, "", nullptr},
        {"-1:A:A /quiet", TailKind::Requirement, false, "", nullptr},
        {"/quiet", TailKind::Options, true, "", nullptr},
        {"/QUIET\t/Log C:\\x.log", TailKind::Options, true, "C:\\x.log", nullptr},
        {"/log \"C:\\My Logs\\x.log\" /quiet", TailKind::Options, true, "C:\\My Logs\\x.log",
         nullptr},
        {"/quiet -- -dir \"C:\\Program Files\\Kitebay\"", TailKind::Options, true, "",
         "-dir \"C:\\Program Files\\Kitebay\""},
        {"--  a  /b c ", TailKind::Options, false, "", "a  /b c "},
        {"/quiet --", TailKind::Options, true, "", nullptr},
        {"/help", TailKind::Invalid, false, "", nullptr},
        {"/quieter /log x.log", TailKind::Invalid, false, "x.log", nullptr},
        {"/help /quiet -- x", TailKind::Invalid, true, "", "x"},
        {"/quiet setup", TailKind::Invalid, true, "", nullptr},
        {"--x", TailKind::Invalid, false, "", nullptr},
        {"/log", TailKind::Invalid, false, "", nullptr},
        {"/log \"\" /quiet", TailKind::Invalid, false, "", nullptr},
    };
    for (const Case& c : cases) {
        LaunchOptions options;
        EXPECT_EQ(readCommandTail(c.tail, options), c.kind) << c.tail;
        EXPECT_EQ(options.quiet, c.quiet) << c.tail;
        EXPECT_STREQ(options.logFile, c.logFile) << c.tail;
        EXPECT_STREQ(options.installerArguments, c.installerArguments) << c.tail;
    }
}

TEST(LaunchOptions, RefusesALogFileThatDoesNotFitAPath) {
    LaunchOptions options;
    EXPECT_EQ(readCommandTail(("/log " + std::string(kMaxPath - 1, 'f')).c_str(), options),
              TailKind::Options);
    EXPECT_EQ(readCommandTail(("/log " + std::string(kMaxPath, 'f')).c_str(), options),
              TailKind::Invalid);
}

} // namespace
