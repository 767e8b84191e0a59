// The recording Mac metadata store used by tests: keeps each item's metadata in memory.
#include "platform/mac_meta.h"

mac_meta_recorder::mac_meta_recorder() : previous_(mac_meta_install(this)) {}

mac_meta_recorder::~mac_meta_recorder() { mac_meta_install(previous_); }

int mac_meta_recorder::write(const std::string& path, const mac_meta_data& data, std::string*) {
  mac_meta_data& item = items_[path];
  if (data.has_finder_info) {
    item.has_finder_info = true;
    item.finder = data.finder;
  }
  if (!data.fork.empty()) item.fork = data.fork;
  writes_.push_back(path);
  return 0;
}

bool mac_meta_recorder::read(const std::string& path, mac_meta_data* data) {
  auto it = items_.find(path);
  if (it == items_.end()) return false;
  if (data) *data = it->second;
  return true;
}
