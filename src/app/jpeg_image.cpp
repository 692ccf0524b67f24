#include "app/jpeg_image.h"

#include <QtGlobal>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jerror.h>
#include <jpeglib.h>

namespace app {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return. It
// jumps back into readJpeg, which then gives up on the image. Every object
// between setjmp and that jump is plain C data, so nothing is left half-built.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf recovery;
};

[[noreturn]] void onFatalError(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->recovery, 1);
}

// Warnings that mean the data itself is broken, so that whatever is decoded
// past them would be a made-up picture.
bool isDamageWarning(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_TOO_MUCH_DATA:
        return true;
    default:
        return false;
    }
}

// Replaces libjpeg's message printer: trace messages and harmless warnings
// are dropped, a warning about damaged data ends the decoding like an error.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    ++cinfo->err->num_warnings;
    if (isDamageWarning(cinfo->err->msg_code))
        onFatalError(cinfo);
}

void onOutputMessage(j_common_ptr) {}

QRgb cmykToRgb(const JSAMPLE* px, bool inverted)
{
    // Adobe writes CMYK inverted (0 = full ink); others write it straight.
    int c = px[0], m = px[1], y = px[2], k = px[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

// Reads the whole image into *out. Returns false when libjpeg reported an
// error; *out is then left unspecified. The caller owns cinfo and errors.
bool readJpeg(jpeg_decompress_struct* cinfo, ErrorManager* errors, const QByteArray* bytes, QImage* out)
{
    if (setjmp(errors->recovery)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(bytes->constData()),
                 static_cast<unsigned long>(bytes->size()));
    jpeg_read_header(cinfo, TRUE);

    const bool isCmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    const bool isGrey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    cinfo->out_color_space = isCmyk ? JCS_CMYK : isGrey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(cinfo);

    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    *out = QImage(width, height, QImage::Format_RGB32);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                   cinfo->output_width * cinfo->output_components, 1);
    if (out->isNull()) {  // too large to hold
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    const bool invertedCmyk = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        jpeg_read_scanlines(cinfo, row, 1);
        auto* target = reinterpret_cast<QRgb*>(out->scanLine(y));
        const JSAMPLE* px = row[0];
        for (int x = 0; x < width; ++x) {
            if (isGrey) {
                target[x] = qRgb(px[0], px[0], px[0]);
                px += 1;
            } else if (isCmyk) {
                target[x] = cmykToRgb(px, invertedCmyk);
                px += 4;
            } else {
                target[x] = qRgb(px[0], px[1], px[2]);
                px += 3;
            }
        }
    }

    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};

    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onFatalError;
    errors.base.emit_message = onMessage;
    errors.base.output_message = onOutputMessage;

    QImage image;
    if (!readJpeg(&cinfo, &errors, &bytes, &image))
        return {};
    return image;
}

}  // namespace app
