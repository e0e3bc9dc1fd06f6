#include "tools/qprender/FastPng.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp)
{}

void KeepError(png_structp png, png_const_charp message)
{
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp)
{}

// libpng longjmps out of here on failure, so nothing with a destructor lives in it.
bool Encode(png_structp png, png_infop info, uint32_t width, uint32_t height, int components, const uint8_t* pixels)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, width, height, 8, components == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 4);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    const size_t stride = size_t(width) * components;
    for (uint32_t y = 0; y < height; ++y)
        png_write_row(png, pixels + y * stride);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool EncodeFastPng(uint32_t width, uint32_t height, int components, const uint8_t* pixels, std::vector<uint8_t>& out,
                   std::string& error)
{
    out.clear();
    if (components != 3 && components != 4) {
        error = "can only write RGB or RGBA images";
        return false;
    }
    std::string message;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, KeepError, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory for the PNG encoder";
        return false;
    }
    out.reserve(size_t(width) * height * components / 8 + 1024);
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    const bool ok = Encode(png, info, width, height, components, pixels);
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        error = "cannot encode the image (" + message + ")";
        out.clear();
    }
    return ok;
}
