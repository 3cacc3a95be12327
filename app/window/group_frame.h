// Group boxes framed the way the windows were laid out for: the frame's top
// line runs through the middle of the title, and stops short of the title on
// either side. Qt's own styles draw the frame below the title instead, so the
// top line would run through the first row of controls.
#pragma once

class QWidget;

// Frame every group box of the window so. The controls keep their positions.
void FrameGroupBoxes(QWidget* window);
