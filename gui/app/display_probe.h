#pragma once

namespace brindlecot {

// Whether Qt can open its windows here. Qt aborts the process when it cannot reach a
// display, so the program asks first and then reports in the person's language.
bool DisplayAvailable();

}  // namespace brindlecot
