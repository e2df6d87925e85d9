// libjpeg managers: error exit by longjmp, memory source with a fake EOI,
// 1 MiB file destination and a doubling memory destination. Callbacks that
// may raise a library error keep no object with a destructor alive when
// they do, so the jump back never skips one.
#include "codecs/jpeg_glue.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "codecs/data_budget.h"

namespace pixlane {
namespace {

JpegErrorManager& ManagerOf(j_common_ptr cinfo) {
  // `pub` is the first member, so the error pointer is the manager.
  return *reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
  JpegErrorManager& errors = ManagerOf(cinfo);
  errors.errorCode = cinfo->err->msg_code;
  (*cinfo->err->format_message)(cinfo, errors.message);
  std::longjmp(errors.jump, 1);
}

// Replaces the default, which prints to stderr: the first warning's text is
// kept, nothing is shown.
void KeepWarning(j_common_ptr cinfo) {
  JpegErrorManager& errors = ManagerOf(cinfo);
  if (errors.warning[0] == '\0') (*cinfo->err->format_message)(cinfo, errors.warning);
}

// Warnings about files that are unusual but whole; every other warning
// libjpeg gives while reading means lost or damaged image data.
bool IsHarmlessWarning(int code) {
  switch (code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
      return true;
    default:
      return false;
  }
}

// emit_message: level −1 is a warning (counted, the first one kept, damage
// noted); trace messages (0 and above) are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  JpegErrorManager& errors = ManagerOf(cinfo);
  if (!IsHarmlessWarning(cinfo->err->msg_code)) errors.dataDamaged = true;
  if (cinfo->err->num_warnings == 0) (*cinfo->err->output_message)(cinfo);
  ++cinfo->err->num_warnings;
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillWithFakeEoi(j_decompress_ptr cinfo) {
  JpegMemorySource* source = reinterpret_cast<JpegMemorySource*>(cinfo->src);
  WARNMS(cinfo, JWRN_JPEG_EOF);
  source->fakeEoi[0] = 0xFF;
  source->fakeEoi[1] = JPEG_EOI;
  source->pub.next_input_byte = source->fakeEoi;
  source->pub.bytes_in_buffer = 2;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {  // NOLINT(runtime/int): libjpeg's type
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  const auto n = static_cast<unsigned long>(count);  // NOLINT(runtime/int)
  if (n >= source->bytes_in_buffer) {
    // Everything left is skipped; the next fill delivers the fake EOI.
    source->next_input_byte += source->bytes_in_buffer;
    source->bytes_in_buffer = 0;
  } else {
    source->next_input_byte += n;
    source->bytes_in_buffer -= n;
  }
}

void InitFileDestination(j_compress_ptr cinfo) {
  JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(cinfo->dest);
  d->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo),
                                                              JPOOL_IMAGE, kJpegFileBufferBytes));
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = kJpegFileBufferBytes;
}

