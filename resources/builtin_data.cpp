// The built-in data files, embedded at build time from resources/data/.
#include <cstddef>

#include "resources/resources.h"

extern const unsigned char embedded_tray_icon[];
extern const std::size_t embedded_tray_icon_size;
extern const unsigned char embedded_search_button[];
extern const std::size_t embedded_search_button_size;
extern const unsigned char embedded_skin[];
extern const std::size_t embedded_skin_size;
extern const unsigned char embedded_empty_database[];
extern const std::size_t embedded_empty_database_size;

namespace {

Bytes Copy(const unsigned char* data, std::size_t size) { return Bytes(data, data + size); }

}  // namespace

const Bytes& TrayIconImage() {
  static const Bytes bytes = Copy(embedded_tray_icon, embedded_tray_icon_size);
  return bytes;
}

const Bytes& SearchButtonImage() {
  static const Bytes bytes = Copy(embedded_search_button, embedded_search_button_size);
  return bytes;
}

const Bytes& SkinImage() {
  static const Bytes bytes = Copy(embedded_skin, embedded_skin_size);
  return bytes;
}

const Bytes& EmptyDatabaseTemplate() {
  static const Bytes bytes = Copy(embedded_empty_database, embedded_empty_database_size);
  return bytes;
}
