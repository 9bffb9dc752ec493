#include "db/store_fold.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace varnokel {

namespace {

constexpr size_t kEventsPerBatch = 4096;
// The fold waits for the thread when it is this many batches behind, so that
// a long run holds a few batches, not all its events.
constexpr size_t kBatchesWaiting = 8;

}  // namespace

class StoreFold::Summing {
 public:
  enum class Kind : uint8_t {
    kPlayer,
    kBeginLog,
    kEndLog,
    kMap,
    kKill,
    kSuicide,
    kObjective,
    kNameSeen,
    kSessionEnded,
  };
  // A text copied into its batch: where it starts there, and its size.
  struct Text {
    uint32_t at = 0, size = 0;
  };
  struct Event {
    Kind kind = Kind::kPlayer;
    bool flag = false;         // a map started; a headshot
    bool second_flag = false;  // a team kill
    int number = 0;            // the weapon; the objective
    PlayerNumber player = 0;   // the player; the killer
    PlayerNumber other = 0;    // the victim
    Text text, second_text;    // player id, server, map, name, weapon name
    Text date, time;           // the line's clock
    Text begin_date, begin_time;
    Moment since;  // a log's map runs since then
  };

  Summing() : thread_([this] { Work(); }) {}
  ~Summing() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  Event& Add(Kind kind) {
    if (filling_.events.size() == kEventsPerBatch) HandOver();
    Event& event = filling_.events.emplace_back();
    event.kind = kind;
    return event;
  }
  Event& Add(Kind kind, const LineClock& clock) {
    Event& event = Add(kind);
    event.date = Copy(clock.date);
    event.time = Copy(clock.time);
    return event;
  }
  Text Copy(std::string_view text) {
    const Text copied{static_cast<uint32_t>(filling_.texts.size()),
                      static_cast<uint32_t>(text.size())};
    filling_.texts.append(text);
    return copied;
  }

  // Waits until every event handed over so far is summed.
  const StoreChanges& Finish() {
    HandOver();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.empty() && !busy_; });
    if (failure_) std::rethrow_exception(failure_);
    return sums_.changes();
  }

 private:
  struct Batch {
    std::vector<Event> events;
    std::string texts;
  };

  void HandOver() {
    if (filling_.events.empty()) return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kBatchesWaiting; });
    waiting_.push_back(std::move(filling_));
    if (spare_.empty()) {
      filling_ = Batch();
      filling_.events.reserve(kEventsPerBatch);
    } else {
      filling_ = std::move(spare_.back());
      spare_.pop_back();
    }
    changed_.notify_all();
  }

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;
      Batch batch = std::move(waiting_.front());
      waiting_.pop_front();
      busy_ = true;
      const bool failed = failure_ != nullptr;
      lock.unlock();
      std::exception_ptr failure;
      if (!failed) {
        try {
          Sum(batch);
        } catch (...) {
          failure = std::current_exception();
        }
      }
      batch.events.clear();
      batch.texts.clear();
      lock.lock();
      if (failure) failure_ = failure;
      busy_ = false;
      spare_.push_back(std::move(batch));
      changed_.notify_all();
    }
  }

  void Sum(const Batch& batch) {
    for (const Event& event : batch.events) SumEvent(event, batch.texts);
  }

  void SumEvent(const Event& e, const std::string& texts) {
    const auto text = [&](Text t) { return std::string_view(texts).substr(t.at, t.size); };
    const LineClock clock{text(e.date), text(e.time)};
    switch (e.kind) {
      case Kind::kPlayer:
        if (player_names_.size() <= e.player) player_names_.resize(e.player + 1, kNoName);
        player_names_[e.player] = sums_.Player(text(e.text));
        break;
      case Kind::kBeginLog:
        sums_.BeginLog(text(e.text), text(e.second_text), clock, e.since);
        break;
      case Kind::kEndLog:
        sums_.EndLog(clock);
        break;
      case Kind::kMap:
        sums_.Map(MapLine{text(e.text), e.flag}, clock);
        break;
      case Kind::kKill:
        sums_.AddKill({player_names_[e.player], player_names_[e.other], clock.date, e.number,
                       text(e.text), e.flag, e.second_flag});
        break;
      case Kind::kSuicide:
        sums_.Suicide(player_names_[e.player], clock);
        break;
      case Kind::kObjective:
        sums_.ObjectiveEvent(player_names_[e.player], static_cast<Objective>(e.number), clock);
        break;
      case Kind::kNameSeen:
        sums_.NameSeen(player_names_[e.player], text(e.text), clock);
        break;
      case Kind::kSessionEnded:
        sums_.SessionEnded(player_names_[e.player], {text(e.begin_date), text(e.begin_time)},
                           clock);
        break;
    }
  }

  Batch filling_;  // the fold's side

  std::mutex mutex_;  // guards what follows up to the thread's side
  std::condition_variable changed_;
  std::deque<Batch> waiting_;
  std::vector<Batch> spare_;
  bool busy_ = false;  // the thread sums a batch
  bool stopping_ = false;
  std::exception_ptr failure_;

  StoreEventSums sums_;                 // the thread's side
  std::vector<uint32_t> player_names_;  // by the fold's player number: the sums' number
  std::thread thread_;                  // last: starts when the rest is made
};

