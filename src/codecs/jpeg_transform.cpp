// Lossless transform: the input's coefficients are read into libjpeg's
// virtual block arrays, the output parameters are derived (sizes and
// sampling factors swapped for quarter turns, quantisation tables
// transposed, partial MCUs trimmed), and the block operations below move and
// sign-flip whole 8×8 coefficient blocks. Mirroring a block negates its odd
// frequencies along the mirrored axis; a quarter turn is a transpose plus a
// mirror. All libjpeg calls run in one guarded body whose frames hold only
// plain data; the caller's frame owns both libjpeg objects.
#include "codecs/jpeg_transform.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "codecs/codec_support.h"
#include "codecs/jpeg_glue.h"

namespace pixlane {
namespace {

constexpr int kBlockSide = DCTSIZE;
constexpr int kBlockCoefficients = DCTSIZE2;

// Sign patterns over a block in natural order (index r·8 + k, r the
// vertical and k the horizontal frequency).
struct SignTables {
  std::array<int16_t, kBlockCoefficients> oddColumns{};  // −1 where k is odd
  std::array<int16_t, kBlockCoefficients> oddRows{};     // −1 where r is odd
  std::array<int16_t, kBlockCoefficients> both{};        // (−1)^(r+k)
  constexpr SignTables() {
    for (int r = 0; r < kBlockSide; ++r) {
      for (int k = 0; k < kBlockSide; ++k) {
        const int i = r * kBlockSide + k;
        oddColumns[i] = (k & 1) != 0 ? -1 : 1;
        oddRows[i] = (r & 1) != 0 ? -1 : 1;
        both[i] = ((r + k) & 1) != 0 ? -1 : 1;
      }
    }
  }
};
constexpr SignTables kSigns;

using Signs = std::array<int16_t, kBlockCoefficients>;

void CopyBlock(const JCOEF* s, JCOEF* d) { std::memcpy(d, s, sizeof(JBLOCK)); }

void SignedCopy(const JCOEF* s, JCOEF* d, const Signs& sign) {
  for (int i = 0; i < kBlockCoefficients; ++i) d[i] = static_cast<JCOEF>(s[i] * sign[i]);
}

// d[k][r] = sign[r][k] · s[r][k].
void SignedTranspose(const JCOEF* s, JCOEF* d, const Signs& sign) {
  for (int r = 0; r < kBlockSide; ++r) {
    for (int k = 0; k < kBlockSide; ++k) {
      const int i = r * kBlockSide + k;
      d[k * kBlockSide + r] = static_cast<JCOEF>(s[i] * sign[i]);
    }
  }
}

void PlainTranspose(const JCOEF* s, JCOEF* d) {
  for (int r = 0; r < kBlockSide; ++r) {
    for (int k = 0; k < kBlockSide; ++k) d[k * kBlockSide + r] = s[r * kBlockSide + k];
  }
}

// Exchanges two blocks, negating the odd columns of both.
void SwapMirrored(JCOEF* a, JCOEF* b) {
  for (int i = 0; i < kBlockCoefficients; ++i) {
    const int t = a[i];
    a[i] = static_cast<JCOEF>(b[i] * kSigns.oddColumns[i]);
    b[i] = static_cast<JCOEF>(t * kSigns.oddColumns[i]);
  }
}

void MirrorInPlace(JCOEF* a) {
  for (int i = 0; i < kBlockCoefficients; ++i)
    a[i] = static_cast<JCOEF>(a[i] * kSigns.oddColumns[i]);
}

// Rows of one virtual array, fetched one band (a multiple of the array's
// access height, aligned to it) at a time.
struct BandCursor {
  j_common_ptr cinfo;
  jvirt_barray_ptr array;
  JDIMENSION band;
  boolean writable;
  JDIMENSION start;
  JBLOCKARRAY rows;

