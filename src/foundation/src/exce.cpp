// Failure records and their hand-off from worker threads to the main thread, which shows
// them once per frame: every fatal record first, then the warnings.
#include "foundation/exce.h"

#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/worker_pool.h"

UTL_message_queue* warn_exce = nullptr;
UTL_message_queue* quit_exce = nullptr;

exce_class::exce_class() : file("no exception"), line(0), severity(2) {}

exce_class::exce_class(std::string a, std::string b, std::string c, std::string d, const char* f,
                       int ln, int sev)
    : l1(std::move(a)), l2(std::move(b)), l3(std::move(c)), l4(std::move(d)), file(f), line(ln), severity(sev) {}

exce_class::~exce_class() = default;

void exce_class::Report() {
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    xer_line("EXCEPTION REPORTED FROM THREAD!!  File: " + std::string(file ? file : "") + ", line " +
             std::to_string(line) + ".\n" + l1 + "\n" + l2 + "\n" + l3 + "\n" + l4 + "\n");
    app_done = 1;
    // Shutting down from here would join this very thread: hand the record to the main
    // thread as fatal instead, which ends this thread.
    exce_class fatal(*this);
    fatal.MakeFatal();
    THREAD_send_exception(fatal);
    return;
  }
  __ZARIRU_alert(0, l1, l2, l3, l4, severity, file, line);
}

void exce_class::LogAndContinue() {
  xer_line(std::string("Logging ") + (severity == 0 ? "non-fatal" : "fatal") +
           " Exception thrown from file: " + (file ? file : "") + ", line " + std::to_string(line) + ".\n" +
           l1 + "\n" + l2 + "\n" + l3 + "\n" + l4 + "\n");
}

void THREAD_send_exception(const exce_class& rec) {
  if (rec.severity != 1 && rec.severity != 2) return;
  UTL_message_queue* q = rec.severity == 1 ? warn_exce : quit_exce;
  if (!q) {
    // No worker machinery: nobody would drain a queue, so show it here.
    __ZARIRU_alert(0, rec.l1, rec.l2, rec.l3, rec.l4, rec.severity, rec.file, rec.line);
    return;
  }
  UTL_message_queue_write(q, new exce_class(rec));
  if (rec.severity == 2 && !THREAD_is_main_thread()) UTL_thread_exit(nullptr);
}

void THREAD_check_exception(int all) {
  if (!quit_exce) return;
  while (exce_class* rec = static_cast<exce_class*>(UTL_message_queue_read(quit_exce, 0))) {
    rec->Report();
    delete rec;
  }
  if (!all || !warn_exce) return;
  while (exce_class* rec = static_cast<exce_class*>(UTL_message_queue_read(warn_exce, 0))) {
    rec->Report();
    delete rec;
  }
}
