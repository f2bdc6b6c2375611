// Window states that the toolkit does not offer.
#pragma once

class QWidget;

namespace tapwell::platform {

// Keeps a top-level window out of the taskbar and the task switcher, or lets it
// back in. On X11 these are the skip-taskbar and skip-pager window states; other
// platforms are left alone.
void SetSkipTaskbar(QWidget* window, bool skip);

}  // namespace tapwell::platform
