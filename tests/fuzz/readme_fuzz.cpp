// Any directory name for the read-me command line, and any shell result for
// its message. The input's first four bytes are also taken as a result code,
// and the whole text as a command line to be split into program and arguments.
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

    // Each name the system would try is the line up to a blank, longer than
    // the one before, and the arguments are what follows it.
    const size_t first = directory.find_first_not_of(" \t");
    const std::string trimmed = first == std::string::npos ? std::string() : directory.substr(first);
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(directory);
    if (!trimmed.empty() && trimmed[0] == '"') {
        Require(candidates.size() == 1, "a quoted name is the only one");
        Require(trimmed.compare(1, candidates[0].name.size(), candidates[0].name) == 0,
                "the quoted name is the line's");
    } else {
        Require(candidates.empty() == (trimmed.empty()), "names for every line with a word");
        size_t previous = 0;
        for (const ProgramCandidate& candidate : candidates) {
            const size_t cch = candidate.name.size();
            Require(cch > previous, "each name longer than the last");
            Require(trimmed.compare(0, cch, candidate.name) == 0, "a name begins the line");
            Require(candidate.name.back() != ' ' && candidate.name.back() != '\t', "no trailing blank");
            Require(cch == trimmed.size() || trimmed[cch] == ' ' || trimmed[cch] == '\t',
                    "a name ends at a blank");
            const size_t args = trimmed.find_first_not_of(" \t", cch);
            Require(candidate.arguments == (args == std::string::npos ? "" : trimmed.substr(args)),
                    "the arguments are the rest");
            previous = cch;
        }
    }

    int32_t result = 0;
    std::memcpy(&result, pData, cbData < sizeof result ? cbData : sizeof result);
    const char* pszMessage = ShellErrorMessage(result);
    Require((pszMessage == nullptr) == (result > 32), "message exactly for failures");
    if (pszMessage != nullptr)
        Require(std::strlen(pszMessage) > 0, "no empty message");
    return 0;
}
