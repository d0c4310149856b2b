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

namespace {

// Code page 932's steps, as CharNextA takes them there: a lead byte and the
// byte after it are one character.
const char* NextIn932(const char* p)
{
    const auto lead = static_cast<unsigned char>(*p);
    const bool bLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return p + (bLead && p[1] != '\0' ? 2 : 1);
}

}  // namespace

TEST(ReadmeFilePath, OneBackslashBeforeTheName)
{
    EXPECT_EQ(ReadmeFilePath("D:\\", NextIn932), "D:\\readme.txt");
    EXPECT_EQ(ReadmeFilePath("D:\\Zephrane Demo", NextIn932), "D:\\Zephrane Demo\\readme.txt");
    EXPECT_EQ(ReadmeFilePath("\\\\server\\share\\demo", NextIn932),
              "\\\\server\\share\\demo\\readme.txt");
    // A folder named "発表": the last byte is a backslash's, the last
    // character is not one.
    EXPECT_EQ(ReadmeFilePath("D:\\\x94\xad\x95\\", NextIn932), "D:\\\x94\xad\x95\\\\readme.txt");
    EXPECT_EQ(ReadmeFilePath("D:\\\x94\xad\x95\\\\", NextIn932), "D:\\\x94\xad\x95\\\\readme.txt");
}
