#include "base/errors.h"
#include "app/logo.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void Escape(j_common_ptr info)
{
    // libjpeg must not unwind through C++ frames: jump back to the decoder.
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// The smallest num/8 scale whose output still covers the wanted size.
unsigned int ScaleNumerator(unsigned int source, int wanted)
{
    if (wanted <= 0) return 8;
    for (unsigned int num = 1; num < 8; ++num)
        if ((source * num + 7) / 8 >= static_cast<unsigned int>(wanted)) return num;
    return 8;
}

// Kept free of objects with destructors, since longjmp skips them.
bool Decode(jpeg_decompress_struct& info, ErrorManager& errors, const void* data, std::size_t size,
            int minWidth, int minHeight, RgbImage& image)
{
    if (setjmp(errors.escape)) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_denom = 8;
    info.scale_num = std::max(ScaleNumerator(info.image_width, minWidth), ScaleNumerator(info.image_height, minHeight));
    jpeg_start_decompress(&info);
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &image.pixels[static_cast<std::size_t>(info.output_scanline) * image.width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

RgbImage DecodeJpeg(const void* data, std::size_t size, int minWidth, int minHeight)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = Escape;
    RgbImage image;
    const bool decoded = Decode(info, errors, data, size, minWidth, minHeight, image);
    char reason[JMSG_LENGTH_MAX] = "";
    if (!decoded) errors.base.format_message(reinterpret_cast<j_common_ptr>(&info), reason);
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        std::wstring message = L"Image JPEG illisible : ";
        for (const char* p = reason; *p; ++p) message.push_back(static_cast<unsigned char>(*p));
        throw LauncherError(message);
    }
    return image;
}
