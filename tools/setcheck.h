// What the launcher makes of a folder of pictures, told as what a user would
// see. Shared by bmpcheck, which checks any set, and bmpset, which checks the
// set it has just written and words its refusals the same way.
#pragma once

#include "frame/layout.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The files of a folder by their names in lower case: Windows finds a file
// whatever the case of its name, and so do the disc tools. False, with the
// reason in error, when the folder cannot be read.
bool ListFilesByLowerName(const std::filesystem::path& folder,
                          std::map<std::string, std::filesystem::path>& files, std::string& error);

// The art file for a slot, as an author paints it: its bitmap's name with
// ".png" for ".bmp".
std::string ArtFileName(const ImageSlot& slot);

// The slot's picture as a true-colour display shows it, three bytes (red,
// green, blue) a pixel, top row first; empty unless the file is an
// uncompressed 8-bit picture of the slot's size that the launcher loads.
std::vector<uint8_t> SlotPictureRgb(const std::filesystem::path& path, const ImageSlot& slot);

// "the background", "the big flame", "the install button", ...
std::string ElementName(const ImageSlot& slot);

// The flames loop through their first 16 frames; frames 17 to 30, where a
// disc has them, are loaded but never shown.
bool IsShownSlot(const ImageSlot& slot);

// The load order of the flame frame shown before this one: the loop runs from
// frame 16 back to frame 1.
int PreviousFrameOrder(const ImageSlot& slot, const LauncherLayout& layout);

// What the screen shows of a picture of this size in the slot's place.
std::string SizeEffect(const ImageSlot& slot, int32_t width, int32_t height);

// What the screen shows when the launcher has no picture for the slot. For a
// flame frame, bPreviousFrameLoads says whether the frame before it in the
// loop is there to stay on the screen instead.
std::string WithoutPicture(const ImageSlot& slot, const LauncherLayout& layout, bool bPreviousFrameLoads);

// Reads the launcher's pictures from the files of one folder, as the launcher
// with this layout reads them and in its order, and prints one line for each thing a user
// would see go wrong (lines starting "note:" are harmless), or one line that
// the set is in order. folderName is how the folder is named in that line.
// With bArtNames the lines name each picture's art file, which the author
// mends, rather than the bitmap made from it. Returns 0 when the set is in
// order, 1 when there are findings.
int CheckBitmapSet(const std::map<std::string, std::filesystem::path>& files, const LauncherLayout& layout,
                   const std::string& folderName, bool bArtNames = false);
