// Groups and modelling transforms: "{", "}", Rotate, Translate, Scale and their Incremental forms.
#pragma once

// braceDepth: groups opened and not yet closed in the current run; negative after an unmatched
// "}". Only "{" and "}" change it; endGroups sets it back to 0.
int braceDepth();

// The saw-tooth phase of the Incremental commands at the current scene clock.
float incrementalPhase(float period);

// Called by the runner around each run: a run starts and ends at the same stack depths,
// whatever the script's groups and display lists did to them, and with no group open.
void beginGroups();
void endGroups();
