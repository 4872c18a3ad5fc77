// Window definitions by name. Registered at start-up, read by LoadWindow on the GUI thread.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ui/window_def.h"

namespace ui {
namespace {

struct Registry {
  std::mutex mutex;
  // Node-based map: a definition keeps its address while others are added.
  std::map<std::string, std::unique_ptr<WindowDef>> byName;
  // Replaced definitions stay alive: windows built from them point into them.
  std::vector<std::unique_ptr<WindowDef>> replaced;
};

Registry& Definitions() {
  static Registry* const registry = new Registry;
  return *registry;
}

}  // namespace

void RegisterWindowDefinition(const WindowDef& def) {
  Registry& registry = Definitions();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto& slot = registry.byName[def.name];
  if (slot) registry.replaced.push_back(std::move(slot));
  slot = std::make_unique<WindowDef>(def);
}

const WindowDef* FindWindowDefinition(const char* name) {
  if (name == nullptr) return nullptr;
  Registry& registry = Definitions();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.byName.find(name);
  return it == registry.byName.end() ? nullptr : it->second.get();
}

std::vector<const WindowDef*> AllWindowDefinitions() {
  Registry& registry = Definitions();
  std::lock_guard<std::mutex> lock(registry.mutex);
  std::vector<const WindowDef*> all;
  for (auto& [name, def] : registry.byName) all.push_back(def.get());
  return all;
}

}  // namespace ui
