#include "platform/gdiplus/JpegErrorManager.h"

#include <jerror.h>

#include "platform/gdiplus/ImageBuffer.h"

namespace {

JpegErrorManager* ManagerOf(jpeg_common_struct* cinfo) {
    return reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

[[noreturn]] void OnError(jpeg_common_struct* cinfo) {
    JpegErrorManager* manager = ManagerOf(cinfo);
    if (manager->failure == JpegFailure::kNone) {
        manager->failure = JpegFailure::kError;
        manager->msgCode = manager->library.msg_code;
    }
    std::longjmp(manager->jump, 1);
}

void OnMessage(jpeg_common_struct* cinfo, int level) {
    // Negative levels are warnings; the others are trace output, which we
    // never ask for and never print.
    if (level < 0) {
        JpegErrorManager* manager = ManagerOf(cinfo);
        manager->msgCode = manager->library.msg_code;
        FailJpeg(cinfo, JpegFailure::kWarning);
    }
}

void OnOutput(jpeg_common_struct*) {}

}  // namespace

void InstallJpegErrorManager(jpeg_common_struct* cinfo, JpegErrorManager* manager) {
    cinfo->err = jpeg_std_error(&manager->library);
    manager->library.error_exit = OnError;
    manager->library.emit_message = OnMessage;
    manager->library.output_message = OnOutput;
    manager->failure = JpegFailure::kNone;
    manager->msgCode = 0;
}

void FailJpeg(jpeg_common_struct* cinfo, JpegFailure failure) {
    JpegErrorManager* manager = ManagerOf(cinfo);
    manager->failure = failure;
    std::longjmp(manager->jump, 1);
}

Status JpegDecodeFailureStatus(const JpegErrorManager& manager) {
    switch (manager.failure) {
        case JpegFailure::kNone:
            return Ok;
        case JpegFailure::kTooManyScans:
            return RefuseSize("100 scans for a JPEG file");
        case JpegFailure::kWarning:
            return InvalidParameter;
        case JpegFailure::kError:
            break;
    }
    switch (manager.msgCode) {
        case JERR_OUT_OF_MEMORY:
            return OutOfMemory;
        // libjpeg asks for backing store only when the picture needs more
        // working memory than the limit the decoder set.
        case JERR_NO_BACKING_STORE:
        case JERR_IMAGE_TOO_BIG:
            return RefuseSize("1 GiB of working memory for a JPEG file");
        // Well-formed files of a kind this libjpeg build does not decode:
        // 12-bit samples, lossless or hierarchical processes.
        case JERR_BAD_PRECISION:
        case JERR_SOF_UNSUPPORTED:
        case JERR_NOT_COMPILED:
        case JERR_ARITH_NOTIMPL:
            return NotImplemented;
        default:
            return InvalidParameter;
    }
}
