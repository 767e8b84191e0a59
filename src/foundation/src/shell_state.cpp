// Storage of the interface state shared by the shell and the layers it drives.
#include "foundation/shell_state.h"

int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;
int ogl_inited = 0;
int plot_init_lights = 0;

float randrat[10000] = {};
float lookup_sin[361] = {};
float lookup_cos[361] = {};

stls_struct stls;
std::vector<menu_struct> menu;

int active_popup_code = 0;
int popup_menu_select = 0;
int select_popup_code = 0;

float wx1 = 0, wy1 = 0;
