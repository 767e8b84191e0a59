// Message queue hand-off: UTL_message_queue against a plain std::mutex + condition_variable
// queue, one producer and one consumer passing the same number of items, in the same run.
// Usage: bench_queue [items (500000)]
// Prints both times (best of three) and the ratio peer / ours: 1 or more means we are at
// least as fast. Also prints the cost of one frame-clock update.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "foundation/threads.h"
#include "foundation/xtim.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double run_ours(long items) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  auto t0 = Clock::now();
  std::thread consumer([&] {
    for (long i = 0; i < items; ++i) UTL_message_queue_read(q, -1);
  });
  for (long i = 1; i <= items; ++i) UTL_message_queue_write(q, reinterpret_cast<void*>(i));
  consumer.join();
  double t = seconds_since(t0);
  UTL_message_queue_destroy(q);
  return t;
}

double run_peer(long items) {
  std::mutex m;
  std::condition_variable cv;
  std::deque<void*> d;
  auto t0 = Clock::now();
  std::thread consumer([&] {
    for (long i = 0; i < items; ++i) {
      std::unique_lock<std::mutex> hold(m);
      cv.wait(hold, [&] { return !d.empty(); });
      d.pop_front();
    }
  });
  for (long i = 1; i <= items; ++i) {
    {
      std::lock_guard<std::mutex> hold(m);
      d.push_back(reinterpret_cast<void*>(i));
    }
    cv.notify_one();
  }
  consumer.join();
  return seconds_since(t0);
}

}  // namespace

int main(int argc, char** argv) {
  long items = argc > 1 ? std::atol(argv[1]) : 500000;
  if (items < 1) items = 1;
  double ours = 1e9, peer = 1e9;
  for (int round = 0; round < 3; ++round) {
    ours = std::min(ours, run_ours(items));
    peer = std::min(peer, run_peer(items));
  }
  std::printf("queue hand-off of %ld items: ours %.3f s, std peer %.3f s, ratio peer/ours %.2f\n", items, ours,
              peer, peer / ours);

  const int frames = 1000000;
  auto t0 = Clock::now();
  for (int i = 0; i < frames; ++i) xtim.xtim_update();
  double per = seconds_since(t0) / frames;
  std::printf("frame clock update: %.1f ns per frame (%.4f%% of a 60 Hz frame)\n", per * 1e9, per * 60 * 100);
  return 0;
}
