#include "tools/bmpset/artpng.h"

#include "tools/setcheck.h"

#include <png.h>

namespace {

// Frees what libpng holds for a picture however the reading ends.
class CPngReading {
public:
    CPngReading()
    {
        m_image.version = PNG_IMAGE_VERSION;
    }
    ~CPngReading() { png_image_free(&m_image); }
    CPngReading(const CPngReading&) = delete;
    CPngReading& operator=(const CPngReading&) = delete;
    png_image& Image() { return m_image; }

private:
    png_image m_image{};
};

} // namespace

bool ReadArtPicture(const std::filesystem::path& path, const ImageSlot& slot, ArtPicture& picture,
                    std::string& refusal)
{
    const std::string name = ArtFileName(slot);
    CPngReading reading;
    png_image& image = reading.Image();
    if (!png_image_begin_read_from_file(&image, path.string().c_str())) {
        refusal = name + " cannot be read as a PNG file (libpng: " + image.message + ")";
        return false;
    }
    // The size is known from the header: a wrong one is refused before any
    // pixels are decoded, however large the picture claims to be.
    if (image.width != png_uint_32(slot.width) || image.height != png_uint_32(slot.height)) {
        refusal = name + " is " + std::to_string(image.width) + " x " + std::to_string(image.height) + ", but " +
                  ElementName(slot) + " is " + std::to_string(slot.width) + " x " + std::to_string(slot.height) +
                  ": as a bitmap of that size, " + SizeEffect(slot, int32_t(image.width), int32_t(image.height));
        return false;
    }
    const bool bHasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    // Paint programs store 16-bit channels in the same sRGB encoding as 8-bit
    // ones; libpng would otherwise take untagged 16-bit files for linear.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    picture.slot = slot;
    picture.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        refusal = name + " cannot be read as a PNG file (libpng: " + image.message + ")";
        return false;
    }
    if (bHasAlpha) {
        for (size_t i = 0; i < picture.rgba.size(); i += 4) {
            if (picture.rgba[i + 3] == 255)
                continue;
            const size_t pixel = i / 4;
            refusal = name + " has transparent pixels (the first at " + std::to_string(pixel % size_t(slot.width)) +
                      ", " + std::to_string(pixel / size_t(slot.width)) +
                      "): a bitmap has none, so the launcher would draw them in solid colour, as it draws the "
                      "whole rectangle of " + ElementName(slot);
            return false;
        }
    }
    return true;
}
