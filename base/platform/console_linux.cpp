#include "base/platform/console.h"

namespace brindlecot::platform {

void UseConsoleCodePage() {}

}  // namespace brindlecot::platform
