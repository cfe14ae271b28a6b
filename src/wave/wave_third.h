#pragma once
// The second shallow-water stage under its operation's name.
#include "wave/second_shallow_stage.h"
