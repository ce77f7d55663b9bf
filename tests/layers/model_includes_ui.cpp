// Must not build: the model layer cannot see the window's headers.
#include "model/data_set.h"
#include "ui/frm_main.h"
