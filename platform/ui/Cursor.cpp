#include "ui/Cursor.h"

#include <QApplication>
#include <QCursor>

namespace ui {
namespace {
CursorShape g_shape = CursorShape::Default;
std::function<void(CursorShape)> g_hook;
} // namespace

void setScreenCursor(CursorShape shape) {
    g_shape = shape;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        if (shape == CursorShape::HSplit) QApplication::setOverrideCursor(QCursor(Qt::SplitHCursor));
        if (shape == CursorShape::HourGlass) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    if (g_hook) g_hook(shape);
}

CursorShape screenCursor() {
    return g_shape;
}

void setScreenCursorHook(std::function<void(CursorShape)> hook) {
    g_hook = std::move(hook);
}

} // namespace ui
