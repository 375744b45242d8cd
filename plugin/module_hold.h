#pragma once
// References this DLL keeps on itself, so that none of its code runs after the
// host's FreeLibrary has returned. While a window whose procedure lies here
// exists, or a click on it is being handled (a click may open a modal box,
// inside whose message loop the host may quit and unload the plug-in when the
// user closes the player), the DLL holds itself mapped. A reference is let go
// of only inside a call from the host, whose own reference then surely keeps
// the DLL mapped; where no call comes any more, it stays mapped to the end of
// the process.

// Takes one more reference. False when none could be taken.
bool hold_module();
// Gives one reference up, to be let go of at the host's next call.
void release_module_later();
// Lets go of every reference given up so far. Only inside a call from the host.
void release_given_up_holds();

// One reference for the life of the object.
class scoped_module_hold {
 public:
  scoped_module_hold() : held_(hold_module()) {}
  ~scoped_module_hold() {
    if (held_) release_module_later();
  }
  scoped_module_hold(const scoped_module_hold&) = delete;
  scoped_module_hold& operator=(const scoped_module_hold&) = delete;

 private:
  bool held_;
};
