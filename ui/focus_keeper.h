#pragma once
// Modal boxes shown from inside a key handler: the box runs a nested event loop, and an item
// view whose in-place editor lost the focus there would close and delete that editor while its
// own key handler still runs. The widget that had the focus keeps it through the box and gets
// it back, with its window active, when the box closes.

class QDialog;

namespace zelk {

// dialog.exec() with the focused widget kept as above; returns what exec() returned.
int ExecKeepingFocus(QDialog& dialog);

}  // namespace zelk
