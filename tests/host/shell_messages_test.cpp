// The message for each result of the shell, byte for byte.
#include "actions/shell_messages.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

TEST(ShellErrorMessage, EveryNamedResult)
{
    const std::pair<int32_t, const char*> table[] = {
        {0, "The operating system is out of memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found"},
        {5, "The operating system denied access to the specified file. "},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred."},
        {27, "The filename association is incomplete or invalid.\r\n"
             "(You need to have a default Internet browser installed)"},
        {28, "The DDE transaction could not be completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not be completed because other DDE transactions were "
             "being processed."},
        {31, "There is no application associated with the given file name extension."},
        {32, "The specified dynamic-link library was not found."},
    };
    for (const auto& entry : table) {
        const char* pszMessage = ShellErrorMessage(entry.first);
        ASSERT_NE(nullptr, pszMessage) << entry.first;
        EXPECT_EQ(std::string(entry.second), pszMessage) << entry.first;
    }
}

TEST(ShellErrorMessage, UnnamedFailuresFallBack)
{
    const std::string fallback = "Unable to jump to URL.";
    for (int32_t result : {1, 4, 6, 7, 9, 10})
        EXPECT_EQ(fallback, ShellErrorMessage(result)) << result;
    for (int32_t result = 12; result <= 25; ++result)
        EXPECT_EQ(fallback, ShellErrorMessage(result)) << result;
    for (int32_t result : {-1, -2, -32, -33, INT32_MIN})
        EXPECT_EQ(fallback, ShellErrorMessage(result)) << result;
}

TEST(ShellErrorMessage, AboveThirtyTwoIsSuccess)
{
    for (int32_t result : {33, 34, 42, 0x10000, INT32_MAX})
        EXPECT_EQ(nullptr, ShellErrorMessage(result)) << result;
}
