#pragma once
// The message and progress windows every catalog operation shares. Start-up creates them and sets
// these pointers; while a pointer is null the operations show nothing in its place.

namespace catalog {

class TMsg;
class TProgressForm;

extern TMsg* SharedMessageWindow;
extern TProgressForm* SharedProgressWindow;

}  // namespace catalog
