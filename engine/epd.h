// The EPD test runner and the exchange test (epd.cpp).
#pragma once

void test(const char *path, int n_sec, int nb_pos);
void testsee();
