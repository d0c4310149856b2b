// Any directory name for the read-me command line, and any shell result for
// its message. The input's first four bytes are also taken as a result code.
#include "actions/readme_cmdline.h"
#include "actions/shell_messages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

    int32_t result = 0;
    std::memcpy(&result, pData, cbData < sizeof result ? cbData : sizeof result);
    const char* pszMessage = ShellErrorMessage(result);
    Require((pszMessage == nullptr) == (result > 32), "message exactly for failures");
    if (pszMessage != nullptr)
        Require(std::strlen(pszMessage) > 0, "no empty message");
    return 0;
}
