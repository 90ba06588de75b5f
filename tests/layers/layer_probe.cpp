// Found: the folders of what the probe links.
#include "render/overview_navigation.h"
#include "scene/scene_state.h"
// Must not be found: the application sits above the renderer.
#include "app/input_handling.h"
