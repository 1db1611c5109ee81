#include "catalog/SharedWindows.h"

namespace catalog {

TMsg* SharedMessageWindow = nullptr;
TProgressForm* SharedProgressWindow = nullptr;

}  // namespace catalog
