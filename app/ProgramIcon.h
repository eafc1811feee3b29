#pragma once

class QWidget;

namespace corvane::app {

// Gives the program its window icon (the same picture as the desktop entry's
// icon). The small size is set at once, so the first frame the desktop draws
// has it; the larger sizes, which only task switchers and docks use, are
// decoded once `window` has been painted for the first time, since decoding
// them costs more than laying out the whole window.
void setProgramIcon(QWidget& window);

} // namespace corvane::app
