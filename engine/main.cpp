#include "console.h"

int main() {
    return console_main();
}
