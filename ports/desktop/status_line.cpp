#include "ports/desktop/status_line.h"

#include <cstring>

namespace {

// draw_text draws into a whole frame surface; the strip is its top 16 rows.
FrameSurface s_strip;
SDL_Texture* s_texture = nullptr;
char s_text[41] = {};
bool s_highlight = false;

void draw_strip() {
    status_line_draw(s_text, s_highlight, &s_strip);
    if (s_texture != nullptr)
        SDL_UpdateTexture(s_texture, nullptr, s_strip.pixels, SCREEN_WIDTH * static_cast<int>(sizeof(Rgb565)));
}

}  // namespace

void status_line_draw(const char* text, bool highlight, FrameSurface* strip) {
    std::memset(strip->pixels, 0, sizeof(Rgb565) * SCREEN_WIDTH * STATUS_ROWS);
    const int width = static_cast<int>(std::strlen(text)) * GLYPH_WIDTH;
    draw_text((SCREEN_WIDTH - width) / 2, 0, highlight ? COLOR_HIGHLIGHT : COLOR_WHITE, text, strip);
}

bool status_line_open(SDL_Renderer* renderer, std::string* error) {
    s_texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, SCREEN_WIDTH,
                                  STATUS_ROWS);
    if (s_texture == nullptr) {
        *error = SDL_GetError();
        return false;
    }
    draw_strip();
    return true;
}

bool status_line_set(const char* text, bool highlight) {
    if (std::strncmp(text, s_text, sizeof s_text - 1) == 0 && highlight == s_highlight) return false;
    std::strncpy(s_text, text, sizeof s_text - 1);
    s_highlight = highlight;
    draw_strip();
    return true;
}

void status_line_render(SDL_Renderer* renderer, const SDL_Rect& where) {
    if (s_texture != nullptr) SDL_RenderCopy(renderer, s_texture, nullptr, &where);
}

void status_line_close() {
    if (s_texture != nullptr) SDL_DestroyTexture(s_texture);
    s_texture = nullptr;
}
