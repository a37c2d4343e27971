// Message boxes, shown modal or taken by a test.
#pragma once

namespace qtwindow {

void forget_message_boxes();

} // namespace qtwindow
