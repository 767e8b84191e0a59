// The movie recorder: the main thread copies each recorded frame out of the window (through a
// pixel-pack buffer when it can, so it never waits for the copy) and hands it to the compressor
// thread, which encodes it and appends it to the take. Three frame records circulate between
// the two threads so that copying and compressing overlap.
#include "movie/qtim.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/nedmalloc.h"
#include "foundation/records.h"
#include "foundation/threads.h"
#include "foundation/worker_pool.h"
#include "foundation/xtim.h"
#include "movie/jpeg_frame.h"
#include "movie/mov_writer.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "ogl/text.h"
#include "tex/scratch.h"
#include "tex/tman.h"

qtim_class qtim;
MOV_test_view mov_test_view;

namespace {
const char kSrc[] = "DUdurid/OOPS_cpp/qtim";
constexpr int kMaxWindow = 2048;  // texture 409's size, and the largest window recorded
constexpr int kRecords = 3;

// The message between the threads.
struct frame_rec {
  float dt = 0;                     // seconds the frame is shown
  unsigned char* pixels = nullptr;  // width x height x 4 bytes, A R G B, top row first
  int size = 0;                     // bytes in pixels
};

UTL_message_queue* q_to_thread = nullptr;
UTL_message_queue* q_from_thread = nullptr;
std::vector<frame_rec*> usable_buffers;  // owned by the main thread
int records_out = 0;                     // records with the compressor thread
UTL_thread_t qt_thread, qt_thread_id, qt_thread_join;
int qt_thread_made = 0;
std::atomic<int> control_value{0};
float start_mov_time = 0, prev_frame_time = 0;
int at_exit_set = 0;

// The take in progress. The compressor thread uses `take` and the frame size between the
// start and the stop; the queues order those uses with the main thread's.
MOV_writer* take = nullptr;
MOV_sample_clock take_clock;
int take_w = 0, take_h = 0;

// Pixel-pack buffer of the asynchronous read-back.
GLuint pbo_id = 0;
int use_pbo = 0;
int pbo_has_data = 0;
float pbo_dt = 0;

// A failure of the compressor thread, handed back to the main thread, which raises it.
struct thread_failure_t {
  std::string message, path, detail;
  int error = 0;
};
thread_failure_t thread_failure;
std::atomic<int> take_failed{0};

void fail_on_thread(std::string message, std::string path, std::string detail, int error) {
  if (take_failed.load(std::memory_order_relaxed)) return;
  thread_failure = thread_failure_t{std::move(message), std::move(path), std::move(detail), error};
  take_failed.store(1, std::memory_order_release);
}

size_t frame_bytes() { return size_t(take_w) * size_t(take_h) * 4; }

void take_back(frame_rec* r) {
  usable_buffers.push_back(r);
  records_out -= 1;
  qtim.frames_done += 1;
}

// Non-blocking: every record the thread has returned.
void drain_returns() {
  while (void* item = UTL_message_queue_read(q_from_thread, 0)) take_back(static_cast<frame_rec*>(item));
}

void send(frame_rec* r) {
  usable_buffers.erase(std::find(usable_buffers.begin(), usable_buffers.end(), r));
  records_out += 1;
  UTL_message_queue_write(q_to_thread, r);
}

void free_records() {
  for (frame_rec* r : usable_buffers) {
    nedfree(r->pixels);
    delete r;
  }
  usable_buffers.clear();
}

// Reads width x height pixels at the window's origin into dst (or, with a pixel-pack buffer
// bound, into the buffer).
void read_pixels(void* dst) {
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, take_w, take_h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8, dst);
}

void collect_pbo(frame_rec* r) {
  glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
  glExt.glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0, GLsizeiptrARB(frame_bytes()), r->pixels);
  glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  r->dt = pbo_dt;
  pbo_has_data = 0;
}

