// The command line that opens the read-me file in WordPad.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// The longest command line the system starts a program with, terminator
// included.
constexpr size_t kMaxCommandLine = 32767;

// WordPad from its standard place on drive C, on "readme.txt" of the given
// directory. The directory is taken as it is: from a drive root, which already
// ends in a backslash, the file argument holds two in a row. Any directory the
// system can report is taken; empty when the line would be too long to start
// (or there is no directory), and then nothing is to be started.
inline std::string ReadmeCommandLine(const char* currentDirectory)
{
    static const char s_szPrefix[] = "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"";
    static const char s_szSuffix[] = "\\readme.txt\"";
    if (currentDirectory == nullptr)
        return std::string();
    const size_t cchPrefix = sizeof s_szPrefix - 1;
    const size_t cchSuffix = sizeof s_szSuffix - 1;
    const size_t cchDirectory = std::strlen(currentDirectory);
    if (cchDirectory > kMaxCommandLine - 1 - cchPrefix - cchSuffix)
        return std::string();
    std::string line;
    line.reserve(cchPrefix + cchDirectory + cchSuffix);
    line.append(s_szPrefix, cchPrefix);
    line.append(currentDirectory, cchDirectory);
    line.append(s_szSuffix, cchSuffix);
    return line;
}

// A file of a folder as a program is handed it: one backslash between the
// folder and the name, also at a drive root.
inline std::string PathInFolder(const std::string& folder, const char* name)
{
    std::string path = folder;
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path + name;
}

// The same read-me file for a program that is handed its path alone.
inline std::string ReadmeFilePath(const std::string& directory)
{
    return PathInFolder(directory, "readme.txt");
}
