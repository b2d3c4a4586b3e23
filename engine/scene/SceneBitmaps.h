#pragma once
// Where a viewed scene's bitmaps are. Exports name a material's diffuse map
// as the machine that wrote them saw it: a full Windows path
// ("C:\Maps\Base\textures\wall.TGA"), or a path relative to a game's folder
// ("textures/wall.tga"). The file is looked for by its name, whatever the
// case of any part, in the scene's folder, then in textures/ beside the
// scene, then in the folders the path names, taken relative to the scene's
// folder from the innermost outwards (textures/, Base/textures/, ...).

#include <string>

// The file found, or an empty string.
std::string findSceneBitmap(const std::string& sceneFile, const std::string& bitmap);
