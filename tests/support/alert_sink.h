// Test helper: records alerts instead of showing them, for as long as it lives.
#pragma once
#include <string>
#include <vector>

#include "foundation/alert.h"

struct recorded_alert {
  std::string l1, l2, l3, l4;
  int type;
  std::string file;
  int line;
};

class AlertSink {
 public:
  AlertSink();
  ~AlertSink();
  AlertSink(const AlertSink&) = delete;
  AlertSink& operator=(const AlertSink&) = delete;

  std::vector<recorded_alert> alerts() const;
  size_t count() const;
  void clear();

 private:
  alert_hook_fn previous_;
};