// Copies the window into texture 409, shows the frame with the recording label, then draws the
// copy back at the movie's size, upside down, so that a read from the origin gives the top row
// first.
void capture_window() {
  const tman_class::ref_dat_struct& t = tman.ref_dat[t_QT_movie];
  const int tex_w = std::max(1, int(t.tex_dx)), tex_h = std::max(1, int(t.tex_dy));
  const int cw = std::clamp(mnw.scr_w, 0, std::min(kMaxWindow, tex_w));
  const int ch = std::clamp(mnw.scr_h, 0, std::min(kMaxWindow, tex_h));
  OGL_setstate(fog_fals, 1, lit_fals, al_none, deR_fals, deW_fals);
  tman.bind_ref(t_QT_movie, 0, 0);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, cw, ch);
  qtim.draw_record_lgt();
  OGL_sbuff();

  OGL_setstate(fog_fals, 1, lit_fals, al_none, deR_fals, deW_fals);
  tman.bind_ref(t_QT_movie, 0, 0);
  glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, mnw.scr_w, mnw.scr_h);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, mnw.scr_w, 0, mnw.scr_h, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const float s = float(cw) / float(tex_w), tt = float(ch) / float(tex_h);
  const float w = float(take_w), h = float(take_h);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, tt);
  glVertex2f(0, 0);
  glTexCoord2f(s, tt);
  glVertex2f(w, 0);
  glTexCoord2f(s, 0);
  glVertex2f(w, h);
  glTexCoord2f(0, 0);
  glVertex2f(0, h);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

// Encodes one record and appends it to the take (compressor thread).
void compress_one(MOV_jpeg_encoder*& enc, frame_rec* r) {
  if (!take || take_failed.load(std::memory_order_acquire)) return;
  try {
    if (!enc) enc = new MOV_jpeg_encoder;
    if (!enc->encode(r->pixels, take_w, take_h, MOV_jpeg_quality(kMovSpatialQuality))) {
      fail_on_thread("Could not CompressSequenceFrame.", "The JPEG encoder said: " + enc->error(),
                     "(CompressSequenceBegin failed.)", -1);
      return;
    }
    int err = take->add_sample(enc->data(), enc->size(), take_clock.next(r->dt));
    if (err) fail_on_thread("Could not AddMediaSample.", take->path(), "AddMediaSample failed.", err);
  } catch (const std::bad_alloc&) {
    fail_on_thread("Could not CompressSequenceFrame.", "", "(out of memory)", ENOMEM);
  }
}

// Ends the take: the frame still in the pixel-pack buffer (when OpenGL may be used) and every
// frame with the compressor thread go into it; a take without frames leaves no file. Returns
// with mode 0; a failure then raises the recorder's fatal alert, after what was whole before
// it was kept as a playable take.
void finish_take(bool gl) {
  if (gl && use_pbo && pbo_has_data && take && !take_failed.load()) {
    while (usable_buffers.empty() && records_out > 0)
      take_back(static_cast<frame_rec*>(UTL_message_queue_read(q_from_thread, -1)));
    frame_rec* r = usable_buffers.front();
    collect_pbo(r);
    send(r);
  }
  pbo_has_data = 0;
  if (qt_thread_made) {
    control_value = 1;
    UTL_message_queue_write(q_to_thread, nullptr);
    while (void* item = UTL_message_queue_read(q_from_thread, -1)) take_back(static_cast<frame_rec*>(item));
  }
  if (gl && pbo_id) glExt.glDeleteBuffersARB(1, &pbo_id);
  pbo_id = 0;
  use_pbo = 0;
  qtim.mode = mov_off;

  MOV_writer* w = take;
  take = nullptr;
  if (!w) return;
  std::string path = w->path();
  if (take_failed.load(std::memory_order_acquire)) {
    w->finish();  // fails again with the same error, keeping the whole fragments
    delete w;
    thread_failure_t f = thread_failure;
    take_failed = 0;
    if (gl) mov_alert(f.message, f.path, f.detail.c_str(), f.error);
    else std::fprintf(stderr, "%s %s %s %d\n", f.message.c_str(), f.path.c_str(), f.detail.c_str(), f.error);
    return;
  }
  int err = 0;
  if (w->sample_count() > 0) err = w->finish();
  delete w;  // removes the file unless finish() completed it
  if (err) {
    if (gl) mov_alert("Could not AddMovieResource.", path, "(AddMovieResource failed.)", err);
    else std::fprintf(stderr, "Could not AddMovieResource. %s %d\n", path.c_str(), err);
  }
}

