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
