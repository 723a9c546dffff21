x
﻿#include "b.inc"
#include_once "b.inc"
#includes "b.inc"
#include  "b.inc"
