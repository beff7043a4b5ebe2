#pragma once
// The whole-screen cursor: default, horizontal split (column resizing) and hourglass (long operations).
#include <functional>

namespace ui {

enum class CursorShape { Default, HSplit, HourGlass };

// Sets the cursor shown over every window of the application; Default removes any override.
void setScreenCursor(CursorShape shape);
CursorShape screenCursor();

// Test hook: when set, every change is also reported to it (the real cursor is still set).
void setScreenCursorHook(std::function<void(CursorShape)> hook);

// Sets the hourglass for the lifetime of the guard and restores the default cursor at its end.
class HourGlass {
public:
    HourGlass() { setScreenCursor(CursorShape::HourGlass); }
    ~HourGlass() { setScreenCursor(CursorShape::Default); }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;
};

} // namespace ui
