// The boundary of an image input plug-in (a `.spi` library): the exported
// functions with their argument types and the packed PictureInfo record,
// shared by the host's Win32 loader and by our own plug-ins. Written once for
// 32- and 64-bit Windows: exports use the Windows API calling convention;
// `long` is 32 bits in both widths; arguments that carry an address and the
// memory handles are pointer-sized; PictureInfo is 26 packed bytes in both.
// Text crosses the boundary as 8-bit strings in the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define PIXLANE_PLUGIN_CALL __stdcall
#else
#define PIXLANE_PLUGIN_CALL
#endif

namespace pixlane {

// Entry 0 of GetPluginInfo begins with these four characters in an input
// plug-in; entries 2, 4, … are file patterns ("*.pic;*.pi2"), entries 3, 5,
// … the format name of the pattern entry before them.
inline constexpr char kInputPluginVersion[4] = {'0', '0', 'I', 'N'};

// What GetPictureInfo fills. The information text handle is 32 bits wide in
// both widths (the record keeps its layout), so a 64-bit host cannot take a
// handle from it; plug-ins built for 64 bits leave it 0.
#pragma pack(push, 1)
struct PluginPictureInfo {
  int32_t left;
  int32_t top;
  uint32_t width;
  uint32_t height;
  uint16_t xDensity;
  uint16_t yDensity;
  int16_t colourDepth;  // bits per pixel as stored in the file
  uint32_t infoText;    // a global-memory handle of text, or 0
};
#pragma pack(pop)
static_assert(sizeof(PluginPictureInfo) == 26);
static_assert(offsetof(PluginPictureInfo, width) == 8);
static_assert(offsetof(PluginPictureInfo, xDensity) == 16);
static_assert(offsetof(PluginPictureInfo, colourDepth) == 20);
static_assert(offsetof(PluginPictureInfo, infoText) == 22);

// The interface's `long` (offsets, results): 32 bits on Windows in both
// widths; `unsigned long data` of IsSupported and `long userData` carry an
// address and are pointer-sized.
using PluginLong = int32_t;
using PluginAddress = uintptr_t;
using PluginUserData = intptr_t;
static_assert(sizeof(PluginAddress) == sizeof(void*));
static_assert(sizeof(PluginUserData) == sizeof(void*));

// Returns the number of bytes written, 0 when the entry does not exist.
using GetPluginInfoFunction = int(PIXLANE_PLUGIN_CALL*)(int infoNumber, char* buffer, int bufferLength);
// Non-zero when the plug-in reads the file; `data` is the address of a
// 2048-byte block holding the file's first bytes.
using IsSupportedFunction = int(PIXLANE_PLUGIN_CALL*)(char* fileName, PluginAddress data);
// 0 on success. `flags` 0: `fileName` names a file; `offset` leading bytes
// are skipped.
using GetPictureInfoFunction = int(PIXLANE_PLUGIN_CALL*)(char* fileName, PluginLong offset,
                                                         unsigned int flags, PluginPictureInfo* info);
// Answers 0 to go on; anything else asks the plug-in to stop.
using ProgressFunction = int(PIXLANE_PLUGIN_CALL*)(int done, int total, PluginUserData userData);
// 0 on success: `*bitmapInfo` is a local-memory handle holding a
// BITMAPINFO (header and palette), `*bitmapBits` one holding the rows,
// bottom-up, each padded to 4 bytes. The caller frees both (LocalFree).
using GetPictureFunction = int(PIXLANE_PLUGIN_CALL*)(char* fileName, PluginLong offset, unsigned int flags,
                                                     void** bitmapInfo, void** bitmapBits,
                                                     ProgressFunction progress, PluginUserData userData);
// Shows the plug-in's own dialog; function 1 is its settings dialog.
using ConfigurationDlgFunction = int(PIXLANE_PLUGIN_CALL*)(void* parentWindow, int function);

}  // namespace pixlane
