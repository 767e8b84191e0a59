// Failure records: an alert raised off the main thread is packed into an exce_class and handed
// to the main thread through two queues (fatal and warning), which the frame loop drains.
#pragma once
#include <string>

#include "foundation/threads.h"

class exce_class {
 public:
  exce_class();  // empty lines, file "no exception", line 0, severity 2
  exce_class(std::string l1, std::string l2, std::string l3, std::string l4, const char* file,
             int line, int severity);
  exce_class(const exce_class&) = default;
  exce_class& operator=(const exce_class&) = default;
  virtual ~exce_class();

  void MakeFatal() { severity = 2; }
  // Main thread: shows the record as an alert of its severity (type 2 does not return).
  // Worker thread: logs it, marks the program done, queues it as fatal and ends the thread.
  void Report();
  void LogAndContinue();

  std::string l1, l2, l3, l4;
  const char* file;  // static text, not owned
  int line;
  int severity;      // 0 language box, 1 alert, 2 fatal
};

extern UTL_message_queue* warn_exce;  // severity 1 records
extern UTL_message_queue* quit_exce;  // severity 2 records

// Queues a heap copy for the main thread. Severity 2 then ends the calling thread unless it is
// the main thread; any severity but 1 and 2 is dropped.
void THREAD_send_exception(const exce_class& rec);
// Reports every queued fatal record, then (all != 0) every queued warning, in sending order.
void THREAD_check_exception(int all);
