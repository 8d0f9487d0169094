// The EPD test runner, the duration formatter and the exchange test (epd.cpp).
#pragma once

void test(const char *path, int n_sec, int nb_pos);
char *Time_clean(int ms);
void testsee();
