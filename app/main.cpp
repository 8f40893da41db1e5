// The program's entry point; everything else is in the pontiro_app library
// so that test drivers can build the same window.
#include "app/app.h"

wxIMPLEMENT_APP(MyApp);
