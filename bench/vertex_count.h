// Counts the vertices the renderer hands to GL. This program's own glVertex3d and glVertex3f
// take the renderer's calls (they are linked into the executable ahead of libGL), count them
// and pass them on to libGL's.
#pragma once

long long verticesSent();
