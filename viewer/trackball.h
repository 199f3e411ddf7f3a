// The trackball's right-click pick: which point of the drawn scene lies under the mouse.
#pragma once

// Whether geometry was drawn under window point (x, y); if so, its object coordinates.
bool pickCenter(int x, int y, double point[3]);
