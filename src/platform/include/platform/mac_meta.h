// Mac metadata kept beside a file's data: Finder information and the resource fork.
// Linux keeps neither, so the system's store drops what it is given (the caller logs the note);
// tests install a recording store so that archives still carry the metadata both ways.
// Stands for: the File Manager's Finder information (FSGetCatalogInfo / FSSetCatalogInfo) and
// resource forks (FSOpenFork on the resource fork).
// Implemented on Linux: a store that drops what it is given with a note for the log, and a
// recording store for tests.
// Missing: keeping either on disk (no extended attributes, no AppleDouble files are written).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Finder FileInfo in host byte order.
struct mac_finder_info {
  uint32_t type = 0;
  uint32_t creator = 0;
  uint16_t flags = 0;
  uint16_t loc_v = 0;
  uint16_t loc_h = 0;
  uint16_t reserved = 0;
  bool operator==(const mac_finder_info&) const = default;
};

struct mac_meta_data {
  bool has_finder_info = false;
  mac_finder_info finder;
  std::vector<uint8_t> fork;  // resource fork; empty when there is none
  bool operator==(const mac_meta_data&) const = default;
};

class mac_meta_store {
 public:
  virtual ~mac_meta_store() = default;
  // Gives the existing item at path what data holds. Returns 0 or an errno. When the system
  // keeps nothing of it, *note (if given) receives one line for the log.
  virtual int write(const std::string& path, const mac_meta_data& data, std::string* note) = 0;
  // Reads the item's metadata; false when it carries none.
  virtual bool read(const std::string& path, mac_meta_data* data) = 0;
  // False when resource forks are dropped: callers then need not hold a fork's bytes at all.
  virtual bool keeps_forks() const = 0;
};

// The store in use: the system's unless a test installed another.
mac_meta_store& mac_meta();
// Installs store (null restores the system's); returns the one installed before.
mac_meta_store* mac_meta_install(mac_meta_store* store);

// Keeps metadata in memory, keyed by the path exactly as given; every write is also logged in
// order. Installs itself for as long as it lives.
class mac_meta_recorder : public mac_meta_store {
 public:
  mac_meta_recorder();
  ~mac_meta_recorder() override;
  mac_meta_recorder(const mac_meta_recorder&) = delete;
  mac_meta_recorder& operator=(const mac_meta_recorder&) = delete;

  int write(const std::string& path, const mac_meta_data& data, std::string* note) override;
  bool read(const std::string& path, mac_meta_data* data) override;
  bool keeps_forks() const override { return true; }

  void set(const std::string& path, const mac_meta_data& data) { items_[path] = data; }
  const std::map<std::string, mac_meta_data>& items() const { return items_; }
  const std::vector<std::string>& writes() const { return writes_; }

 private:
  std::map<std::string, mac_meta_data> items_;
  std::vector<std::string> writes_;
  mac_meta_store* previous_;
};
