// The program entry point alone, so tests can link every application class without a second
// main().
#include "app/FlexherdApp.h"

wxIMPLEMENT_APP(FlexherdApp);
