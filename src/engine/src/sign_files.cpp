// Signs a scan's files on a few reader threads while the caller takes the results in list order,
// so the scan uses every core on fast storage and few readers where seeks cost.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "engine/file_list.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "foundation/threads.h"
#include "internal.h"
#include "platform/volume.h"

using namespace engine_detail;

int engine_detail::scan_reader_count(const std::string& dest) {
  const int cores = std::max(1, UTL_count_processors());
  switch (PLAT_volume_rotational(dest)) {
    case 1: return std::min(cores, 2);   // every extra reader adds a seek
    case 0: return std::min(cores, 16);  // solid-state or memory: hashing is the limit
    default: return std::min(cores, 4);
  }
}

std::string engine_detail::signature_on_disk(const std::string& path) {
  // Reader threads must never raise an alert: a path the file layer would refuse is a failure.
  if (path_problem(path) != 0) return kSigUnreadable;
  std::string sig = kSigNone;
  // "NONE" means absent: a file that is there but cannot be read counts as changed.
  if (calc_file_md5(path, sig) != 0 &&
      (file_exists(path) || dir_exists(path) || is_sim_link(path.c_str(), nullptr)))
    sig = kSigUnreadable;
  return sig;
}

struct engine_detail::file_signer::shared {
  std::vector<std::string> paths;
  std::vector<std::string> sigs;
  std::vector<char> done;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::condition_variable finished;
};

engine_detail::file_signer::file_signer(std::vector<std::string> paths, int readers)
    : s_(std::make_unique<shared>()) {
  s_->paths = std::move(paths);
  s_->sigs.resize(s_->paths.size());
  s_->done.assign(s_->paths.size(), 0);
  readers = std::clamp(readers, 1, static_cast<int>(std::max<size_t>(1, s_->paths.size())));
  // One reader means no thread at all: the caller signs each file as it asks for it.
  if (readers == 1) return;
  for (int r = 0; r < readers; ++r)
    threads_.emplace_back([s = s_.get()] {
      for (size_t i; !s->stop && (i = s->next++) < s->paths.size();) sign_one(*s, i);
    });
}

void engine_detail::file_signer::sign_one(shared& s, size_t i) {
  // Marks the file done however this ends, even when the thread itself is ended on the way:
  // the scan never waits for a result that cannot come.
  struct result {
    shared& s;
    size_t i;
    std::string sig = kSigUnreadable;
    ~result() {
      std::lock_guard<std::mutex> hold(s.lock);
      s.sigs[i] = std::move(sig);
      s.done[i] = 1;
      s.finished.notify_all();
    }
  } r{s, i};
  try {
    r.sig = signature_on_disk(s.paths[i]);
  } catch (const std::exception&) {
  }
}

engine_detail::file_signer::~file_signer() {
  s_->stop = true;
  for (std::thread& t : threads_) t.join();
}

std::string engine_detail::file_signer::take(size_t i) {
  if (threads_.empty()) return signature_on_disk(s_->paths[i]);
  // A file no reader has started is signed here, so the scan goes on even without readers.
  for (size_t j = s_->next.load(); j <= i;)
    if (s_->next.compare_exchange_weak(j, j + 1)) sign_one(*s_, j++);
  std::unique_lock<std::mutex> hold(s_->lock);
  s_->finished.wait(hold, [&] { return s_->done[i] != 0; });
  return std::move(s_->sigs[i]);
}
