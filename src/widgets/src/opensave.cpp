// The toolkit's own open and save dialog: a modal loop of whole shell frames in sub-window 998
// or 999, listing one folder with the scrolling list, a staircase and pop-up of the folder's
// levels, and a preview of comment and aircraft files.
#include "widgets/opensave.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "btn_draw.h"
#include "files/inside.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "foundation/xtim.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "tex/tman.h"
#include "widgets/butn.h"
#include "widgets/choices.h"
#include "widgets/latin1.h"
#include "widgets/list.h"
#include "widgets/shell_hooks.h"

namespace {

struct type_row {
  const char* folder;
  const char* ext;
};
const type_row kTypeRows[BTN_file_types] = {
    {"", ""},     {"", ""},     {"", ".BMP"}, {"", ".ACF"}, {"", ".AFL"}, {"", ".WPN"},
    {"", ".WAV"}, {"", ".OBJ"}, {"", ""},     {"Output/situations/", ".SIT"},
    {"Output/movies/", ".SMO"}, {"Output/FMS plans/", ".FMS"}, {"", ""},
    {"Rollavia Output/tracks/", ".TRA"}, {"Rollavia Output/cars/", ".CAR"},
    {"Starfray Reosources/spaceships/", ".SPA"}, {"Starfray Resources/regions/", ".REG"},
    {"", ""},     {"", ".HGT"}, {"", ".TXT"}, {"sim/", ""}, {"sim/", ""}};

constexpr int kTexIcon = 408;
constexpr int kCancelLabel = 606;
const int kFdrVersions[] = {1, 0};
const int kVehVersions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};

// Offsets of the aircraft file's four preview texts, in drawing order; each field ends where the
// next one (in file order) begins.
const size_t kVehTexts[] = {1552, 1052, 2052, 1012};
const size_t kVehFieldEnds[] = {1012, 1052, 1552, 2052, BTN_aircraft_top};

bool refused_by_reader(const std::string& path) {
  // The data-file reader ends the program on a "\" in a path; a legal name must not.
  if (path.find('\\') == std::string::npos) return false;
  xer_line("No preview for a name holding a backslash: " + path + "\n");
  return true;
}

bool iequals(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string name_shown(int i, void* ref) {
  return BTN_utf8_to_latin1((*static_cast<std::vector<std::string>*>(ref))[static_cast<size_t>(i)]);
}

// The folder above folder ("" stays "").
std::string folder_up(const std::string& folder) {
  if (folder.empty()) return folder;
  const size_t cut = folder.size() >= 2 ? folder.find_last_of('/', folder.size() - 2) : std::string::npos;
  return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
}

// Statics of the preview: the path previewed last frame and what was read for it.
std::string g_old_path;
std::string g_comment;
unsigned char g_top_of_veh[BTN_aircraft_top];
int g_has_tex = 0;

void aircraft_preview(const std::string& preview_path) {
  if (preview_path != g_old_path) {
    BTN_read_aircraft_top(preview_path, g_top_of_veh);
    std::string icon = preview_path;
    if (icon.size() >= 4 && icon[icon.size() - 4] == '.') icon.resize(icon.size() - 4);
    icon += "_icon.png";
    // A missing icon is silent: it loads nothing, so it is not asked for at all.
    g_has_tex = !refused_by_reader(icon) && file_exists(icon)
                    ? tman.load_texture(tex_fail_silent, kTexIcon, 1297, tex_loaded, icon)
                    : 0;
  }
  float y = 405;
  for (const std::string& t : BTN_aircraft_texts(g_top_of_veh))
    y = btn_draw::text_y(47, 341, y, t, 200, charset_UI_diff_space, 0) - 10;
  if (g_has_tex) {
    float fx = 1, fy = 1;
    if (kTexIcon < static_cast<int>(tman.ref_dat.size())) {
      const tman_class::ref_dat_struct& r = tman.ref_dat[kTexIcon];
      if (r.tex_dx > 0 && r.tex_dy > 0) {
        fx = r.image_dx / r.tex_dx;
        fy = r.image_dy / r.tex_dy;
      }
    }
    const float k = 1.0f / btn_draw::sheet_scale(kTexIcon);
    btn_draw::begin(kTexIcon, 49);
    btn_draw::piece(341, 80, 541, 280, 0, 0, fx * k, fy * k);
    btn_draw::end();
  }
}

// The folder a dialog shows, read on entry and again when its time stamp moves. A stamp is as
// coarse as the file system's clock (a tick; whole seconds on some, whose stamps then carry no
// nanoseconds), so a change in the tick of a read leaves it as it was: while the stamp is younger
// than a tick at the read, the folder is read again, every frame (a few times a second on the
// coarse ones).
struct dialog_listing {
  static constexpr int64_t kTick = 20000000, kCoarseTick = 2000000000;  // ns
  std::string folder;
  int file_type = 0;
  std::vector<std::string> names;
  std::vector<int> types;
  int count = 0;
  int64_t stamp = 0, read_at = 0;  // ns since the epoch

  void read() {
    stamp = folder_stamp(folder);
    read_at = std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::system_clock::now().time_since_epoch()).count();
    count = opensave_getitems(folder, file_type, names, types);
  }
  // Reads the folder again when it may have changed since; true when it did.
  bool refresh() {
    const bool coarse = stamp % 1000000000 == 0;
    const int64_t age = read_at - stamp;
    const bool unsettled = age >= 0 && age < (coarse ? kCoarseTick : kTick);
    if (folder_stamp(folder) == stamp && !(unsettled && (!coarse || xtim.act_tick[tick_5hz]))) return false;
    read();
    return true;
  }
};

