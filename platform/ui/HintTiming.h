#pragma once
// Application-wide tooltip timing: the pause before a hint shows, the shorter pause when the pointer
// moves from one hinted cell to the next, and how long a hint stays up. Widgets that show their own
// hints read these values.
#include <QString>

namespace ui {

struct HintTiming {
    int hintPause = 500;      // ms before the first hint shows
    int hintShortPause = 50;  // ms between hints while one is already up
    int hintHidePause = 2500; // ms a hint stays shown
};

void setHintTiming(const HintTiming& timing);
const HintTiming& hintTiming();

// A tooltip shows its text as rich text when the text looks like markup ("<h1>", "<img src=x>"); names
// from a file must show as they are. The text as a tooltip shows it literally: unchanged when it does
// not look like markup, else escaped and wrapped so that every character shows, line breaks kept.
QString plainToolTip(const QString& text);

} // namespace ui
