// The names the system tries for a command line given without a program name,
// and the read-me file handed to a program alone.
#include "actions/command_line.h"
#include "actions/readme_cmdline.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<std::string, std::string>> Split(const std::string& line)
{
    std::vector<std::pair<std::string, std::string>> result;
    for (const ProgramCandidate& candidate : ProgramCandidates(line))
        result.emplace_back(candidate.name, candidate.arguments);
    return result;
}

using Names = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST(ProgramCandidates, AnUnquotedLineIsTriedWordByWord)
{
    EXPECT_EQ(Split("C:\\Program Files\\Game\\unins000.exe /S"),
              (Names{{"C:\\Program", "Files\\Game\\unins000.exe /S"},
                     {"C:\\Program Files\\Game\\unins000.exe", "/S"},
                     {"C:\\Program Files\\Game\\unins000.exe /S", ""}}));
    // Runs of blanks, tabs among them, end one word; blanks around the line
    // belong to no name.
    EXPECT_EQ(Split("  a.exe \t b  c\t"), (Names{{"a.exe", "b  c\t"}, {"a.exe \t b", "c\t"},
                                                  {"a.exe \t b  c", ""}}));
    EXPECT_EQ(Split("notepad.exe"), (Names{{"notepad.exe", ""}}));
    EXPECT_TRUE(Split("").empty());
    EXPECT_TRUE(Split(" \t ").empty());
}

TEST(ProgramCandidates, AQuotedNameIsTheOnlyOne)
{
    EXPECT_EQ(Split("\"C:\\Program Files\\Game\\unins 000.exe\"  /SILENT \"log file.txt\""),
              (Names{{"C:\\Program Files\\Game\\unins 000.exe", "/SILENT \"log file.txt\""}}));
    EXPECT_EQ(Split("\"C:\\W\\WORDPAD.EXE\" \"D:\\\\readme.txt\""),
              (Names{{"C:\\W\\WORDPAD.EXE", "\"D:\\\\readme.txt\""}}));
    // Arguments may follow the closing quote at once; an unclosed quote runs
    // to the end of the line.
    EXPECT_EQ(Split("\"a b.exe\"/x"), (Names{{"a b.exe", "/x"}}));
    EXPECT_EQ(Split("\"a b.exe /x"), (Names{{"a b.exe /x", ""}}));
    EXPECT_EQ(Split("\"\""), (Names{{"", ""}}));
}

TEST(ReadmeFilePath, OneBackslashBeforeTheName)
{
    EXPECT_EQ(ReadmeFilePath("D:\\"), "D:\\readme.txt");
    EXPECT_EQ(ReadmeFilePath("D:\\Zephrane Demo"), "D:\\Zephrane Demo\\readme.txt");
    EXPECT_EQ(ReadmeFilePath("\\\\server\\share\\demo"), "\\\\server\\share\\demo\\readme.txt");
}
