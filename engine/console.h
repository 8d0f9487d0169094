// The console loop and its commands (console.cpp).
#pragma once

// Prints the banner, starts the engine, prints the settings and runs the console loop; the result
// is the program's exit status.
int console_main();
