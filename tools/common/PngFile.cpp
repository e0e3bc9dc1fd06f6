#include "tools/common/PngFile.h"

#include <png.h>

#include <cstring>
#include <new>

#include "tools/common/WholeFile.h"

bool ReadPng(const std::string& path, PngImage& image, std::string& error, int wantComponents, uint32_t maxSide)
{
    // Read whole first, so that only a regular file is read and a FIFO can't stall the tool.
    std::vector<uint8_t> file;
    if (!ReadFileWhole(path, file, error)) {
        return false;
    }
    png_image png;
    memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, file.data(), file.size())) {
        error = path + ": not a readable PNG file (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    // The header alone can declare billions of pixels: check before allocating for them.
    std::string size = std::to_string(png.width) + " x " + std::to_string(png.height) + " pixels";
    if (maxSide != 0 && (png.width > maxSide || png.height > maxSide)) {
        error = path + ": image is " + size + "; a side can be at most " + std::to_string(maxSide);
        png_image_free(&png);
        return false;
    }
    int components = wantComponents != 0 ? wantComponents : (png.format & PNG_FORMAT_FLAG_ALPHA) != 0 ? 4 : 3;
    png.format = components == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(size_t(png.width) * png.height * components);
    } catch (const std::bad_alloc&) {
        error = path + ": image of " + size + " is too large for the memory available";
        png_image_free(&png);
        return false;
    }
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        error = path + ": corrupt PNG data (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    image.width = png.width;
    image.height = png.height;
    image.components = components;
    image.pixels.swap(pixels);
    return true;
}

bool WritePng(const std::string& path, uint32_t width, uint32_t height, int components, const uint8_t* pixels,
              std::string& error, bool bottomUp)
{
    if (components != 3 && components != 4) {
        error = path + ": can only write RGB or RGBA images";
        return false;
    }
    png_image png;
    memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = components == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_int_32 stride = png_int_32(width * components);
    if (bottomUp) {
        stride = -stride;
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(png, size, 0, pixels, stride, nullptr)) {
        error = path + ": cannot encode the image (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, stride, nullptr)) {
        error = path + ": cannot encode the image (" + png.message + ")";
        png_image_free(&png);
        return false;
    }
    bytes.resize(size);
    return WriteFileWhole(path, bytes, error);
}