  JBLOCKROW Row(JDIMENSION y) {
    if (rows == nullptr || y < start || y - start >= band) {
      start = y - y % band;
      rows = (*cinfo->mem->access_virt_barray)(cinfo, array, start, band, writable);
    }
    return rows[y - start];
  }
};

BandCursor MakeCursor(j_decompress_ptr cinfo, jvirt_barray_ptr array, JDIMENSION band,
                      bool writable) {
  return BandCursor{reinterpret_cast<j_common_ptr>(cinfo),         array, band,
                    static_cast<boolean>(writable ? TRUE : FALSE), 0,     nullptr};
}

// The output's layout, fixed after the header is read.
struct ComponentPlan {
  int h;  // output sampling factors
  int v;
  JDIMENSION arrayWidth;  // destination array, in blocks
  JDIMENSION arrayHeight;
};

struct TransformPlan {
  int components;
  ComponentPlan component[MAX_COMPONENTS];
  JDIMENSION width;  // output size after the swap and trim
  JDIMENSION height;
  JDIMENSION mcuWidth;  // output MCU in pixels
  JDIMENSION mcuHeight;
  bool swapsAxes;
  bool needsArrays;  // every transform but none and mirror left-right
};

JDIMENSION DivideRoundingUp(uint64_t value, JDIMENSION divisor) {
  return static_cast<JDIMENSION>((value + divisor - 1) / divisor);
}

// One component's extent in the output, in blocks.
struct ComponentGeometry {
  JDIMENSION blocksWide;  // blocks the output holds
  JDIMENSION blocksHigh;
  JDIMENSION mw;  // block columns / rows of whole output MCUs
  JDIMENSION mh;
  JDIMENSION targetBand;  // access height of the destination array
  JDIMENSION sourceBand;  // access height of the source array
};

ComponentGeometry GeometryOf(const TransformPlan& plan, int ci, const jpeg_component_info& source) {
  const ComponentPlan& c = plan.component[ci];
  const auto h = static_cast<JDIMENSION>(c.h);
  const auto v = static_cast<JDIMENSION>(c.v);
  ComponentGeometry g;
  g.blocksWide = DivideRoundingUp(uint64_t{plan.width} * h, plan.mcuWidth);
  g.blocksHigh = DivideRoundingUp(uint64_t{plan.height} * v, plan.mcuHeight);
  g.mw = plan.width / plan.mcuWidth * h;
  g.mh = plan.height / plan.mcuHeight * v;
  g.targetBand = v;
  g.sourceBand = static_cast<JDIMENSION>(source.v_samp_factor);
  return g;
}

void MirrorLeftRight(j_decompress_ptr cinfo, jvirt_barray_ptr array, const ComponentGeometry& g) {
  if (g.mw == 0) return;
  BandCursor rows = MakeCursor(cinfo, array, g.sourceBand, true);
  for (JDIMENSION y = 0; y < g.blocksHigh; ++y) {
    JBLOCKROW row = rows.Row(y);
    for (JDIMENSION x = 0; 2 * x < g.mw; ++x) {
      const JDIMENSION other = g.mw - 1 - x;
      if (other == x) {
        MirrorInPlace(row[x]);
      } else {
        SwapMirrored(row[x], row[other]);
      }
    }
  }
}

// Walks the destination array band by band; `fill(target row, y)` writes the
// blocks of row y.
template <typename Fill>
void ForEachTargetRow(j_decompress_ptr cinfo, jvirt_barray_ptr target, const ComponentGeometry& g,
                      Fill fill) {
  BandCursor rows = MakeCursor(cinfo, target, g.targetBand, true);
  for (JDIMENSION y = 0; y < g.blocksHigh; ++y) fill(rows.Row(y), y);
}

void MirrorTopBottom(j_decompress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr target,
                     const ComponentGeometry& g) {
  BandCursor from = MakeCursor(cinfo, source, g.sourceBand, false);
  ForEachTargetRow(cinfo, target, g, [&](JBLOCKROW out, JDIMENSION y) {
    if (y < g.mh) {
      JBLOCKROW in = from.Row(g.mh - 1 - y);
      for (JDIMENSION x = 0; x < g.blocksWide; ++x) SignedCopy(in[x], out[x], kSigns.oddRows);
    } else {
      JBLOCKROW in = from.Row(y);
      for (JDIMENSION x = 0; x < g.blocksWide; ++x) CopyBlock(in[x], out[x]);
    }
  });
}

void Rotate180(j_decompress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr target,
               const ComponentGeometry& g) {
  BandCursor from = MakeCursor(cinfo, source, g.sourceBand, false);
  ForEachTargetRow(cinfo, target, g, [&](JBLOCKROW out, JDIMENSION y) {
    const bool mirroredRow = y < g.mh;
    JBLOCKROW in = from.Row(mirroredRow ? g.mh - 1 - y : y);
    for (JDIMENSION x = 0; x < g.blocksWide; ++x) {
      if (x < g.mw) {
        SignedCopy(in[g.mw - 1 - x], out[x], mirroredRow ? kSigns.both : kSigns.oddColumns);
      } else if (mirroredRow) {
        SignedCopy(in[x], out[x], kSigns.oddRows);
      } else {
        CopyBlock(in[x], out[x]);
      }
    }
  });
}

// Quarter turns read source rows by destination column. For each band of
// destination rows the source row of a destination column is fetched once.
void Rotate90(j_decompress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr target,
              const ComponentGeometry& g) {
  BandCursor from = MakeCursor(cinfo, source, g.sourceBand, false);
  BandCursor to = MakeCursor(cinfo, target, g.targetBand, true);
  for (JDIMENSION y0 = 0; y0 < g.blocksHigh; y0 += g.targetBand) {
    const JDIMENSION y1 = std::min(g.blocksHigh, y0 + g.targetBand);
    for (JDIMENSION x = 0; x < g.blocksWide; ++x) {
      const bool mirrored = x < g.mw;
      // Destination (x, y) takes source column y of source row mw − 1 − x.
      JBLOCKROW in = from.Row(mirrored ? g.mw - 1 - x : x);
      for (JDIMENSION y = y0; y < y1; ++y) {
        JCOEF* out = to.Row(y)[x];
        if (mirrored) {
          SignedTranspose(in[y], out, kSigns.oddRows);
        } else {
          PlainTranspose(in[y], out);
        }
      }
    }
  }
}

void Rotate270(j_decompress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr target,
               const ComponentGeometry& g) {
  BandCursor from = MakeCursor(cinfo, source, g.sourceBand, false);
  BandCursor to = MakeCursor(cinfo, target, g.targetBand, true);
  for (JDIMENSION y0 = 0; y0 < g.blocksHigh; y0 += g.targetBand) {
    const JDIMENSION y1 = std::min(g.blocksHigh, y0 + g.targetBand);
    for (JDIMENSION x = 0; x < g.blocksWide; ++x) {
      // Destination (x, y) takes source row x, column mh − 1 − y.
      JBLOCKROW in = from.Row(x);
      for (JDIMENSION y = y0; y < y1; ++y) {
        JCOEF* out = to.Row(y)[x];
        if (y < g.mh) {
          SignedTranspose(in[g.mh - 1 - y], out, kSigns.oddColumns);
        } else {
          PlainTranspose(in[y], out);
        }
      }
    }
  }
}

struct TransformJob {
  JpegTransformer* transformer;
  const uint8_t* data;
  size_t size;
  JpegDecompressOwner* source;
  JpegCompressOwner* target;
  JpegErrorManager* errors;
  JpegMemorySource* input;
  OutputFile* file;  // file mode when set
  JpegFileDestination* fileDestination;
  PixelBlock* block;  // memory mode when set
  JpegMemoryDestination* memoryDestination;
  TransformPlan plan;
  jvirt_barray_ptr targetArrays[MAX_COMPONENTS];
  CodecError failure;
};

bool TrimsWidth(JpegTransformKind t) {
  return t == JpegTransformKind::MirrorLeftRight || t == JpegTransformKind::Rotate90 ||
         t == JpegTransformKind::Rotate180;
}

bool TrimsHeight(JpegTransformKind t) {
  return t == JpegTransformKind::MirrorTopBottom || t == JpegTransformKind::Rotate270 ||
         t == JpegTransformKind::Rotate180;
}

JDIMENSION RoundUp(JDIMENSION value, int multiple) {
  const auto m = static_cast<uint64_t>(multiple);
  return static_cast<JDIMENSION>((value + m - 1) / m * m);
}

// Derives the output layout from the header and requests the destination
// arrays (before jpeg_read_coefficients, which realizes them). False when
// the options cannot apply to this file.
bool PlanTransform(TransformJob& job) {
  const JpegTransformOptions& options = job.transformer->options;
  jpeg_decompress_struct* src = &job.source->cinfo;
  TransformPlan& plan = job.plan;
  const int inputComponents = src->num_components;
  if (options.forceGrayscale) {
    const bool ycc = src->jpeg_color_space == JCS_YCbCr && inputComponents == 3;
    const bool gray = src->jpeg_color_space == JCS_GRAYSCALE && inputComponents == 1;
    // The gray output has one block per 8×8 pixels: a luminance component
    // sampled below the image's full resolution cannot fill it.
    const bool fullLuma = src->comp_info[0].h_samp_factor == src->max_h_samp_factor &&
                          src->comp_info[0].v_samp_factor == src->max_v_samp_factor;
    if (!(ycc || gray) || !fullLuma) {
      job.failure = CodecError::UnsupportedFormat;
      src->err->msg_code = JERR_CONVERSION_NOTIMPL;
      (*src->err->format_message)(reinterpret_cast<j_common_ptr>(src), job.errors->message);
      return false;
    }
  }
  const JpegTransformKind t = options.transform;
  plan.components = options.forceGrayscale ? 1 : inputComponents;
  plan.swapsAxes = t == JpegTransformKind::Rotate90 || t == JpegTransformKind::Rotate270;
  plan.needsArrays = t != JpegTransformKind::None && t != JpegTransformKind::MirrorLeftRight;
  int maxH = 1;
  int maxV = 1;
  for (int ci = 0; ci < plan.components; ++ci) {
    const jpeg_component_info& c = src->comp_info[ci];
    ComponentPlan& p = plan.component[ci];
    p.h = plan.swapsAxes ? c.v_samp_factor : c.h_samp_factor;
    p.v = plan.swapsAxes ? c.h_samp_factor : c.v_samp_factor;
    // A single component is coded one block per MCU.
    if (plan.components == 1) p.h = p.v = 1;
    maxH = std::max(maxH, p.h);
    maxV = std::max(maxV, p.v);
  }
  plan.mcuWidth = static_cast<JDIMENSION>(kBlockSide * maxH);
  plan.mcuHeight = static_cast<JDIMENSION>(kBlockSide * maxV);
  plan.width = plan.swapsAxes ? src->image_height : src->image_width;
  plan.height = plan.swapsAxes ? src->image_width : src->image_height;
  if (options.trim) {
    if (TrimsWidth(t) && plan.width >= plan.mcuWidth) {
      plan.width = plan.width / plan.mcuWidth * plan.mcuWidth;
    }
    if (TrimsHeight(t) && plan.height >= plan.mcuHeight) {
      plan.height = plan.height / plan.mcuHeight * plan.mcuHeight;
    }
  }
  for (int ci = 0; ci < plan.components; ++ci) {
    const jpeg_component_info& c = src->comp_info[ci];
    ComponentPlan& p = plan.component[ci];
    // The source arrays are the component's blocks rounded up to whole MCUs.
    const JDIMENSION sourceWidth = RoundUp(c.width_in_blocks, c.h_samp_factor);
    const JDIMENSION sourceHeight = RoundUp(c.height_in_blocks, c.v_samp_factor);
    p.arrayWidth = plan.swapsAxes ? sourceHeight : sourceWidth;
    p.arrayHeight = plan.swapsAxes ? sourceWidth : sourceHeight;
    job.targetArrays[ci] = nullptr;
    if (plan.needsArrays) {
      job.targetArrays[ci] = (*src->mem->request_virt_barray)(
          reinterpret_cast<j_common_ptr>(src), JPOOL_IMAGE, FALSE, p.arrayWidth, p.arrayHeight,
          static_cast<JDIMENSION>(p.v));
    }
  }
  return true;
}

void TransposeQuantTables(jpeg_compress_struct* dst) {
  for (JQUANT_TBL* table : dst->quant_tbl_ptrs) {
    if (table == nullptr) continue;
    for (int r = 0; r < kBlockSide; ++r) {
      for (int k = r + 1; k < kBlockSide; ++k) {
        std::swap(table->quantval[r * kBlockSide + k], table->quantval[k * kBlockSide + r]);
      }
    }
  }
}

bool StartsWith(const jpeg_marker_struct& marker, const char (&tag)[6]) {
  return marker.data_length >= 5 && std::memcmp(marker.data, tag, 5) == 0;
}

void CopyMarkers(jpeg_decompress_struct* src, jpeg_compress_struct* dst) {
  for (jpeg_saved_marker_ptr m = src->marker_list; m != nullptr; m = m->next) {
    if (dst->write_JFIF_header && m->marker == JPEG_APP0 && StartsWith(*m, "JFIF\0")) continue;
    if (dst->write_Adobe_marker && m->marker == JPEG_APP0 + 14 && StartsWith(*m, "Adobe")) continue;
    jpeg_write_marker(dst, m->marker, m->data, m->data_length);
  }
}

void RunBlockOperations(TransformJob& job, jvirt_barray_ptr* sourceArrays) {
  jpeg_decompress_struct* src = &job.source->cinfo;
  const TransformPlan& plan = job.plan;
  for (int ci = 0; ci < plan.components; ++ci) {
    const ComponentGeometry g = GeometryOf(plan, ci, src->comp_info[ci]);
    jvirt_barray_ptr from = sourceArrays[ci];
    jvirt_barray_ptr to = job.targetArrays[ci];
    switch (job.transformer->options.transform) {
      case JpegTransformKind::None: break;
      case JpegTransformKind::MirrorLeftRight: MirrorLeftRight(src, from, g); break;
      case JpegTransformKind::MirrorTopBottom: MirrorTopBottom(src, from, to, g); break;
      case JpegTransformKind::Rotate90: Rotate90(src, from, to, g); break;
      case JpegTransformKind::Rotate180: Rotate180(src, from, to, g); break;
      case JpegTransformKind::Rotate270: Rotate270(src, from, to, g); break;
    }
  }
}

bool TransformBody(TransformJob& job) {
  const JpegTransformOptions& options = job.transformer->options;
  CreateDecompress(*job.source, *job.errors);
  CreateCompress(*job.target, *job.errors);
  jpeg_decompress_struct* src = &job.source->cinfo;
  jpeg_compress_struct* dst = &job.target->cinfo;
  src->mem->max_memory_to_use = dst->mem->max_memory_to_use;
  SetJpegMemoryLimit(reinterpret_cast<j_common_ptr>(src), job.transformer->maxMemory);
  SetJpegMemoryLimit(reinterpret_cast<j_common_ptr>(dst), job.transformer->maxMemory);
  AttachMemorySource(src, *job.input, job.data, job.size);
  if (options.markerCopy != JpegMarkerCopy::None) jpeg_save_markers(src, JPEG_COM, 0xFFFF);
  if (options.markerCopy == JpegMarkerCopy::All) {
    for (int n = 0; n < 16; ++n) jpeg_save_markers(src, JPEG_APP0 + n, 0xFFFF);
  }
  jpeg_read_header(src, TRUE);
  const auto limit = static_cast<JDIMENSION>(job.transformer->maxDimension);
  if (src->image_width > limit || src->image_height > limit) {
    job.failure = CodecError::BadDimensions;
    return false;
  }
  if (!JpegDataCanFillImage(*src)) {
    job.failure = CodecError::DataTooSmall;
    return false;
  }
  if (!PlanTransform(job)) return false;

  jvirt_barray_ptr* sourceArrays = jpeg_read_coefficients(src);
  jpeg_copy_critical_parameters(src, dst);
  const TransformPlan& plan = job.plan;
  if (options.forceGrayscale && src->num_components != 1) {
    const int table = dst->comp_info[0].quant_tbl_no;
    jpeg_set_colorspace(dst, JCS_GRAYSCALE);
    dst->comp_info[0].quant_tbl_no = table;
  }
  for (int ci = 0; ci < plan.components; ++ci) {
    dst->comp_info[ci].h_samp_factor = plan.component[ci].h;
    dst->comp_info[ci].v_samp_factor = plan.component[ci].v;
  }
  if (plan.swapsAxes) TransposeQuantTables(dst);
  dst->image_width = plan.width;
  dst->image_height = plan.height;
  dst->optimize_coding = TRUE;
  if (options.progressive) jpeg_simple_progression(dst);
  if (job.file != nullptr) {
    AttachFileDestination(dst, *job.fileDestination, *job.file);
  } else {
    AttachMemoryDestination(dst, *job.memoryDestination, *job.block);
  }
  jpeg_write_coefficients(dst, plan.needsArrays ? job.targetArrays : sourceArrays);
  CopyMarkers(src, dst);
  RunBlockOperations(job, sourceArrays);
  jpeg_finish_compress(dst);
  jpeg_finish_decompress(src);
  return true;
}

bool Transform(JpegTransformer& transformer, const uint8_t* data, size_t size, OutputFile* file,
               PixelBlock* block, size_t& produced) {
  JpegDecompressOwner source;
  JpegCompressOwner target;
  JpegErrorManager errors;
  JpegMemorySource input;
  JpegFileDestination fileDestination;
  JpegMemoryDestination memoryDestination;
  AttachErrorManager(errors);
  TransformJob job{};
  job.transformer = &transformer;
  job.data = data;
  job.size = size;
  job.source = &source;
  job.target = &target;
  job.errors = &errors;
  job.input = &input;
  job.file = file;
  job.fileDestination = &fileDestination;
  job.block = block;
  job.memoryDestination = &memoryDestination;
  job.failure = CodecError::None;
  if (!RunJpegGuarded(errors, &TransformBody, job)) {
    transformer.lastErrorText = JpegErrorText(errors);
    transformer.error =
        job.failure != CodecError::None ? job.failure : JpegErrorToCodecError(errors.errorCode);
    return false;
  }
  transformer.outputWidth = static_cast<int32_t>(job.plan.width);
  transformer.outputHeight = static_cast<int32_t>(job.plan.height);
  transformer.isPartial = errors.dataDamaged;
  produced = block != nullptr ? memoryDestination.produced : 0;
  return true;
}

void Start(JpegTransformer& transformer) {
  transformer.outputWidth = 0;
  transformer.outputHeight = 0;
  transformer.isPartial = false;
  transformer.error = CodecError::None;
  transformer.lastErrorText.clear();
  transformer.file.Release();
}

}  // namespace

void SetJpegTransformOptions(JpegTransformOptions& options, int32_t turOpt, int32_t marker,
                             int32_t progressive) {
  switch (turOpt) {
    case 1: options.transform = JpegTransformKind::Rotate90; break;
    case 2: options.transform = JpegTransformKind::Rotate180; break;
    case 3: options.transform = JpegTransformKind::Rotate270; break;
    case 4: options.transform = JpegTransformKind::MirrorLeftRight; break;
    case 5: options.transform = JpegTransformKind::MirrorTopBottom; break;
    default: options.transform = JpegTransformKind::None; break;
  }
  switch (marker) {
    case 0: options.markerCopy = JpegMarkerCopy::None; break;
    case 1: options.markerCopy = JpegMarkerCopy::Comments; break;
    default: options.markerCopy = JpegMarkerCopy::All; break;
  }
  options.progressive = progressive != 0;
}

bool TransformJpegFile(JpegTransformer& transformer, std::u16string_view inputPath,
                       std::u16string_view outputPath) {
  Start(transformer);
  bool ok = false;
  const uint32_t size = MapInputFile(inputPath, transformer.file);
  if (size == 0) {
    transformer.error = MapFailureError(transformer.file);
  } else if (!transformer.file.output.Create(outputPath)) {
    transformer.error = CodecError::CannotOpen;
  } else {
    size_t unused = 0;
    ok = Transform(transformer, transformer.file.input.begin, size, &transformer.file.output,
                   nullptr, unused);
    if (ok && !transformer.file.output.Close()) {
      transformer.error = CodecError::WriteFailed;
      ok = false;
    }
  }
  transformer.file.Release();
  return ok;
}

bool TransformJpegMemory(JpegTransformer& transformer, const uint8_t* data, size_t size,
                         PixelBlock& output, size_t& produced) {
  Start(transformer);
  produced = 0;
  if (data == nullptr || size == 0) {
    transformer.error = CodecError::Truncated;
    return false;
  }
  return Transform(transformer, data, size, nullptr, &output, produced);
}

}  // namespace pixlane
