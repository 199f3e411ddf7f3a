// The camera: the trackball's view that ViewTransform applies, and the projection matrix, loaded
// the one way for the frame and for the script's own commands.
#pragma once

// Multiplies the trackball camera onto the current matrix: the eye on a sphere of the
// trackball's distance around its centre, looking at the centre.
void applyView();

// Each makes the projection matrix current, loads the identity, multiplies in the projection
// and leaves the model-view matrix current. A projection that cannot be made (a box or a
// frustum of no width, height or depth, a field of view whose sine is 0, an aspect of 0, or a
// value that is not finite) leaves the identity: the GL would refuse the box, GLU skips such a
// frustum, and the frame itself never makes a call the GL refuses.
void loadOrthographic(double left, double right, double bottom, double top, double near,
                      double far);
void loadPerspective(double fieldOfView, double aspect, double near, double far);

// Every projection loaded is marked for a capture (feedback_marks.h). While a capture holds the
// projection, loads only mark their matrices and the GL's projection stays the capture's;
// samplingProjection gives the matrix last loaded, or else the GL's, for NURBS sampling, which
// must see the projection the frame would have drawn with.
void holdProjection(bool hold);
bool projectionHeld();
void samplingProjection(double (&matrix)[16]);
