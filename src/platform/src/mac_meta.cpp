// The system's Mac metadata store: Linux has no resource forks or Finder information, so what an
// archive carries is dropped and described in one line for the log; nothing is ever read.
#include "platform/mac_meta.h"

namespace {

class linux_mac_meta : public mac_meta_store {
 public:
  int write(const std::string& path, const mac_meta_data& data, std::string* note) override {
    if (note) {
      *note = "Mac metadata dropped (no resource forks here): " + path;
      if (data.has_finder_info) *note += ", Finder info";
      if (!data.fork.empty()) *note += ", resource fork of " + std::to_string(data.fork.size()) + " bytes";
    }
    return 0;
  }
  bool read(const std::string&, mac_meta_data*) override { return false; }
  bool keeps_forks() const override { return false; }
};

linux_mac_meta system_store;
mac_meta_store* current = &system_store;

}  // namespace

mac_meta_store& mac_meta() { return *current; }

mac_meta_store* mac_meta_install(mac_meta_store* store) {
  mac_meta_store* before = current;
  current = store ? store : &system_store;
  return before;
}
