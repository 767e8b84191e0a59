// Languages: their text folders, the string table setup and the modal three-way question.
#pragma once
#include <string>

#include "foundation/shell_state.h"

enum : int { lang_english = 0, lang_french, lang_german, lang_italian, lang_spanish, lang_portuguese, lang_korean };

// "text/english/" ... "text/korean/"; empty for an unknown language.
std::string ZARIRU_text_folder(int language);
// Forms the text folder of the current language; nothing is loaded.
void ZARIRU_setupforlang();
// A modal question about name in sub-window 996: 1 first answer, 2 second, 3 third (only when
// third is non-zero) or when the sub-window was left another way.
int ZARIRU_nuke_alert(std::string name, int third);
