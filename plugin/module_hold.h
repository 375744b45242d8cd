#pragma once
// References this DLL keeps on itself, so that none of its code runs after the
// host's FreeLibrary has returned. While a window whose procedure lies here
// exists, or a modal box of ours runs its own message loop (inside which the
// host may quit and unload the plug-in when the user closes the player), the
// DLL holds itself mapped. A reference is let go of only inside a call from
// the host, whose own reference then surely keeps the DLL mapped; where no
// call comes any more, it stays mapped to the end of the process.

// Takes one more reference. False when none could be taken.
bool hold_module();
// Gives one reference up, to be let go of at the host's next call.
void release_module_later();
// Lets go of every reference given up so far. Only inside a call from the host.
void release_given_up_holds();

// One reference for as long as a modal box of ours is open.
class box_hold {
 public:
  box_hold() : held_(hold_module()) {}
  ~box_hold() {
    if (held_) release_module_later();
  }
  box_hold(const box_hold&) = delete;
  box_hold& operator=(const box_hold&) = delete;

 private:
  bool held_;
};
