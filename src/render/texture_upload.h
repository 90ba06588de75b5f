// The scene's textures on the GL side: one texture name per object, each textured object's
// image uploaded into the name of its own index.
#pragma once

// Generates objectCount texture names into TextureSlots (at most kMaxSceneObjects) and uploads
// the image of every textured object into the name of its own index. A file that fails to
// load leaves its name without an image. Needs the window's GL context to be current.
void uploadTextures();
