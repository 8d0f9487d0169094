// The UCI loop (uci.cpp): the Universal Chess Interface, which most interfaces and match tools
// speak, beside the console and the XBoard loop.
#pragma once

// Speaks UCI on standard input and output until "quit" or the end of input; entered from the
// console's "uci", which it answers first.
void uci();