// Whether the dialog may return `path` (folder + the typed name) to be saved; note says why not.
// An existing file is returned only when the user agrees to replace it.
bool may_save(const std::string& folder, const std::string& path, std::string* note) {
  if (path.empty()) {
    *note = "That name cannot be saved.";
    return false;
  }
  const std::string name = path.substr(folder.size());
  switch (save_place_of(folder, name)) {
    case save_place_free: return true;
    case save_place_folder: *note = "A folder has that name."; return false;
    case save_place_outside: *note = "That link leads out of this folder."; return false;
    case save_place_too_long: *note = "That path is too long."; return false;
    case save_place_file: break;
  }
  const std::string question = "\"" + name + "\" already exists. Do you want to replace it?";
  if (BTN_confirm(question.c_str(), "Replace", "Cancel")) return true;
  note->clear();
  return false;
}

}  // namespace

const char* BTN_type_folder(int file_type) {
  return file_type >= 0 && file_type < BTN_file_types ? kTypeRows[file_type].folder : "";
}

const char* BTN_type_extension(int file_type) {
  return file_type >= 0 && file_type < BTN_file_types ? kTypeRows[file_type].ext : "";
}

std::string BTN_dialog_start_folder(const std::string& path, int file_type) {
  if (path.empty()) return BTN_type_folder(file_type);
  // The parent of a path is the folder above its last name.
  return folder_up(path);
}

std::string BTN_save_path(const std::string& folder, const std::string& typed, int file_type) {
  std::string name = typed;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return "";
  const std::string ext = BTN_type_extension(file_type);
  if (!ext.empty()) {
    if (name.size() > 4 && name[name.size() - 4] == '.') name.resize(name.size() - 4);
    name += ext;
  }
  return folder + BTN_latin1_to_utf8(name);
}

std::vector<std::string> BTN_folder_prefixes(const std::string& folder) {
  std::vector<std::string> out{std::string()};
  for (size_t p = folder.find('/'); p != std::string::npos && out.size() < BTN_folder_levels;
       p = folder.find('/', p + 1))
    out.push_back(folder.substr(0, p + 1));
  return out;
}

std::string BTN_folder_shown(const std::string& name) {
  std::string s = BTN_utf8_to_latin1(name);
  // '-' separates the pop-up's rows and '|' is refused in them.
  for (char& c : s)
    if (c == '-' || c == '|') c = ' ';
  return s;
}

namespace {
// The names of a folder path's levels (as many as the pop-up holds).
std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t p = folder.find('/'); p != std::string::npos && out.size() + 1 < BTN_folder_levels;
       p = folder.find('/', p + 1)) {
    out.push_back(folder.substr(start, p - start));
    start = p + 1;
  }
  return out;
}
}  // namespace

