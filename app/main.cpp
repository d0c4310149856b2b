// The one application object, constructed before the framework starts.
#include "app/launcher_app.h"

CLauncherApp theApp;
