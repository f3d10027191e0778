// Compiled against one layer's include path by the layer tests: it must build where the
// template engine is visible and fail where it is not.
#include "template/record_table.h"

int LayerProbe() {
    return static_cast<int>(sizeof(brindlecot::RecordColumn));
}
