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
// folder and the name, also at a drive root. Whether the folder ends in one
// is a matter of its last character, not its last byte: in the code pages of
// Japan and China the second byte of a letter may be 0x5C, the backslash's
// ("\x95\x5C" is one letter in code page 932). next steps from a character
// to the next, as the system's CharNextA does in the user's code page.
template <typename Next>
std::string PathInFolder(const std::string& folder, const char* name, Next next)
{
    const char* pszLast = nullptr;
    for (const char* p = folder.c_str(); *p != '\0'; p = next(p))
        pszLast = p;
    std::string path = folder;
    if (pszLast != nullptr && *pszLast != '\\')
        path += '\\';
    return path + name;
}

// The same read-me file for a program that is handed its path alone.
template <typename Next>
std::string ReadmeFilePath(const std::string& directory, Next next)
{
    return PathInFolder(directory, "readme.txt", next);
}
