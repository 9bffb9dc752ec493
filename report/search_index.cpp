#include "report/search_index.h"

#include <algorithm>

#include "report/history_frame.h"
#include "report/json_text.h"

namespace varnokel {

namespace {

constexpr uint32_t kFnvOffset = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

char FoldLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The characters of valid UTF-8 `text`, letters folded.
std::vector<std::string> FoldedCharacters(std::string_view text) {
  std::vector<std::string> characters;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80 && !characters.empty())
      characters.back() += c;
    else
      characters.emplace_back(1, FoldLetter(c));
  }
  return characters;
}

std::string IdSearchPart(std::string_view id) {
  const size_t colon = id.rfind(':');
  std::string_view part = colon == std::string_view::npos ? id : id.substr(colon + 1);
  if (part.ends_with(']')) part.remove_suffix(1);
  return std::string(part);
}

void AddPairs(std::vector<uint32_t>& shards, std::string_view text) {
  const std::vector<std::string> characters = FoldedCharacters(ValidUtf8(text));
  for (size_t k = 0; k + 1 < characters.size(); ++k)
    shards.push_back(SearchShardOf(characters[k] + characters[k + 1]));
}

// The script of suche.htm: finds the shard of what is typed, loads it once
// by a script element and shows the players whose names or id hold the text.
constexpr std::string_view kSearchScript = R"JS(<script>
(function () {
  var SHARDS = 256, shards = {}, wanted = -1, input = document.getElementById('q'),
      list = document.getElementById('treffer'), note = document.getElementById('hinweis');
  function fold(s) { return s.replace(/[A-Z]/g, function (c) { return c.toLowerCase(); }); }
  function idPart(s) {
    var p = s.slice(s.lastIndexOf(':') + 1);
    return p.charAt(p.length - 1) === ']' ? p.slice(0, -1) : p;
  }
  function shardOf(q) {
    var c = Array.from(fold(q.indexOf(':') >= 0 ? idPart(q) : q));
    if (c.length < 2) return -1;
    var bytes = new TextEncoder().encode(c[0] + c[1]), h = 0x811c9dc5;
    for (var i = 0; i < bytes.length; i++) h = Math.imul(h ^ bytes[i], 0x01000193) >>> 0;
    return h % SHARDS;
  }
  function stem(id) {  // the file name of a player's page, as the report writes it
    var b = new TextEncoder().encode(id), s = '';
    for (var i = 0; i < b.length; i++) {
      var c = b[i], plain = (c >= 65 && c <= 90) || (c >= 97 && c <= 122) ||
          (c >= 48 && c <= 57) || c === 45 || c === 95;
      s += plain ? String.fromCharCode(c) : '~' + (c < 16 ? '0' : '') + c.toString(16).toUpperCase();
    }
    return s || '~';
  }
  function show() {
    var q = fold(input.value.trim()), n = shardOf(q);
    list.textContent = '';
    if (n < 0) { note.textContent = 'Mindestens zwei Zeichen eingeben.'; return; }
    if (!shards[n]) {
      wanted = n; note.textContent = 'Suche ...';
      var s = document.createElement('script');
      s.src = 'daten/suche/' + n + '.js';
      s.onerror = function () { varnokelSuche(n, []); };  // no player in that shard
      document.head.appendChild(s);
      return;
    }
    var found = 0;
    shards[n].forEach(function (p) {
      if (found >= 50) return;
      var names = p.slice(1), hit = fold(p[0]).indexOf(q) >= 0;
      for (var i = 0; !hit && i < names.length; i++) hit = fold(names[i]).indexOf(q) >= 0;
      if (!hit) return;
      found++;
      var li = document.createElement('li'), a = document.createElement('a');
      a.href = 'spieler/' + stem(p[0]) + '.htm'; a.textContent = p[1];
      li.appendChild(a);
      li.appendChild(document.createTextNode(' (' + p[0] + ')' +
          (names.length > 1 ? ' auch: ' + names.slice(1).join(', ') : '')));
      list.appendChild(li);
    });
    note.textContent = found ? found + (found >= 50 ? '+' : '') + ' Treffer' : 'Kein Spieler gefunden.';
  }
  window.varnokelSuche = function (n, players) { shards[n] = players; if (n === wanted) show(); };
  input.addEventListener('input', show);
  var q = new URLSearchParams(location.search).get('q');
  if (q) { input.value = q; show(); }
})();
</script>)JS";

}  // namespace

uint32_t SearchShardOf(std::string_view pair) {
  uint32_t hash = kFnvOffset;
  for (char c : pair) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash % kSearchShards;
}

std::vector<std::vector<uint32_t>> SearchShards(const HistoryView& view) {
  std::vector<std::vector<uint32_t>> shards(kSearchShards);
  std::vector<uint32_t> mine;
  for (uint32_t p = 0; p < view.history.players.size(); ++p) {
    if (IsBotId(view.history.players[p])) continue;
    mine.clear();
    AddPairs(mine, IdSearchPart(view.history.players[p]));
    AddPairs(mine, view.names[p]);
    for (uint32_t k : view.player_names[p]) AddPairs(mine, view.history.names[k].name);
    std::sort(mine.begin(), mine.end());
    mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
    for (uint32_t shard : mine) shards[shard].push_back(p);
  }
  return shards;
}

std::string SearchShardText(const HistoryView& view, uint32_t shard,
                            const std::vector<uint32_t>& players) {
  std::string out = "varnokelSuche(" + std::to_string(shard) + ",[";
  for (size_t k = 0; k < players.size(); ++k) {
    const uint32_t p = players[k];
    out += k == 0 ? "[" : ",\n[";
    AppendJsonString(out, view.history.players[p]);
    out += ',';
    AppendJsonString(out, view.names[p]);
    for (uint32_t n : view.player_names[p]) {
      if (view.history.names[n].name == view.names[p]) continue;
      out += ',';
      AppendJsonString(out, view.history.names[n].name);
    }
    out += ']';
  }
  out += "]);\n";
  return out;
}

std::string SearchShardName(uint32_t shard) {
  return std::string(kDataFolder) + "/suche/" + std::to_string(shard) + ".js";
}

std::string SearchPage() {
  std::string out;
  AppendHistoryHead(out, "Suche", "", HistoryPage::kSearch);
  out +=
      "<form role=\"search\" onsubmit=\"return false\"><label for=q>Name (auch ein früherer) "
      "oder Id:</label><input id=q name=q type=search autocomplete=off autofocus></form>"
      "<p id=hinweis aria-live=polite></p><ul id=treffer></ul>"
      "<noscript><p>Die Suche braucht JavaScript; alle Spieler stehen unter "
      "<a href=\"sp.htm\">spieler</a>.</p></noscript>";
  out += kSearchScript;
  AppendHistoryFooter(out);
  return out;
}

}  // namespace varnokel
