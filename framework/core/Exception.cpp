#include "framework/core/Exception.h"

namespace framework {

void Abort() { throw EAbort("Operation aborted"); }

}  // namespace framework
