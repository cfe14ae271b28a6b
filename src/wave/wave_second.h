#pragma once
// The first shallow-water stage under its operation's name.
#include "wave/first_shallow_stage.h"
