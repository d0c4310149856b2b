// Any directory name for the read-me command line, and any shell result for
// its message. The input's first four bytes are also taken as a result code,
// and the whole text as a command line to be split into program and arguments.
// Beyond crashes, only what the system itself defines is checked: the read-me
// line is its three parts in order, a line that names a program splits into
// pieces of itself, and exactly the results up to 32 are failures.
#include "actions/command_line.h"
#include "actions/readme_cmdline.h"
#include "actions/shell_messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Require(bool bCondition, const char* pszWhat)
{
    if (!bCondition) {
        std::fprintf(stderr, "broken: %s\n", pszWhat);
        std::abort();
    }
}

const char kPrefix[] = "\"C:\\Program Files\\Accessories\\WORDPAD.EXE\" \"";
const char kSuffix[] = "\\readme.txt\"";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    // The directory as the system hands it over: text up to the first NUL.
    const std::string directory(reinterpret_cast<const char*>(pData),
                                strnlen(reinterpret_cast<const char*>(pData), cbData));
    const std::string line = ReadmeCommandLine(directory.c_str());
    const size_t cchFull = sizeof kPrefix - 1 + directory.size() + sizeof kSuffix - 1;
    if (cchFull < kMaxCommandLine)
        Require(line == kPrefix + directory + kSuffix, "line is prefix, directory, suffix");
    else
        Require(line.empty(), "a line too long to start");

    // Whatever the line, each name the system would try for the program is
    // a piece of it, longer than the one tried before, and the arguments it
    // would get are the end of the line, after that name.
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(directory);
    Require(candidates.empty() == (directory.find_first_not_of(" \t") == std::string::npos),
            "a name to try for every line with a word");
    for (size_t i = 0; i < candidates.size(); ++i) {
        const ProgramCandidate& candidate = candidates[i];
        const size_t at = directory.find(candidate.name);
        Require(at != std::string::npos, "a name is a piece of the line");
        Require(i == 0 || candidate.name.size() > candidates[i - 1].name.size(),
                "each name longer than the last");
        const size_t cchArguments = candidate.arguments.size();
        Require(cchArguments <= directory.size() &&
                    directory.compare(directory.size() - cchArguments, cchArguments,
                                      candidate.arguments) == 0,
                "the arguments end the line");
        Require(directory.size() - cchArguments >= at + candidate.name.size(),
                "the arguments follow the name");
    }

    int32_t result = 0;
    std::memcpy(&result, pData, cbData < sizeof result ? cbData : sizeof result);
    const char* pszMessage = ShellErrorMessage(result);
    Require((pszMessage == nullptr) == (result > 32), "message exactly for failures");
    if (pszMessage != nullptr)
        Require(std::strlen(pszMessage) > 0, "no empty message");
    return 0;
}
