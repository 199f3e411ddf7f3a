// Reading an image file for TextureImage: the file's bytes, but only from a regular file and
// only when its header describes a picture a texture can hold.
#pragma once

#include <string>
#include <vector>

// Fills bytes with the whole file and returns true when the name is a regular file whose image
// header is known, at most maxSide pixels wide and high and of a sensible size once decoded.
// Never blocks: a pipe or a device is refused without waiting for a writer.
bool readTextureFile(const std::string& name, int maxSide, std::vector<unsigned char>& bytes);
