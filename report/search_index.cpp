#include "report/search_index.h"

#include <algorithm>
#include <unordered_map>

#include "report/history_frame.h"
#include "report/json_text.h"

namespace varnokel {

namespace {

constexpr uint32_t kFnvOffset = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;
constexpr size_t kFirstKeyLength = 2;  // characters
// The files of the index: as many as keep each near kFileBytes, a power of
// two between the bounds.
constexpr uint32_t kFewestFiles = 256;
constexpr uint32_t kMostFiles = 4096;
constexpr size_t kFileBytes = 32 * 1024;

char FoldLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A text a player is found by: valid UTF-8, letters folded, with where each
// character begins (and, last, where the text ends).
struct SearchText {
  uint32_t player = 0;
  std::string bytes;
  std::vector<uint32_t> starts;

  size_t characters() const { return starts.size() - 1; }
  std::string_view Run(size_t from, size_t count) const {
    return std::string_view(bytes).substr(starts[from], starts[from + count] - starts[from]);
  }
};

SearchText FoldedText(uint32_t player, std::string_view text) {
  SearchText folded{player, ValidUtf8(text), {}};
  for (uint32_t k = 0; k < folded.bytes.size(); ++k) {
    char& c = folded.bytes[k];
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) folded.starts.push_back(k);
    c = FoldLetter(c);
  }
  folded.starts.push_back(static_cast<uint32_t>(folded.bytes.size()));
  return folded;
}

std::string IdSearchPart(std::string_view id) {
  const size_t colon = id.rfind(':');
  std::string_view part = colon == std::string_view::npos ? id : id.substr(colon + 1);
  if (part.ends_with(']')) part.remove_suffix(1);
  return std::string(part);
}

// Where a key begins in a text.
struct Place {
  uint32_t text;
  uint32_t from;  // character
};

class IndexBuilder {
 public:
  IndexBuilder(const HistoryView& view, size_t full_list_limit);
  SearchIndex Build();

 private:
  struct KeyList {
    bool cut = false;
    std::vector<uint32_t> players;  // ascending
    std::vector<Place> places;      // while the key's length is the one looked at
  };

  void AddPlayer(uint32_t p);
  // Lists the keys of `length` characters at `places` (in the order of their
  // players); returns the places of the keys one character longer below
  // those cut short.
  std::vector<Place> AddKeys(const std::vector<Place>& places, size_t length);
  uint32_t FileCount() const;
  std::string FileText(uint32_t file, std::vector<std::string_view>& keys) const;

