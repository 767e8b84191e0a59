// Signs files on a few reader threads while the caller takes the results: a scan's in list order,
// so that it uses every core on fast storage and few readers where seeks cost, and an
// installation's as it unpacks them.
#include <algorithm>
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
  size_t next = 0;  // the first path no one has started
  bool stop = false;
  std::mutex lock;
  std::condition_variable work, finished;
};

engine_detail::file_signer::file_signer(std::vector<std::string> paths, int readers)
    : s_(std::make_unique<shared>()) {
  // Paths given at once need no more readers than there are paths.
  if (!paths.empty()) readers = std::min(readers, static_cast<int>(paths.size()));
  for (std::string& p : paths) add(std::move(p));
  // One reader means no thread at all: the caller signs each file as it asks for it.
  if (readers <= 1) return;
  for (int r = 0; r < readers; ++r)
    threads_.emplace_back([s = s_.get()] {
      std::unique_lock<std::mutex> hold(s->lock);
      for (;;) {
        s->work.wait(hold, [s] { return s->stop || s->next < s->paths.size(); });
        if (s->stop) return;
        const size_t i = s->next++;
        const std::string path = s->paths[i];
        hold.unlock();
        sign_one(*s, i, path);
        hold.lock();
      }
    });
}

size_t engine_detail::file_signer::add(std::string path) {
  std::lock_guard<std::mutex> hold(s_->lock);
  s_->paths.push_back(std::move(path));
  s_->sigs.emplace_back();
  s_->done.push_back(0);
  s_->work.notify_one();
  return s_->paths.size() - 1;
}

void engine_detail::file_signer::sign_one(shared& s, size_t i, const std::string& path) {
  // Marks the file done however this ends, even when the thread itself is ended on the way:
  // the caller never waits for a result that cannot come.
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
    r.sig = signature_on_disk(path);
  } catch (const std::exception&) {
  }
}

engine_detail::file_signer::~file_signer() {
  {
    std::lock_guard<std::mutex> hold(s_->lock);
    s_->stop = true;
  }
  s_->work.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool engine_detail::file_signer::ready(size_t i) {
  std::lock_guard<std::mutex> hold(s_->lock);
  return s_->done[i] != 0;
}

std::string engine_detail::file_signer::take(size_t i) {
  std::unique_lock<std::mutex> hold(s_->lock);
  // A file no reader has started is signed here, so the caller goes on even without readers.
  while (s_->next <= i) {
    const size_t j = s_->next++;
    const std::string path = s_->paths[j];
    hold.unlock();
    sign_one(*s_, j, path);
    hold.lock();
  }
  s_->finished.wait(hold, [&] { return s_->done[i] != 0; });
  return std::move(s_->sigs[i]);
}
