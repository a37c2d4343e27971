// Message boxes, shown modal or taken by a test.
#pragma once

namespace qtwindow {

void forget_message_boxes();
// The system asked the program to end: every box waiting for an answer, and every box asked for
// from now on, counts as answered with OK, so nothing holds the close path up.
void answer_message_boxes();

} // namespace qtwindow
