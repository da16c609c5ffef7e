#include "ports/common/trace.h"

#include "game/view.h"
#include "ports/common/files.h"

int format_trace_line(char* buffer, int size, std::uint64_t frame, int buffer_index, std::uint64_t hash) {
    const auto sz = static_cast<std::size_t>(size);
    const unsigned long long f = frame;
    const unsigned long long h = hash;
    if (g_game_view != nullptr) {
        const GameState* g = g_game_view;
        return std::snprintf(
            buffer, sz,
            "{\"frame\":%llu,\"screen\":\"game\",\"buffer\":%d,\"hash\":\"%016llx\",\"frame_count\":%d,\"mode\":%d,"
            "\"scroll_step\":%d,\"chopper_y\":%d,\"momentum\":%d,\"vertical_speed\":%d,\"anim_count\":%d,"
            "\"block_x\":%d,\"block_y\":%d,\"block_dir\":%d,\"coin_x\":%d,\"coin_y\":%d,\"crashed\":%d,\"score\":%d,"
            "\"offset\":%d,\"top33\":%d,\"gap33\":%d}",
            f, buffer_index, h, g->frame_count, g->mode, g->scroll_step, g->chopper_y, g->momentum,
            g->vertical_speed, g->anim_count, g->block_x, g->block_y, g->block_dir, g->coin_x, g->coin_y, g->crashed,
            g_score, g->tunnel.offset, g->tunnel.top[TUNNEL_COLUMNS - 1], g->tunnel.gap[TUNNEL_COLUMNS - 1]);
    }
    if (g_title_view != nullptr) {
        const TitleState* t = g_title_view;
        return std::snprintf(buffer, sz,
                             "{\"frame\":%llu,\"screen\":\"title\",\"buffer\":%d,\"hash\":\"%016llx\",\"row\":%d,"
                             "\"mode\":%d,\"speed\":%d,\"input_delay\":%d,\"marquee_start\":%d,\"marquee_shift\":%d,"
                             "\"last_score\":%d}",
                             f, buffer_index, h, t->row, t->mode, t->speed, t->input_delay, t->marquee_start,
                             t->marquee_shift, g_score);
    }
    return std::snprintf(buffer, sz, "{\"frame\":%llu,\"screen\":\"none\",\"buffer\":%d,\"hash\":\"%016llx\"}", f,
                         buffer_index, h);
}

bool write_trace_line(std::FILE* file, std::uint64_t frame, int buffer_index, std::uint64_t hash) {
    char line[1024];
    format_trace_line(line, sizeof line, frame, buffer_index, hash);
    return std::fprintf(file, "%s\n", line) > 0;
}

bool trace_open(PartFile* trace, const std::string& path, std::string* error) {
    return make_parent_folder(path, error) && part_file_open(trace, path, "w", error);
}
