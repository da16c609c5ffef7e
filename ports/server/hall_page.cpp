// The hall: one page that asks the API for the twelve boards and lists them,
// each entry a link that replays its tape in the browser game under /play/.
#include <string>

#include "ports/common/best_scores.h"
#include "ports/server/handlers.h"

namespace {

const char PAGE_TOP[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Burrowrotor hall of fame</title>
<style>
  body { background: #000; color: #8f8; font: 15px/1.4 monospace; margin: 1em; }
  h1 { font-size: 1.4em; margin: 0 0 .2em; }
  p { margin: 0 0 1em; color: #6c6; }
  a { color: #ff6; }
  #boards { display: grid; grid-template-columns: repeat(auto-fill, minmax(17em, 1fr)); gap: 1em; }
  section { border: 1px solid #284; padding: .5em .8em; }
  h2 { font-size: 1em; margin: 0 0 .4em; color: #fff; }
  ol { margin: 0; padding-left: 2.2em; }
  li span { color: #8a8; }
  .none { color: #585; }
</style>
</head>
<body>
<h1>Burrowrotor hall of fame</h1>
<p>Every score here was replayed from its button tape by the server. Pick an entry to watch it fly.
<a href="/play/">Play the game</a>.</p>
<div id="boards"></div>
<script>
)";

const char PAGE_BOTTOM[] = R"(
var boards = document.getElementById('boards');
MODES.forEach(function (modeName, mode) {
  SPEEDS.forEach(function (speedName, speed) {
    var section = document.createElement('section');
    section.id = 'board-' + mode + '-' + speed;
    var title = document.createElement('h2');
    title.textContent = modeName + ' ' + speedName;
    var list = document.createElement('ol');
    section.appendChild(title);
    section.appendChild(list);
    boards.appendChild(section);
    fetch('/api/boards/' + mode + '/' + speed + '?limit=10').then(function (response) {
      return response.json();
    }).then(function (board) {
      if (board.entries.length === 0) {
        list.outerHTML = '<div class="none">no scores yet</div>';
        return;
      }
      board.entries.forEach(function (entry) {
        var item = document.createElement('li');
        var link = document.createElement('a');
        link.href = '/play/?tape=' + encodeURIComponent('/api/runs/' + entry.run + '/tape');
        link.textContent = entry.name + ' ' + entry.score;
        var date = document.createElement('span');
        date.textContent = ' ' + entry.date;
        item.appendChild(link);
        item.appendChild(date);
        list.appendChild(item);
      });
      section.dataset.entries = board.entries.length;
    }).catch(function (error) {
      list.outerHTML = '<div class="none">cannot load this board: ' + String(error.message).replace(/[<&]/g, '') + '</div>';
    });
  });
});
</script>
</body>
</html>
)";

std::string names(const char* (*name_of)(int), int count) {
    std::string list = "[";
    for (int i = 0; i < count; ++i) list += std::string(i > 0 ? ", '" : "'") + name_of(i) + "'";
    return list + "]";
}

}  // namespace

std::string hall_page() {
    static const std::string page = std::string(PAGE_TOP) + "var MODES = " + names(best_mode_name, BEST_MODES) +
                                    ";\nvar SPEEDS = " + names(best_speed_name, BEST_SPEEDS) + ";" + PAGE_BOTTOM;
    return page;
}
