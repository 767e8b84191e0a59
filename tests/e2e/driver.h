// Runs the installer program in its window and drives it like a user: clicks through xdotool,
// looks at the window through screenshots. Every wait has a deadline.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// Output of a command run through the shell with a time limit (seconds).
std::string run(const std::string& cmd, int timeout_s = 20);
std::string quote(const std::string& s);
std::string read_text(const std::string& path);

// One screenshot of the window, RGB, rows top first.
struct shot {
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
  bool ok() const { return w > 0 && h > 0; }
  // Mean of each channel over a rectangle given in window pixels from the lower-left corner.
  void mean(int x, int y, int rw, int rh, double out[3]) const;
  // Mean absolute difference per channel over the rectangle, against another shot.
  double diff(const shot& o, int x, int y, int rw, int rh) const;
};

// A screenshot of the window with this X id; empty when it cannot be taken.
shot grab_window(const std::string& id);

// Polls cond every 100 ms until it holds or seconds have passed.
bool wait_for(double seconds, const std::function<bool()>& cond);

class installer_run {
 public:
  // Starts the program with args (argv[1..]) in a private home folder under home, with the
  // environment variables env added.
  installer_run(const std::string& binary, const std::vector<std::string>& args, const std::string& home,
                const std::vector<std::pair<std::string, std::string>>& env = {});
  ~installer_run();
  installer_run(const installer_run&) = delete;
  installer_run& operator=(const installer_run&) = delete;

  // The program's window, found by its process id; false when none shows in time.
  bool find_window(double seconds = 120);
  shot grab() const;
  // Saves the window as a PNG artefact.
  void save(const std::string& name) const;
  // A click at window pixels from the lower-left corner (y up, as the program draws).
  void click(int x, int y) const;
  // A key press (an X key name such as "Return") to the window, given the keyboard focus.
  void key(const std::string& name) const;
  // The log the program writes ("Log.txt" on the desktop of the private home).
  std::string log() const;
  // Waits for the program to end; its exit status, or -1 when it did not end in time (then it
  // is killed).
  int wait_exit(double seconds);
  bool running();
  // Asks the program to end, as the desktop does when its session closes.
  void terminate() const;
  std::string output() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string home_, window_;
};

// The build folder: $VOL_BUILD_DIR, else the one this test was built in.
std::string build_dir();
// Where the screenshots go.
std::string artefact_dir();

}  // namespace e2e
