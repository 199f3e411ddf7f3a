// Keyboard and mouse of the main window: the shortcut keys, the right-click pick, and the GLUT
// callbacks that hand every event to the panel first and to the scene only when the panel
// does not take it.
#pragma once

// The shortcut keys: Escape + - Z h s t w z; every other code does nothing.
void keyboardShortcut(unsigned char key);
// The scene's mouse handler: a right-button release picks the trackball's centre.
void mouseButton(int button, int state, int x, int y);

// GLUT callbacks, installed on the main window at start-up.
void keyboardEvent(unsigned char key, int x, int y);
void keyboardUpEvent(unsigned char key, int x, int y);
void specialEvent(int key, int x, int y);
void specialUpEvent(int key, int x, int y);
void mouseEvent(int button, int state, int x, int y);
void motionEvent(int x, int y);
void passiveMotionEvent(int x, int y);
void mouseWheelEvent(int wheel, int direction, int x, int y);

// Forgets held buttons, who owns the current drag and the panel's waiting input.
void resetInput();
