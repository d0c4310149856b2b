// Checks a disc's bitmaps folder against what the launcher does with it.
//
//   bmpcheck [--layout FILE] DIR
//
// Reads every file as the launcher reads it (the same byte-level code), in
// the launcher's order, and prints one line for each thing a user would see
// go wrong: a missing or refused picture, a wrong size, a picture that is not
// an 8-bit palette picture, a colour table that differs from the palette in
// force, a flame frame whose edge does not match the background under it.
// Lines starting "note:" are harmless. The layout is the demo's, or the
// disc's from FILE (tools/layoutfile.h). Exit status: 0 when the set is in
// order (notes allowed), 1 when there are findings, 2 when DIR or FILE
// cannot be read.
#include "tools/layoutfile.h"
#include "tools/setcheck.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char kUsage[] = "usage: %s [--layout FILE] DIR\nchecks a bitmaps folder against what the launcher expects\n";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(kUsage, argv[0]);
        return 0;
    }
    std::vector<const char*> args(argv + 1, argv + argc);
    LauncherLayout layout;
    if (!TakeToolArguments(args, 1, argv[0], kUsage, layout))
        return 2;
    std::string error;
    std::map<std::string, std::filesystem::path> files;
    if (!ListFilesByLowerName(args[0], files, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 2;
    }
    return CheckBitmapSet(files, layout, args[0]);
}
