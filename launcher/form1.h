// The launcher's one window: its stored layout and the handlers of its three buttons.
#pragma once

#include "layout.h"

extern const platform::FormDef Form1;
