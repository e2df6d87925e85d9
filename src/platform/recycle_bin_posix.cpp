// POSIX recycle bin: GIO's g_file_trash, which implements the freedesktop.org
// trash specification (home trash or the per-mount .Trash folders).
#include <gio/gio.h>

#include "platform/recycle_bin.h"
#include "platform/text.h"

namespace pixlane {

bool MoveToRecycleBin(std::u16string_view path) {
  const std::string native = Utf16ToUtf8(path);
  GFile* file = g_file_new_for_path(native.c_str());
  GError* error = nullptr;
  const gboolean ok = g_file_trash(file, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  g_object_unref(file);
  return ok != FALSE;
}

}  // namespace pixlane
