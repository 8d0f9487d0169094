// The settings and the reading of vrk.rc.
#include "settings.h"

#include <cstdio>

#include "platform.h"

// Settings, at their values before vrk.rc is read.
int mb_hash = 4;
int kb_hash_pawn = 1024;
int check_nodes = 10000;
int nulling_move = 0;
int emtdf = 0;
int mtdf_window = 100;
int futility = 0;
int razor = 0;
int delta = 0;
int lmr = 0;
int egbb = 0;
int egbb_cache = 1;
static char egbb_path_buf[255];
char *egbb_path = egbb_path_buf;
int egbb_5men = 0;
int learning = 0;
int resign_value = -1000;
int enable_book = 1;
int hashing = 1;

// White space of any amount between the keys.
bool read_config() {
    FILE *f = fopen("vrk.rc", "r");
    if (!f) {
        message("Could not load initialization file!\n");
        return false;
    }
    egbb_path_buf[0] = '\0';
    if (fscanf(f,
               "HASH=%d\nHPAWN=%d\nCHECKNODES=%d\nNULLMOVE=%d\nMTDF=%d\nABWINDOW=%d\nFUTILITY=%d\n"
               "RAZOR=%d\nDELTA=%d\nLMR=%d\nEGBB=%d\nEGBBCACHE=%d\nEGBBPATH=%254s\n5MEN=%d\n"
               "LEARN=%d\nRESIGN_VALUE=%d\nBOOK=%d",
               &mb_hash, &kb_hash_pawn, &check_nodes, &nulling_move, &emtdf, &mtdf_window,
               &futility, &razor, &delta, &lmr, &egbb, &egbb_cache, egbb_path_buf, &egbb_5men,
               &learning, &resign_value, &enable_book) < 0) {
        // An empty file: nothing read, nothing changed.
    }
    fclose(f);
    return true;
}
