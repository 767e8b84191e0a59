// Languages: text folders, the string table setup, and the modal three-way question that is
// built from string-table texts.
#include "shell/lang.h"

#include "foundation/records.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "shell/hl_mnw.h"
#include "shell/menus.h"
#include "widgets/butn.h"

std::string ZARIRU_text_folder(int language) {
  static const char* const kFolders[] = {"text/english/", "text/french/", "text/german/", "text/italian/",
                                         "text/spanish/", "text/portugese/", "text/korean/"};
  if (language < 0 || language > 6) return "";
  return kFolders[language];
}

void ZARIRU_setupforlang() {
  // The folder is formed for the language, but this program reads no text files from it.
  std::string folder = ZARIRU_text_folder(mnw.language);
  (void)folder;
}

int ZARIRU_nuke_alert(std::string name, int third) {
  ZARIRU_startwind(996, 0);
  while (mnw.wind_id == 996) {
    std::string msg = stls[611] + name + " " + stls[612];
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    OGL_string(43, 20, mnw.wind_h - 40, msg, mnw.wind_w - 40, charset_UI_diff_space, 0);
    const std::string& a = stls[608];
    if (BTN_action(20 + menu_dx_latin(a) / 2, 60, 0, 0, 1, a, "-")) {
      ZARIRU_startwind(0, 0);
      return 1;
    }
    const std::string& b = stls[609];
    if (BTN_action(20 + menu_dx_latin(b) / 2, 25, 0, 0, 1, b, "-")) {
      ZARIRU_startwind(0, 0);
      return 2;
    }
    if (third) {
      const std::string& c = stls[610];
      if (BTN_action(mnw.wind_w - 20 - menu_dx_latin(c) / 2, 25, 0, 0, 1, c, "-")) {
        ZARIRU_startwind(0, 0);
        return 3;
      }
    }
    ZARIRU_event_proc();
  }
  return 3;
}
