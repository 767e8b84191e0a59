// Records alerts for tests; a fatal one is recorded and then ends the process as usual.
#include "alert_sink.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::vector<recorded_alert> g_alerts;

void record(int, std::string l1, std::string l2, std::string l3, std::string l4, int type,
            const char* file, int line) {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    g_alerts.push_back({l1, l2, l3, l4, type, file ? file : "", line});
  }
  if (type == t_exit) ZARIRU_default_alert(0, l1, l2, l3, l4, type, file, line);
}
}  // namespace

AlertSink::AlertSink() : previous_(ZARIRU_set_alert_hook(record)) { clear(); }
AlertSink::~AlertSink() { ZARIRU_set_alert_hook(previous_); }

std::vector<recorded_alert> AlertSink::alerts() const {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_alerts;
}
size_t AlertSink::count() const {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_alerts.size();
}
void AlertSink::clear() {
  std::lock_guard<std::mutex> hold(g_lock);
  g_alerts.clear();
}
