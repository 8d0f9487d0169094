// The settings read from vrk.rc, and the switch derived from them (settings.cpp owns them all).
#pragma once

// Settings read from vrk.rc.
extern int mb_hash;      // HASH
extern int kb_hash_pawn; // HPAWN
extern int check_nodes;  // CHECKNODES
extern int nulling_move; // NULLMOVE
extern int emtdf;        // MTDF
extern int mtdf_window;  // ABWINDOW
extern int futility;     // FUTILITY
extern int razor;        // RAZOR
extern int delta;        // DELTA
extern int lmr;          // LMR
extern int egbb;         // EGBB
extern int egbb_cache;   // EGBBCACHE
extern char *egbb_path;  // EGBBPATH, a 255-byte buffer
extern int egbb_5men;    // 5MEN
extern int learning;     // LEARN
extern int resign_value; // RESIGN_VALUE
extern int enable_book;  // BOOK

// Hash tables in use: set to mb_hash > 0 by start_engine() (game.h) once the file is read; the
// search and the evaluation probe the tables only while it is set.
extern int hashing;

// Reads vrk.rc from the working directory: one scan, the keys in their order, stopping at the
// first mismatch (what was read before it is kept, the rest keep their values). False, with
// "Could not load initialization file!", when it cannot be opened.
bool read_config();
