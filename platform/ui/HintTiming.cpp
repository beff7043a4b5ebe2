#include "ui/HintTiming.h"

#include <QTextDocument>

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

QString plainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

} // namespace ui
