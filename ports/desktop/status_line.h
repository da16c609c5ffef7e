// The status line beneath the game's frame: one row of text in the game's own
// font, on a strip of its own that the window shows under the 320 x 240
// frame. The frame itself is never drawn into.
#pragma once
#include <SDL.h>

#include <string>

#include "gfx/sprite.h"

constexpr int STATUS_ROWS = GLYPH_HEIGHT;  // the window grows by one text row

// Draws `text` centred into the top STATUS_ROWS rows of `strip`, on black.
void status_line_draw(const char* text, bool highlight, FrameSurface* strip);

// Makes the strip's texture for the window's renderer.
bool status_line_open(SDL_Renderer* renderer, std::string* error);

// Sets the text (at most 40 characters), centred; `highlight` draws it in the
// colour of the game's own score line instead of white. Returns whether the
// strip changed.
bool status_line_set(const char* text, bool highlight);

// Copies the strip, scaled, into `where` (beneath the frame).
void status_line_render(SDL_Renderer* renderer, const SDL_Rect& where);

void status_line_close();
