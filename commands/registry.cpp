// commands/: every script word that draws or sets drawing state, one family per file (shapes,
// primitives, lighting, render state and textures, vertex arrays, NURBS, camera and projection),
// and this registry that gathers them. It uses interpreter/ and scene/.
//
// The command families in registration order: the camera's ViewTransform, groups and
// transforms, lighting, shapes, primitives, render state, display lists, NURBS, vertex arrays,
// projections.
#include "commands/registry.h"

void registerCommands() {
    fillCommandTable({viewTransformCommands(), groupingCommands(), lightingCommands(),
                      shapeCommands(), primitiveCommands(), renderStateCommands(),
                      displayListCommands(), nurbsCommands(), vertexArrayCommands(),
                      projectionCommands()});
}
