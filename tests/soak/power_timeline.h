#pragma once
// The power switch as the soak's user last left it, for the playback thread,
// which cannot tell when a click lands: a sequence number that is odd while a
// click is under way. A block that saw the same even number before and after
// its call ran wholly under the switch state read with it.
#include <atomic>
#include <cstdint>

class power_timeline {
 public:
  // While no click is under way (between cycles).
  void reset(bool on) { on_.store(on); }
  void begin_change() { sequence_.fetch_add(1); }
  void end_change(bool on) {
    on_.store(on);
    sequence_.fetch_add(1);
  }

  struct reading {
    std::uint32_t sequence;
    bool on;
  };
  reading read() const {
    const std::uint32_t sequence = sequence_.load();
    return {sequence, on_.load()};
  }
  // True when nothing changed since `before` was read, and no change was
  // under way then.
  bool steady_since(const reading& before) const {
    return before.sequence % 2 == 0 && sequence_.load() == before.sequence;
  }

 private:
  std::atomic<std::uint32_t> sequence_{0};
  std::atomic<bool> on_{true};
};