  const HistoryView& view_;
  size_t full_list_limit_;
  std::vector<SearchText> texts_;                       // every player's, by player
  std::vector<std::string> entries_;                    // by player: [id, name, other names...]
  std::unordered_map<std::string_view, KeyList> keys_;  // views into texts_
};

IndexBuilder::IndexBuilder(const HistoryView& view, size_t full_list_limit)
    : view_(view), full_list_limit_(full_list_limit), entries_(view.history.players.size()) {}

void IndexBuilder::AddPlayer(uint32_t p) {
  std::string& out = entries_[p];
  out += '[';
  AppendJsonString(out, view_.history.players[p]);
  out += ',';
  AppendJsonString(out, view_.names[p]);
  for (uint32_t n : view_.player_names[p]) {
    if (view_.history.names[n].name == view_.names[p]) continue;
    out += ',';
    AppendJsonString(out, view_.history.names[n].name);
  }
  out += ']';
  texts_.push_back(FoldedText(p, IdSearchPart(view_.history.players[p])));
  texts_.push_back(FoldedText(p, view_.names[p]));
  for (uint32_t n : view_.player_names[p])
    texts_.push_back(FoldedText(p, view_.history.names[n].name));
}

std::vector<Place> IndexBuilder::AddKeys(const std::vector<Place>& places, size_t length) {
  std::vector<std::string_view> new_keys;
  for (const Place& place : places) {
    const SearchText& text = texts_[place.text];
    const std::string_view key = text.Run(place.from, length);
    KeyList& list = keys_[key];
    if (list.players.empty()) new_keys.push_back(key);
    if (list.players.empty() || list.players.back() != text.player)
      list.players.push_back(text.player);
    if (place.from + length < text.characters()) list.places.push_back(place);
  }
  std::vector<Place> longer;
  for (std::string_view key : new_keys) {
    KeyList& list = keys_[key];
    list.cut = list.players.size() > full_list_limit_;
    if (list.cut) {
      list.players.resize(kSearchHits);
      longer.insert(longer.end(), list.places.begin(), list.places.end());
    }
    list.places = {};
  }
  // The players in order again, so that each longer key lists them ascending.
  std::sort(longer.begin(), longer.end(), [&](const Place& a, const Place& b) {
    return texts_[a.text].player < texts_[b.text].player ||
           (texts_[a.text].player == texts_[b.text].player && a.text < b.text);
  });
  return longer;
}

uint32_t IndexBuilder::FileCount() const {
  size_t bytes = 0;
  for (const auto& [key, list] : keys_)
    for (uint32_t p : list.players) bytes += entries_[p].size() + 1;
  uint32_t files = kFewestFiles;
  while (files < kMostFiles && files * kFileBytes < bytes) files *= 2;
  return files;
}

std::string IndexBuilder::FileText(uint32_t file, std::vector<std::string_view>& keys) const {
  std::sort(keys.begin(), keys.end());
  std::string out = "varnokelSuche(" + std::to_string(file) + ",{";
  for (size_t k = 0; k < keys.size(); ++k) {
    const KeyList& list = keys_.at(keys[k]);
    out += k == 0 ? "" : ",\n";
    AppendJsonString(out, keys[k]);
    out += list.cut ? ":[1,[" : ":[0,[";
    for (size_t j = 0; j < list.players.size(); ++j) {
      if (j > 0) out += ",\n";
      out += entries_[list.players[j]];
    }
    out += "]]";
  }
  out += "});\n";
  return out;
}

SearchIndex IndexBuilder::Build() {
  for (uint32_t p = 0; p < view_.history.players.size(); ++p)
    if (!IsBotId(view_.history.players[p])) AddPlayer(p);
  std::vector<Place> places;
  for (uint32_t t = 0; t < texts_.size(); ++t)
    for (uint32_t k = 0; k + kFirstKeyLength <= texts_[t].characters(); ++k)
      places.push_back({t, k});
  for (size_t length = kFirstKeyLength; !places.empty(); ++length) places = AddKeys(places, length);

  SearchIndex index;
  index.files = FileCount();
  std::vector<std::vector<std::string_view>> by_file(index.files);
  for (const auto& [key, list] : keys_) by_file[SearchFileOf(key, index.files)].push_back(key);
  index.texts.resize(index.files);
  for (uint32_t f = 0; f < index.files; ++f)
    if (!by_file[f].empty()) index.texts[f] = FileText(f, by_file[f]);
  return index;
}

// The script of suche.htm: walks from the key of the first two characters of
// what is typed to longer keys, loading each key's file once by a script
// element (with the files of the next few longer keys at once, so that a walk
// waits for one load, not one after the other), and shows the players of the
// list it ends at whose names or id hold the text.
constexpr std::string_view kSearchScriptHead = R"JS(<script>
(function () {
  var FILES = )JS";
constexpr std::string_view kSearchScriptHits = R"JS(, HITS = )JS";
constexpr std::string_view kSearchScriptBody = R"JS(, AHEAD = 3, files = {}, loading = {},
      input = document.getElementById('q'), list = document.getElementById('treffer'),
      note = document.getElementById('hinweis');
  function fold(s) { return s.replace(/[A-Z]/g, function (c) { return c.toLowerCase(); }); }
  function idPart(s) {
    var p = s.slice(s.lastIndexOf(':') + 1);
    return p.charAt(p.length - 1) === ']' ? p.slice(0, -1) : p;
  }
  function fileOf(key) {
    var bytes = new TextEncoder().encode(key), h = 0x811c9dc5;
    for (var i = 0; i < bytes.length; i++) h = Math.imul(h ^ bytes[i], 0x01000193) >>> 0;
    return h % FILES;
  }
  function load(n) {
    if (loading[n]) return;
    loading[n] = true;
    var s = document.createElement('script');
    s.src = 'daten/suche/' + n + '.js';
    s.onerror = function () { varnokelSuche(n, {}); };  // no key in that file
    document.head.appendChild(s);
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
  function candidates(q) {  // the list to filter, or null while its file loads
    var c = Array.from(q.indexOf(':') >= 0 ? idPart(q) : q);
    for (var length = 2; ; length++) {
      var key = c.slice(0, length).join(''), n = fileOf(key);
      if (!files[n]) {  // this key's file, and those of the next longer keys at once
        for (var more = length; more <= Math.min(c.length, length + AHEAD); more++)
          load(fileOf(c.slice(0, more).join('')));
        note.textContent = 'Suche ...';
        return null;
      }
      var entry = files[n][key];
      if (!entry) return [];
      if (!entry[0] || length >= c.length) return entry[1];
    }
  }
  function show() {
    var q = fold(input.value.trim());
    list.textContent = '';
    if (Array.from(q.indexOf(':') >= 0 ? idPart(q) : q).length < 2) {
      note.textContent = 'Mindestens zwei Zeichen eingeben.'; return;
    }
    var players = candidates(q), found = 0;
    if (!players) return;
    players.forEach(function (p) {
      if (found >= HITS) return;
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
    note.textContent = found ? found + (found >= HITS ? '+' : '') + ' Treffer' : 'Kein Spieler gefunden.';
  }
  window.varnokelSuche = function (n, keys) { files[n] = keys; show(); };
  input.addEventListener('input', show);
  var q = new URLSearchParams(location.search).get('q');
  if (q) { input.value = q; show(); }
})();
</script>)JS";

}  // namespace

SearchIndex BuildSearchIndex(const HistoryView& view, size_t full_list_limit) {
  return IndexBuilder(view, std::max(full_list_limit, kSearchHits)).Build();
}

uint32_t SearchFileOf(std::string_view key, uint32_t files) {
  uint32_t hash = kFnvOffset;
  for (char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash % files;
}

std::string SearchFileName(uint32_t file) {
  return std::string(kDataFolder) + "/suche/" + std::to_string(file) + ".js";
}

std::string SearchPage(uint32_t files) {
  std::string out;
  AppendHistoryHead(out, "Suche", "", HistoryPage::kSearch);
  out +=
      "<form role=\"search\" onsubmit=\"return false\"><label for=q>Name (auch ein früherer) "
      "oder Id:</label><input id=q name=q type=search autocomplete=off autofocus></form>"
      "<p id=hinweis aria-live=polite></p><ul id=treffer></ul>"
      "<noscript><p>Die Suche braucht JavaScript; alle Spieler stehen unter "
      "<a href=\"sp.htm\">spieler</a>.</p></noscript>";
  out += kSearchScriptHead;
  out += std::to_string(files);
  out += kSearchScriptHits;
  out += std::to_string(kSearchHits);
  out += kSearchScriptBody;
  AppendHistoryFooter(out);
  return out;
}

}  // namespace varnokel