StoreFold::StoreFold() : summing_(std::make_unique<Summing>()) {}
StoreFold::~StoreFold() = default;
StoreFold::StoreFold(StoreFold&&) noexcept = default;
StoreFold& StoreFold::operator=(StoreFold&&) noexcept = default;

StoreFold::PlayerNumber StoreFold::Player(std::string_view id) {
  const auto found = players_.find(id);
  if (found != players_.end()) return found->second;
  const auto number = static_cast<PlayerNumber>(players_.size());
  players_.emplace(id, number);
  Summing::Event& event = summing_->Add(Summing::Kind::kPlayer);
  event.player = number;
  event.text = summing_->Copy(id);
  return number;
}

void StoreFold::BeginLog(std::string_view server, std::string_view map, const LineClock& first,
                         const Moment& since) {
  Summing::Event& event = summing_->Add(Summing::Kind::kBeginLog, first);
  event.text = summing_->Copy(server);
  event.second_text = summing_->Copy(map);
  event.since = since;
}

void StoreFold::EndLog(const LineClock& last) {
  summing_->Add(Summing::Kind::kEndLog, last);
}

void StoreFold::Map(const MapLine& map, const LineClock& clock) {
  Summing::Event& event = summing_->Add(Summing::Kind::kMap, clock);
  event.text = summing_->Copy(map.map);
  event.flag = map.started;
}

void StoreFold::Kill(PlayerNumber killer, PlayerNumber victim, const LineEvents& e,
                     const std::optional<KillTeams>& teams) {
  Summing::Event& event = summing_->Add(Summing::Kind::kKill, {e.date, {}});
  event.player = killer;
  event.other = victim;
  event.number = e.weapon;
  event.text = summing_->Copy(e.weapon_name);
  event.flag = e.headshot;
  event.second_flag = teams && !teams->killer.empty() && teams->killer == teams->victim;
}

void StoreFold::Suicide(PlayerNumber player, const LineClock& clock) {
  summing_->Add(Summing::Kind::kSuicide, clock).player = player;
}

void StoreFold::ObjectiveEvent(PlayerNumber player, Objective objective, const LineClock& clock) {
  Summing::Event& event = summing_->Add(Summing::Kind::kObjective, clock);
  event.player = player;
  event.number = static_cast<int>(objective);
}

void StoreFold::NameSeen(PlayerNumber player, std::string_view name, const LineClock& clock) {
  Summing::Event& event = summing_->Add(Summing::Kind::kNameSeen, clock);
  event.player = player;
  event.text = summing_->Copy(name);
}

void StoreFold::SessionEnded(PlayerNumber player, const LineClock& begin, const LineClock& end) {
  Summing::Event& event = summing_->Add(Summing::Kind::kSessionEnded, end);
  event.player = player;
  event.begin_date = summing_->Copy(begin.date);
  event.begin_time = summing_->Copy(begin.time);
}

const StoreChanges& StoreFold::changes() const {
  return summing_->Finish();
}

}  // namespace varnokel
