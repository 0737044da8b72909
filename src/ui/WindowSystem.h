#pragma once

// Sends what the program asked of the window system so far (a window hidden, say) to the X
// server now. The X connection buffers its requests until the message loop next runs, so a
// message thread that then waits a while (the end of the program) would leave the screen as
// it was, its windows frozen on it.
void flushWindowSystem();
