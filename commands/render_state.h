// Render state and the one texture: Enable, Disable, TextureMode and TextureImage.
#pragma once

// Releases the texture object and forgets its name, as at start-up.
void resetTextures();
