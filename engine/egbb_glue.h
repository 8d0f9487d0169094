// The engine's side of the bitbases (egbb_glue.cpp).
#pragma once

int init_egbb();
int eval_egbb();
