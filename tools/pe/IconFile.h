//===- IconFile.h - Icon files (.ico) and the icon resources they become ---===//
//
// An .ico file is a directory (reserved 0, type 1, the image count), one
// 16-byte entry per image (width, height, colour count, reserved, planes, bits
// per pixel, size, file offset) and the images: each a bitmap starting with its
// BITMAPINFOHEADER or a PNG file. In a PE image the images become RT_ICON
// resources and the directory an RT_GROUP_ICON, whose 14-byte entries name
// the image by its resource id instead of its offset.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Bytes.h"
#include "ResourceTree.h"

#include <cstdint>
#include <vector>

namespace pe {

// More than enough for every size and colour depth an icon comes in.
constexpr std::size_t kMaxIconImages = 256;

struct IconImage {
    std::uint8_t width = 0; // 0 stands for 256
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint8_t reserved = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    Bytes data;
};

// The images of an icon file, in its order. Throws a FormatError naming the
// problem for a file that is truncated, claims more images than its directory
// holds, has an image outside the file or overlapping the directory, has images
// of more than kMaxResourceBytes together, or an image that is neither a bitmap
// nor a PNG.
std::vector<IconImage> readIconFile(const Bytes& file);

// The images an icon group (the data of an RT_GROUP_ICON language) lists, as
// far as its data holds them: each image's fields, its data left empty, and
// the resource id of the RT_ICON that holds it.
struct IconGroupEntry {
    IconImage image;
    std::uint16_t id;
};
std::vector<IconGroupEntry> readIconGroup(const Bytes& group);

// Makes images the icon of the image whose resources root holds: the first
// icon group (the one Windows shows for the file) keeps its name and languages
// and lists the new images, which replace the images only it used. Without an
// icon group, one is added as group 1.
void replaceIcon(ResourceNode& root, const std::vector<IconImage>& images);

} // namespace pe
