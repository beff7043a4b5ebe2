#include "ui/HintTiming.h"

namespace ui {
namespace {
HintTiming g_timing;
}

void setHintTiming(const HintTiming& timing) {
    g_timing = timing;
}
const HintTiming& hintTiming() {
    return g_timing;
}

} // namespace ui
