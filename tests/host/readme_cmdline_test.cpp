// The command line that opens the read-me file.
#include "actions/readme_cmdline.h"

#include <gtest/gtest.h>

namespace {

const std::string kPrefix = "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"";
const std::string kSuffix = "\\readme.txt\"";

} // namespace

TEST(ReadmeCommandLine, DirectoryTakenAsItIs)
{
    EXPECT_EQ("\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"D:\\Zephrane Demo\\readme.txt\"",
              ReadmeCommandLine("D:\\Zephrane Demo"));
    // A drive root already ends in a backslash: two in a row.
    EXPECT_EQ("\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"C:\\\\readme.txt\"",
              ReadmeCommandLine("C:\\"));
    EXPECT_EQ(kPrefix + "\\\\server\\share\\demo" + kSuffix,
              ReadmeCommandLine("\\\\server\\share\\demo"));
    EXPECT_EQ(44u, kPrefix.size());
    EXPECT_EQ(12u, kSuffix.size());
}

TEST(ReadmeCommandLine, LongDirectoriesUpToTheSystemLimit)
{
    // 207 filled the old fixed buffer; 259 is the longest current directory;
    // the system starts nothing longer than 32766 characters.
    for (size_t cchDirectory : {207u, 208u, 259u, 4096u, 32710u}) {
        const std::string directory = "D:\\" + std::string(cchDirectory - 3, 'a');
        const std::string line = ReadmeCommandLine(directory.c_str());
        EXPECT_EQ(kPrefix + directory + kSuffix, line) << cchDirectory;
        EXPECT_LT(line.size(), kMaxCommandLine) << cchDirectory;
    }
    for (size_t cchDirectory : {32711u, 40000u}) {
        const std::string directory = "D:\\" + std::string(cchDirectory - 3, 'a');
        EXPECT_EQ("", ReadmeCommandLine(directory.c_str())) << cchDirectory;
    }
    EXPECT_EQ("", ReadmeCommandLine(nullptr));
}
