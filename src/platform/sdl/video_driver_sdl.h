// Which SDL video driver the bench starts on.
#pragma once

// With neither an X nor a Wayland display named in the environment, asks SDL for its offscreen
// driver, so it does not probe for displays that are not there (and complain on stderr about
// it). An SDL_VIDEODRIVER the user set still wins.
void chooseVideoDriver();