// At exit (a quit, a fatal alert, or exit() anywhere): the take in progress is finished, so that
// its last second is not lost. The window may be gone: no OpenGL here.
void end_thread() {
  if (!qt_thread_made) return;
  control_value = 0;
  UTL_message_queue_write(q_to_thread, nullptr);
  UTL_thread_join(&qt_thread, &qt_thread_join);
  UTL_message_queue_destroy(q_to_thread);
  UTL_message_queue_destroy(q_from_thread);
  q_to_thread = q_from_thread = nullptr;
  qt_thread_made = 0;
}

void mov_at_exit() {
  if (qtim.mode != mov_off) finish_take(false);
  end_thread();
  free_records();
}
}  // namespace

std::string MOV_take_name(int n) { return "Volarium movie take-" + std::to_string(n) + ".mov"; }

void mov_alert(std::string message, std::string path, const char* detail, int error) {
  char num[16];
  int_to_str(error, num, 1, 1);
  __ZARIRU_alert(0, message, path, detail ? detail : "", num, t_exit, kSrc, 86);
}

qtim_class::qtim_class() = default;  // nothing to enter: the writer and encoder are our own
qtim_class::~qtim_class() = default;

int qtim_mov_per_frame() { return qtim.mov_per_frame(); }

int qtim_class::mov_per_frame() {
  switch (mode.load()) {
    case mov_to_file: return mov_add_frame();
    case mov_stop_asked: mov_toggle(0); return 0;
    default: return 0;
  }
}

void qtim_class::mov_toggle(int new_mode) {
  if (!qt_ok) return;
  OGL_setstate(fog_fals, 1, lit_fals, al_none, deR_fals, deW_fals);
  if (mode == mov_off) {
    if (new_mode == mov_off) return;
    mode = new_mode;
    scratch_dx = scratch_dy = kMaxWindow;
    tman.load_texture(tex_fail_fatal, t_QT_movie, tex_col_rgb | tex_no_effect, tex_loaded,
                      "scratch_array-t_QT_movie");
    mov_startrecord();
    if (mode == mov_off) tman.unload_texture(t_QT_movie);  // refused
  } else {
    mov_stoprecord();
    tman.unload_texture(t_QT_movie);
  }
}

void mov_startrecord() {
  if (!qt_thread_made) {
    UTL_message_queue_create(&q_to_thread);
    UTL_message_queue_create(&q_from_thread);
    // The compressor draws nothing, so it needs no OpenGL context of its own.
    THREAD_create(QT_Thread, nullptr, &qt_thread, &qt_thread_id, &qt_thread_join, 0);
    qt_thread_made = 1;
    if (!at_exit_set) {
      std::atexit(mov_at_exit);
      ZARIRU_set_fatal_exit_hook(mov_at_exit);  // a fatal alert skips the atexit handlers
    }
    at_exit_set = 1;
  }
  const int ww = mnw.scr_w, wh = mnw.scr_h;
  if (ww > kMaxWindow || wh > kMaxWindow) {
    __ZARIRU_alert(0, "Oops!", "You can NOT record movies in Volarium at any Volarium resolution higher that 2048 x 2048!",
                   "This limit is to keep the VRAM requirements of Volarium down.", "", t_alert, kSrc, 412);
    qtim.mode = mov_off;
    return;
  }
  if (ww <= 0 || wh <= 0) {
    qtim.mode = mov_off;
    return;
  }
  // A movie wider than the window would read outside it: take at most the window's width.
  take_w = std::clamp(qtim.width, 1, ww);
  take_h = std::max(1, wh * take_w / ww);
  qtim.height = take_h;

  if (qtim.mode == mov_to_file) {
    static int movie_take = 0;
    if (take) {
      __ZARIRU_alert(0, "Trying to create a movie but one already exists", take->path(), "", "",
                     t_alert, kSrc, 437);
      qtim.mode = mov_off;
      return;
    }
    MOV_writer* w = new MOV_writer;
    for (;;) {
      ++movie_take;
      std::string path = MOV_take_name(movie_take);
      // Free only when nothing at all has that name; a file that merely cannot be read is an
      // older take and is left alone.
      struct stat st;
      if (::lstat(path.c_str(), &st) == 0) continue;
      if (errno != ENOENT) {
        int err = errno;
        delete w;
        qtim.mode = mov_off;
        mov_alert("Could not CreateMovieFile to file: ", path, "(CreateMovieFile failed)", err);
        return;
      }
      int err = w->create(path, take_w, take_h);
      if (err == EEXIST) continue;  // taken since the check
      if (err) {
        delete w;
        qtim.mode = mov_off;
        mov_alert("Could not CreateMovieFile to file: ", path, "(CreateMovieFile failed)", err);
        return;
      }
      mov_test_view.last_take = path;
      break;
    }
    take = w;
  }
  qtim.frames_done = 0;
  take_failed = 0;
  take_clock = MOV_sample_clock{};
  start_mov_time = prev_frame_time = xtim.sim_time;

  free_records();
  for (int i = 0; i < kRecords; ++i) {
    frame_rec* r = new frame_rec;
    usable_buffers.push_back(r);
    r->size = int(frame_bytes());
    r->pixels = static_cast<unsigned char*>(nedmalloc(frame_bytes()));
    if (!r->pixels) {
      std::string path = take ? take->path() : "";
      delete take;
      take = nullptr;
      free_records();
      qtim.mode = mov_off;
      mov_alert("Could not NewGWorldFromPtr.", path, "(out of memory)", ENOMEM);
      return;
    }
  }
  records_out = 0;

  use_pbo = 0;
  pbo_has_data = 0;
  if (glExt.pbo_avail && glExt.vbo_avail && mnw.aa_got == 0 && !mov_test_view.pixel_buffers_off) {
    glExt.glGenBuffersARB(1, &pbo_id);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
    glExt.glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, GLsizeiptrARB(frame_bytes()), nullptr, GL_STREAM_READ_ARB);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    use_pbo = 1;
  }
  mov_test_view.pbo_name = use_pbo ? pbo_id : 0;
}

