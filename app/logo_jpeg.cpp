#include "base/errors.h"
#include "app/logo.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void Escape(j_common_ptr info)
{
    // libjpeg must not unwind through C++ frames: jump back to the caller of libjpeg.
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

// These two call libjpeg, whose errors jump back into them: they hold no
// objects with destructors, which the jump would skip.
bool Start(jpeg_decompress_struct& info, ErrorManager& errors, const void* data, std::size_t size, int minWidth,
           int minHeight)
{
    if (setjmp(errors.escape)) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_denom = 8;
    info.scale_num = std::max(ScaleNumerator(info.image_width, minWidth), ScaleNumerator(info.image_height, minHeight));
    jpeg_start_decompress(&info);
    return true;
}

bool Read(jpeg_decompress_struct& info, ErrorManager& errors, JSAMPROW row)
{
    if (setjmp(errors.escape)) return false;
    jpeg_read_scanlines(&info, &row, 1);
    return true;
}

} // namespace

struct JpegRows::Decoder {
    Decoder()
    {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = Escape;
    }
    ~Decoder() { jpeg_destroy_decompress(&info); } // also when its creation failed: nothing to free then

    [[noreturn]] void Fail()
    {
        char reason[JMSG_LENGTH_MAX] = "";
        errors.base.format_message(reinterpret_cast<j_common_ptr>(&info), reason);
        std::wstring message = L"Image JPEG illisible : ";
        for (const char* p = reason; *p; ++p) message.push_back(static_cast<unsigned char>(*p));
        throw LauncherError(message);
    }

    jpeg_decompress_struct info{};
    ErrorManager errors{};
    std::vector<std::uint8_t> row;
};

JpegRows::JpegRows(const void* data, std::size_t size, int minWidth, int minHeight)
    : decoder_(std::make_unique<Decoder>())
{
    if (!Start(decoder_->info, decoder_->errors, data, size, minWidth, minHeight)) decoder_->Fail();
    width_ = static_cast<int>(decoder_->info.output_width);
    height_ = static_cast<int>(decoder_->info.output_height);
    decoder_->row.resize(static_cast<std::size_t>(width_) * 3);
}

// Rows left unread need no jpeg_finish_decompress: destroying aborts.
JpegRows::~JpegRows() = default;
JpegRows::JpegRows(JpegRows&&) noexcept = default;
JpegRows& JpegRows::operator=(JpegRows&&) noexcept = default;

const std::uint8_t* JpegRows::NextRow()
{
    if (!Read(decoder_->info, decoder_->errors, decoder_->row.data())) decoder_->Fail();
    return decoder_->row.data();
}