std::string BTN_folder_popup_items(const std::string& folder) {
  std::string items = "Volsuite folder";
  for (const std::string& n : folder_names(folder)) items += "-" + BTN_folder_shown(n);
  return items;
}

std::string BTN_read_fdr_comment(const std::string& path) {
  if (refused_by_reader(path)) return "";
  xmap_class m(path);
  if (!m.begin || !m.check_file(TFH_TEXT, kFdrVersions, nullptr, nullptr)) return "";
  while (m.cursor < m.end) {
    m.TXT_skip_space();
    const char* t = m.cursor;
    while (m.cursor < m.end && *m.cursor != ',' && !xmap_class::is_eoln(*m.cursor)) ++m.cursor;
    const std::string token(t, static_cast<size_t>(m.cursor - t));
    if (m.cursor < m.end && *m.cursor == ',') {
      ++m.cursor;
      if (iequals(token, "COMM")) {
        m.TXT_skip_space();
        const char* c = m.cursor;
        while (m.cursor < m.end && !xmap_class::is_eoln(*m.cursor)) ++m.cursor;
        return std::string(c, static_cast<size_t>(m.cursor - c));
      }
    }
    // One record a line: the token's line end is this line's, not the next.
    while (m.cursor < m.end && !xmap_class::is_eoln(*m.cursor)) ++m.cursor;
    while (m.cursor < m.end && xmap_class::is_eoln(*m.cursor)) ++m.cursor;
  }
  return "";
}

int BTN_read_aircraft_top(const std::string& path, unsigned char* top) {
  std::memset(top, 0, BTN_aircraft_top);
  if (refused_by_reader(path)) return 0;
  xmap_class m(path);
  if (!m.begin || !m.check_file(TFH_BINARY, kVehVersions, nullptr, nullptr)) return 0;
  // A short file gives what it has; the rest stays zero.
  const size_t have = static_cast<size_t>(m.end - m.cursor);
  m.read_n_rev(top, static_cast<long>(std::min(have, BTN_aircraft_top)));
  return 1;
}

std::vector<std::string> BTN_aircraft_texts(const unsigned char* top) {
  std::vector<std::string> out;
  for (size_t at : kVehTexts) {
    size_t end = BTN_aircraft_top;
    for (size_t e : kVehFieldEnds)
      if (e > at) {
        end = e;
        break;
      }
    const char* s = reinterpret_cast<const char*>(top + at);
    out.emplace_back(s, strnlen(s, end - at));
  }
  return out;
}

void stand_io_dialog(int open_save, int file_type, std::string preview_path) {
  if (!btn_draw::to_sink()) OGL_plot_back_col();
  BTN_fillwin(1, 21);
  BTN_frame2(15, 10, 300, io_dx, 120, "");
  if (open_save == BTN_dialog_open && (file_type == 3 || file_type == 8 || file_type == 20)) {
    BTN_frame2(15, 331, 70, 220, 220, "");
    BTN_frame2(15, 331, 300, 220, 120, "");
    if (file_type == 8 && preview_path.find(".fdr") != std::string::npos) {
      if (preview_path != g_old_path) g_comment = BTN_read_fdr_comment(preview_path);
      if (!g_comment.empty()) btn_draw::text_y(47, 341, 270, g_comment, 200, charset_UI_diff_space, 0);
    }
    if (file_type == 3 &&
        (preview_path.find(".acf") != std::string::npos || preview_path.find(".ACF") != std::string::npos))
      aircraft_preview(preview_path);
  }
  g_old_path = preview_path;
}

