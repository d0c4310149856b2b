// How the system reads a command line that comes without a program name: the
// names it tries for the program, in its order, each with the arguments that
// would follow it.
#pragma once

#include <string>
#include <vector>

struct ProgramCandidate {
    std::string name;       // as written: no quotes, no ".exe" added
    std::string arguments;  // the rest of the line, leading blanks skipped
};

// A quoted first token names the program whole. An unquoted line is read word
// by word: "C:\Program Files\Game\unins000.exe /S" gives "C:\Program", then
// "C:\Program Files\Game\unins000.exe", then the whole line; the first that
// names an existing program is the one the system starts. Runs of blanks end
// one word, not several, and blanks before the first word are not part of it.
inline std::vector<ProgramCandidate> ProgramCandidates(const std::string& line)
{
    const char* const kBlanks = " \t";
    const size_t first = line.find_first_not_of(kBlanks);
    const std::string commandLine = first == std::string::npos ? std::string() : line.substr(first);
    auto rest = [&](size_t from) {
        const size_t start = commandLine.find_first_not_of(kBlanks, from);
        return start == std::string::npos ? std::string() : commandLine.substr(start);
    };

    std::vector<ProgramCandidate> candidates;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        if (close == std::string::npos)
            candidates.push_back({commandLine.substr(1), std::string()});
        else
            candidates.push_back({commandLine.substr(1, close - 1), rest(close + 1)});
        return candidates;
    }
    size_t end = commandLine.find_first_of(kBlanks);
    while (end != std::string::npos) {
        candidates.push_back({commandLine.substr(0, end), rest(end)});
        const size_t next = commandLine.find_first_not_of(kBlanks, end);
        end = next == std::string::npos ? next : commandLine.find_first_of(kBlanks, next);
    }
    const size_t last = commandLine.find_last_not_of(kBlanks);
    if (last != std::string::npos && (candidates.empty() || candidates.back().name.size() <= last))
        candidates.push_back({commandLine.substr(0, last + 1), std::string()});
    return candidates;
}
