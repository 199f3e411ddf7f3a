// Marks that the drawing commands leave in the GL's command stream with glPassThrough, so that
// a capture in feedback mode knows what each primitive was drawn with: whether the texture was
// on, which image it held and how it met the colour, and the projection in effect. Outside
// feedback mode the GL ignores them; in a display list they are recorded and replayed with the
// calls they describe, so they hold for every route a primitive can take.
#pragma once

enum class FeedbackMark { textureOn = 1, textureOff, modulate, replace, image, projection };

// A mark is one pass-through value; a projection mark is followed by the 16 values of its
// matrix, column by column.
void putMark(FeedbackMark mark, int value = 0);
void putProjectionMark(const double (&matrix)[16]);
// The mark's kind and value of a pass-through value; false for a value no mark gives.
bool readMark(float passThrough, FeedbackMark& mark, int& value);
