// Reading a disc author's art: one PNG file per picture of the launcher.
#pragma once

#include "frame/layout.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A picture as painted: 8-bit sRGB, four bytes per pixel (red, green, blue
// and an alpha that is always 255), top row first.
struct ArtPicture {
    ImageSlot slot;
    std::vector<uint8_t> rgba;
};

// Reads the slot's PNG file, of any colour type and bit depth. When the
// picture cannot stand in the slot (unreadable, the wrong size, or with
// transparent pixels), returns false with refusal set to one line that says
// so and what the launcher would do with it.
bool ReadArtPicture(const std::filesystem::path& path, const ImageSlot& slot, ArtPicture& picture,
                    std::string& refusal);