boolean EmptyFileBuffer(j_compress_ptr cinfo) {
  JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(cinfo->dest);
  if (!d->file->Write(d->buffer, kJpegFileBufferBytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = kJpegFileBufferBytes;
  return TRUE;
}

void TermFileDestination(j_compress_ptr cinfo) {
  JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(cinfo->dest);
  const size_t used = kJpegFileBufferBytes - d->pub.free_in_buffer;
  if (used > 0 && !d->file->Write(d->buffer, used)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Doubles the block (at least 64 KiB), keeping its contents. Every object
// with a destructor is gone when this returns.
bool GrowBlock(PixelBlock& block) {
  constexpr size_t kMinimumBytes = size_t{64} << 10;
  const size_t old = block.size();
  if (old > std::numeric_limits<size_t>::max() / 2) return false;
  const size_t bigger = old * 2 < kMinimumBytes ? kMinimumBytes : old * 2;
  PixelBlock grown;
  if (!grown.AllocateForOverwrite(bigger)) return false;  // only produced bytes are read
  if (old != 0) std::memcpy(grown.data(), block.data(), old);
  block = std::move(grown);
  return true;
}

void InitMemoryDestination(j_compress_ptr cinfo) {
  JpegMemoryDestination* d = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
  d->produced = 0;
  // libjpeg stores a byte before it checks the space left: start non-empty.
  if (d->block->empty() && !GrowBlock(*d->block)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
  d->pub.next_output_byte = d->block->data();
  d->pub.free_in_buffer = d->block->size();
}

boolean EmptyMemoryBuffer(j_compress_ptr cinfo) {
  JpegMemoryDestination* d = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
  const size_t used = d->block->size();
  if (!GrowBlock(*d->block)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
  d->pub.next_output_byte = d->block->data() + used;
  d->pub.free_in_buffer = d->block->size() - used;
  return TRUE;
}

void TermMemoryDestination(j_compress_ptr cinfo) {
  JpegMemoryDestination* d = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
  d->produced = d->block->size() - d->pub.free_in_buffer;
}

}  // namespace

jpeg_error_mgr* AttachErrorManager(JpegErrorManager& errors) {
  jpeg_error_mgr* err = jpeg_std_error(&errors.pub);
  err->error_exit = JumpOnError;
  err->output_message = KeepWarning;
  err->emit_message = EmitMessage;
  errors.dataDamaged = false;
  errors.errorCode = 0;
  errors.message[0] = '\0';
  errors.warning[0] = '\0';
  return err;
}

bool RunJpegGuardedRaw(JpegErrorManager& errors, bool (*body)(void*), void* job) {
  if (setjmp(errors.jump) != 0) return false;
  return body(job);
}

CodecError JpegErrorToCodecError(int msgCode) {
  switch (msgCode) {
    case JERR_FILE_WRITE: return CodecError::WriteFailed;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_TFILE_CREATE: return CodecError::OutOfMemory;
    case JERR_CONVERSION_NOTIMPL: return CodecError::UnsupportedFormat;
    case JERR_IMAGE_TOO_BIG:
    case JERR_EMPTY_IMAGE:
    case JERR_WIDTH_OVERFLOW: return CodecError::BadDimensions;
    default: return CodecError::BadHeader;
  }
}

void AttachMemorySource(j_decompress_ptr cinfo, JpegMemorySource& source, const uint8_t* data,
                        size_t size) {
  source.pub.init_source = InitSource;
  source.pub.fill_input_buffer = FillWithFakeEoi;
  source.pub.skip_input_data = SkipInput;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = TermSource;
  source.pub.next_input_byte = data;
  source.pub.bytes_in_buffer = data != nullptr ? size : 0;
  cinfo->src = &source.pub;
}

void AttachFileDestination(j_compress_ptr cinfo, JpegFileDestination& destination,
                           OutputFile& file) {
  destination.pub.init_destination = InitFileDestination;
  destination.pub.empty_output_buffer = EmptyFileBuffer;
  destination.pub.term_destination = TermFileDestination;
  destination.pub.next_output_byte = nullptr;
  destination.pub.free_in_buffer = 0;
  destination.file = &file;
  destination.buffer = nullptr;
  cinfo->dest = &destination.pub;
}

void AttachMemoryDestination(j_compress_ptr cinfo, JpegMemoryDestination& destination,
                             PixelBlock& block) {
  destination.pub.init_destination = InitMemoryDestination;
  destination.pub.empty_output_buffer = EmptyMemoryBuffer;
  destination.pub.term_destination = TermMemoryDestination;
  destination.pub.next_output_byte = nullptr;
  destination.pub.free_in_buffer = 0;
  destination.block = &block;
  destination.produced = 0;
  cinfo->dest = &destination.pub;
}

void CreateDecompress(JpegDecompressOwner& owner, JpegErrorManager& errors) {
  owner.cinfo.err = &errors.pub;
  owner.created = true;
  jpeg_create_decompress(&owner.cinfo);
}

void CreateCompress(JpegCompressOwner& owner, JpegErrorManager& errors) {
  owner.cinfo.err = &errors.pub;
  owner.created = true;
  jpeg_create_compress(&owner.cinfo);
}

void SetJpegMemoryLimit(j_common_ptr cinfo, size_t bytes) {
  using Long = long;  // NOLINT(runtime/int): libjpeg's type
  if (bytes == 0) return;
  cinfo->mem->max_memory_to_use =
      static_cast<Long>(std::min<size_t>(bytes, std::numeric_limits<Long>::max()));
}

bool JpegDataCanFillImage(const jpeg_decompress_struct& cinfo) {
  const uint64_t dataBytes = cinfo.src != nullptr ? cinfo.src->bytes_in_buffer : 0;
  const uint64_t width = cinfo.image_width;
  const uint64_t height = cinfo.image_height;
  const bool oneBitPerBlock =
      cinfo.arith_code == FALSE && (cinfo.progressive_mode == FALSE || cinfo.Ss == 0);
  if (!oneBitPerBlock) {
    return SaturatingMul(dataBytes, kUnboundedCodingPixelsPerByte) >= width * height;
  }
  uint64_t blocks = 0;
  if (cinfo.comps_in_scan == 1) {
    const jpeg_component_info* component = cinfo.cur_comp_info[0];
    blocks = uint64_t{component->width_in_blocks} * component->height_in_blocks;
  } else {
    const uint64_t mcuWidth = 8u * static_cast<uint64_t>(cinfo.max_h_samp_factor);
    const uint64_t mcuHeight = 8u * static_cast<uint64_t>(cinfo.max_v_samp_factor);
    uint64_t blocksPerMcu = 0;
    for (int i = 0; i < cinfo.comps_in_scan; ++i) {
      const jpeg_component_info* component = cinfo.cur_comp_info[i];
      blocksPerMcu += static_cast<uint64_t>(component->h_samp_factor * component->v_samp_factor);
    }
    blocks = (width + mcuWidth - 1) / mcuWidth * ((height + mcuHeight - 1) / mcuHeight) * blocksPerMcu;
  }
  return DataCanFill(SaturatingMul(dataBytes, 8), blocks);
}

std::string JpegErrorText(const JpegErrorManager& errors) { return std::string(errors.message); }

}  // namespace pixlane
