// placeholder until the sheet is generated
#include "render/builtin_font_png.h"
const unsigned char builtin_font_png[] = {0};
const unsigned int builtin_font_png_size = 0;
