// The one ViewSettings instance, with its starting values.
#include "viewer/view_settings.h"

ViewSettings viewSettings;