int qtim_class::mov_add_frame() {
  if (xtim.sim_time == start_mov_time) return 0;
  drain_returns();
  if (take_failed.load(std::memory_order_acquire)) {
    mov_toggle(0);  // raises the compressor's failure
    return 0;
  }
  const float period = 1.0f / fps;
  // Within half a time unit a frame is due: the clock's float sums drift by a few bits, and a
  // frame missed for that would be dropped.
  constexpr float kSlack = 0.5f / kMovTimeScale;
  float dt = xtim.sim_time - prev_frame_time;
  if (!usable_buffers.empty() && dt >= period - kSlack) {
    if (dt < 2.0f * period - kSlack) dt = period;  // a late frame counts as one period
    prev_frame_time += dt;
    frame_rec* r = usable_buffers.front();
    bool filled = false;
    if (use_pbo && pbo_has_data) {
      collect_pbo(r);
      filled = true;
    }
    capture_window();
    if (use_pbo) {
      glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_id);
      read_pixels(nullptr);
      glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);  // later reads go to memory again
      pbo_has_data = 1;
      pbo_dt = dt;
    } else {
      read_pixels(r->pixels);
      r->dt = dt;
      filled = true;
    }
    if (filled) send(r);
    return 1;
  }
  draw_record_lgt();
  OGL_sbuff();
  return 1;
}

void qtim_class::draw_record_lgt() {
  OGL_string(57, 10, 10, "Quicktime Movie Recording...", 0, charset_UI_diff_space, 0);
}

void mov_stoprecord() { finish_take(true); }

void MOV_wait_for_compressor() {
  while (qt_thread_made && records_out > 0)
    take_back(static_cast<frame_rec*>(UTL_message_queue_read(q_from_thread, -1)));
}

void qtim_class::stop_thread() {
  if (mode != mov_off) mov_stoprecord();
  end_thread();
}

void* QT_Thread(void*) {
  MOV_jpeg_encoder* enc = nullptr;
  for (;;) {
    void* item = UTL_message_queue_read(q_to_thread, -1);
    if (item) {
      compress_one(enc, static_cast<frame_rec*>(item));
      UTL_message_queue_write(q_from_thread, item);
      continue;
    }
    // A stop: every frame sent before it is in the take; the answer always comes.
    UTL_message_queue_write(q_from_thread, nullptr);
    if (control_value.load() == 0) break;
  }
  delete enc;
  return nullptr;
}
