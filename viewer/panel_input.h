// What the panel's toolkit is told about the mouse and the keyboard. It samples each button and
// key once per panel frame, so a press and release between two frames (a quick tap, or an
// automated click) would never be seen; here each button or key changes at most once per frame
// and later changes wait for the following frames, in order.
#pragma once

void panelMouseButton(int button, int state, int x, int y);   // GLUT button and state
void panelMouseMotion(int x, int y);
void panelMouseWheel(int wheel, int direction, int x, int y);
void panelKey(unsigned char key, bool down, int x, int y);    // from GLUT's key callbacks only
void panelSpecialKey(int key, bool down, int x, int y);       // likewise
// After each panel frame: lets the next waiting change of each button and key through.
void nextPanelInput();
// Forgets the waiting changes and lets go of every button and key.
void resetPanelInput();
