#include "ui/qt/QtBackend.h"
// Filled in with the window back end.
