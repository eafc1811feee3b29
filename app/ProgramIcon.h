#pragma once

class QWidget;

namespace corvane::app {

// Gives the program its window icon (the same picture as the desktop entry's
// icon). The 48 px size is set at once, so the first frame the desktop draws
// has it; the 128 px one, which only task switchers and docks use, is decoded
// once `window` has been painted for the first time, since decoding it costs
// more than laying out the whole window. Nothing larger: Qt's X11 window icon
// carries no size above 128 px, and a desktop that wants more takes the
// desktop entry's icon, installed up to 256 px and as SVG.
void setProgramIcon(QWidget& window);

} // namespace corvane::app
