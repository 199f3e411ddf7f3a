// Render state and the one texture: Enable, Disable, TextureMode and TextureImage.
#pragma once

#include <string>
#include <vector>

// The image files TextureImage has loaded, by the number their image mark gives (see
// feedback_marks.h), and the number of the image the texture holds now, -1 for none.
const std::vector<std::string>& markedImages();
int currentImage();
// Releases the texture object and forgets its name, as at start-up.
void resetTextures();
