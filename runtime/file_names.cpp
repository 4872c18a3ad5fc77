// File-name helpers; a missing separator asks for one byte more than the text has, which
// TextRight answers with the whole text.
#include "runtime/file_names.h"

namespace {

Text AfterLast(const Text& text, const Text& mark) {
  const int length = static_cast<int>(text.size());
  return TextRight(text, length - FindTextReverse(text, mark));
}

}  // namespace

Text GetFileName(const Text& path) { return AfterLast(path, "\\"); }

Text GetFileExtension(const Text& name) { return AfterLast(name, "."); }

Text LastPathComponent(const Text& path) {
  const int backslash = FindTextReverse(path, "\\");
  const int slash = FindTextReverse(path, "/");
  const int last = backslash > slash ? backslash : slash;
  if (last < 1) return path;
  return TextRight(path, static_cast<int>(path.size()) - last);
}

Text FileNameExtension(const Text& path) {
  const Text name = LastPathComponent(path);
  if (FindText(name, ".") < 0) return "";
  return GetFileExtension(name);
}
