// The XBoard protocol loop and its edit sub-protocol (xboard.cpp, which owns `post`).
#pragma once

// Output mode the protocol loop hands to think(): THINK_SILENT, or THINK_POST after "post".
extern int post;

// Speaks the protocol on standard input and output until "quit" or the end of input.
void xboard();