int BTN_opensave(int open_save, int file_type, std::string* path) {
  if (open_save != BTN_dialog_open && open_save != BTN_dialog_save)
    __ZARIRU_alert(0, "Bad open_save arg to BTN_opensave!", "", "", "", t_exit, kButnUnit, 1207);
  if (file_type < 0 || file_type >= BTN_file_types)
    __ZARIRU_alert(0, "Bad file_type arg to BTN_opensave!", "", "", "", t_exit, kButnUnit, 1208);
  if (!BTN_get_shell_hooks().run_frame) {
    xer_line("The file dialog has no frame loop to run.\n");
    return 0;
  }
  const bool save = open_save == BTN_dialog_save;
  const int back = mnw.wind_id;
  dialog_listing list;
  list.file_type = file_type;
  int sel = 0, scroll = 0;
  // A folder opens with its middle item selected and the list centred on it.
  auto enter = [&](const std::string& folder) {
    list.folder = folder;
    list.read();
    sel = scroll = list.count / 2;
  };
  enter(BTN_dialog_start_folder(*path, file_type));
  std::string file_name, note, refused_name;
  static int level = 0;

  BTN_start_window(open_save, 0);
  // Keys of the frame that opened the dialog are not the dialog's.
  return_hit = escape_hit = delete_hit = 0;
  int result = 0;
  while (mnw.wind_id == open_save && !app_done) {
    const std::string& folder = list.folder;
    const std::string selected = sel >= 0 && sel < list.count ? list.names[static_cast<size_t>(sel)] : "";
    if (list.refresh()) {
      // The highlight stays on its name while that is still there.
      const auto it = std::find(list.names.begin(), list.names.end(), selected);
      if (it != list.names.end()) {
        const int now = static_cast<int>(it - list.names.begin());
        scroll += now - sel;
        sel = now;
      }
    }
    const int count = list.count;
    sel = count > 0 ? std::clamp(sel, 0, count - 1) : sel;
    stand_io_dialog(open_save, file_type, count > 0 ? folder + list.names[static_cast<size_t>(sel)] : "-");

    const int activated = BTN_list_and_search(0, 10, 180, 0, 0, &scroll, &sel, 0, count - 1,
                                              save ? &file_name : nullptr, "File:", name_shown, &list.names,
                                              nullptr, nullptr, BTN_type_from_vector, &list.types);
    if (file_name != refused_name) note.clear();
    if (!note.empty()) btn_draw::text(45, 45, 33, note, 9999, charset_UI_diff_space, 0);

    const std::vector<std::string> prefixes = BTN_folder_prefixes(folder);
    const std::vector<std::string> levels = folder_names(folder);
    // A deep folder's staircase stops at its panel instead of running over the list.
    btn_draw::scissors(10, 300, io_dx, 120);
    for (size_t k = 0; k < levels.size(); ++k) {
      const float ty = 405.0f - 10.0f * static_cast<float>(k);
      btn_draw::text_y(47, 435 - ty, ty, BTN_folder_shown(levels[k]), 9999, charset_UI_diff_space, 0);
    }
    btn_draw::scissors_end();
    level = static_cast<int>(prefixes.size()) - 1;

    const int act = save ? BTN_action(283, 18, 0, 0, 1, "Save", "-") : BTN_action(280, 18, 0, 0, 1, "Open", "-");
    if (BTN_action(33, 18, 0, 0, 1, stls[kCancelLabel], "-") || escape_hit) break;

    if (BTN_textlist(150, 434, &level, BTN_folder_popup_items(folder), "")) {
      enter(prefixes[static_cast<size_t>(std::clamp(level, 0, static_cast<int>(prefixes.size()) - 1))]);
      BTN_run_frame();
      continue;
    }

    if (save && (return_hit || act) && !file_name.empty()) {
      const std::string chosen = BTN_save_path(folder, file_name, file_type);
      if (may_save(folder, chosen, &note)) {
        *path = chosen;
        result = 1;
        break;
      }
      refused_name = file_name;
    }

    const bool valid = sel >= 0 && sel < count;
    if (activated || (!save && (return_hit || act))) {
      if (valid && list.types[static_cast<size_t>(sel)] == 1) {
        enter(folder + list.names[static_cast<size_t>(sel)] + "/");
      } else if (!save && valid) {
        *path = folder + list.names[static_cast<size_t>(sel)];
        result = 1;
        break;
      }
    }

    if (delete_hit && !list.folder.empty()) enter(folder_up(list.folder));

    BTN_run_frame();
  }
  BTN_start_window(back, 0);
  return result;
}
