#include "tools/layoutfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// identity.py has checked every value; these bounds keep a tool safe from a
// file that is not its work.
constexpr int32_t kLargest = 4096;

bool ReadPlace(std::istringstream& fields, const LayoutRect& background, LayoutRect& place)
{
    int32_t x = -1, y = -1, w = 0, h = 0;
    if (!(fields >> x >> y >> w >> h) || w < 1 || h < 1 || x < 0 || y < 0 || w > kLargest ||
        h > kLargest || x > background.right - w || y > background.bottom - h)
        return false;
    place = LayoutRect{x, y, x + w, y + h};
    return true;
}

bool TakeLayoutOption(std::vector<const char*>& args, LauncherLayout& layout, std::string& error)
{
    layout = kBuiltLayout;
    for (size_t i = 0; i < args.size(); ++i) {
        if (std::strcmp(args[i], "--layout") != 0)
            continue;
        if (i + 1 == args.size()) {
            error = "--layout wants a file";
            return false;
        }
        const std::string path = args[i + 1];
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
        return ReadLayoutFile(path, layout, error);
    }
    return true;
}

} // namespace

bool ReadLayoutFile(const std::string& path, LauncherLayout& layout, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the layout " + path + ": " + std::strerror(errno);
        return false;
    }
    layout = LauncherLayout{};
    bool bBackground = false;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        std::istringstream fields(line);
        std::string what, rest;
        if (!(fields >> what) || what[0] == '#')
            continue;
        bool bRead = false;
        if (what == "background" && !bBackground) {
            int32_t w = 0, h = 0;
            bRead = bool(fields >> w >> h) && w >= 1 && h >= 1 && w <= kLargest && h <= kLargest;
            layout.background = LayoutRect{0, 0, w, h};
            bBackground = bRead;
        } else if (what == "button" && bBackground) {
            int id = 0;
            bRead = bool(fields >> id) && id >= 1 && id <= kButtonCount && id != 3 && id != 5 &&
                    IsEmptyRect(layout.buttons[id]) && ReadPlace(fields, layout.background, layout.buttons[id]);
        } else if (what == "flame" && bBackground) {
            int n = -1;
            bRead = bool(fields >> n) && (n == kBigFlame || n == kSmallFlame) && layout.flameFiles[n] == 0 &&
                    ReadPlace(fields, layout.background, layout.flames[n]) && fields >> layout.flameFiles[n] &&
                    (layout.flameFiles[n] == kShownFlameFrames || layout.flameFiles[n] == kFlameFrameCount);
        }
        if (!bRead || fields >> rest) {
            error = path + ", line " + std::to_string(number) +
                    ": not a layout that tools/identity.py wrote: " + line;
            return false;
        }
    }
    if (!bBackground) {
        error = path + " holds no layout: it names no background";
        return false;
    }
    return true;
}

bool TakeToolArguments(std::vector<const char*>& args, size_t count, const char* program,
                       const char* usage, LauncherLayout& layout)
{
    std::string error;
    if (!TakeLayoutOption(args, layout, error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return false;
    }
    if (args.size() != count) {
        std::fprintf(stderr, usage, program);
        return false;
    }
    return true;
}
