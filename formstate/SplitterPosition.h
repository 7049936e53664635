#pragma once

#include <QPoint>

class QSplitter;

namespace formstate {

// Position of a splitter's first handle (the border between its first two
// widgets) in the splitter's own coordinates; along the orientation, the
// first pixel past the first widget, which moveFirstHandle takes back.
QPoint firstHandlePosition(const QSplitter &splitter);

// Moves the first handle to the position along the splitter's orientation,
// the splitter keeping its length. A splitter not on screen has no length to
// divide yet, so the move waits until it is first shown and laid out; a
// later call replaces a move still waiting. Nothing happens to a splitter of
// fewer than two widgets.
void moveFirstHandle(QSplitter &splitter, int position);

} // namespace formstate
