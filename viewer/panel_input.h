// What the panel's toolkit is told about the mouse and the keyboard. It samples each button and
// key once per panel frame, so a press and release between two frames (a quick tap, or an
// automated click) would never be seen; here each button changes at most once per frame, and
// the keys one change a frame in all, later changes waiting for the following frames in order.
// So a key typed right after Enter or Escape in a field reaches the panel after the field has
// let go, and whether the panel claims it is known when it arrives. A held key's repeats change
// nothing the toolkit samples and need no frame of their own: of one key's repeats between two
// frames only the first counts, and none acts after the key's release.
#pragma once

void panelMouseButton(int button, int state, int x, int y);   // GLUT button and state
void panelMouseMotion(int x, int y);
void panelMouseWheel(int wheel, int direction, int x, int y);
// From GLUT's key callbacks only. When a pressed key reaches the panel and no field takes the
// keyboard then, unclaimed(key) is called: the key is the scene's.
void panelKey(unsigned char key, bool down, int x, int y, void (*unclaimed)(unsigned char));
void panelSpecialKey(int key, bool down, int x, int y);       // likewise
// After each panel frame: lets the next waiting change of each button and key through.
void nextPanelInput();
// Forgets the waiting changes and lets go of every button and key.
void resetPanelInput();
