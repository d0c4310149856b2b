// A disc's layout as the disc tools take it: the one they are built with,
// the demo's, or any disc's from the file that `tools/identity.py layout`
// writes from its identity file. The file is a line a element:
//
//   background W H
//   button ID X Y W H        for each button on the disc
//   flame N X Y W H FILES    N 0 for the big flame, 1 for the small one
#pragma once

#include "frame/layout.h"

#include <string>
#include <vector>

// Reads a layout file. False, with the reason in error, when it cannot be
// read or is not such a file.
bool ReadLayoutFile(const std::string& path, LauncherLayout& layout, std::string& error);

// A tool's command line: `--layout FILE`, without which the layout is the
// demo's, and count more arguments, which stay in args. False, said on
// standard error (usage, a printf format given the program's name, when the
// count is wrong), when the tool cannot go on.
bool TakeToolArguments(std::vector<const char*>& args, size_t count, const char* program,
                       const char* usage, LauncherLayout& layout);
