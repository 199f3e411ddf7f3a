// Render state and the one texture: Enable, Disable, TextureMode and TextureImage.
#pragma once

#include <GL/gl.h>

// The one texture object that every TextureImage loads into; 0 before the first load and after
// a load that failed. Lives as long as the process.
extern GLuint currentTexture;

// Releases the texture object and forgets its name, as at start-up.
void resetTextures();
