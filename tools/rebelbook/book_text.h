// Reading of the opening-line texts the books are built from: one variation per line from the
// initial position, short algebraic moves each followed by one blank, as the console's makebook
// reads them. A '+' is ignored; a trailing '?' keeps the move in the tree but marks it never to
// be played. The book tool and the vetting tool read the texts through these functions alone.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "book_tree.h"

// The lines of a text file without their line ends; false when it cannot be read.
bool read_text_lines(const std::string &path, std::vector<std::string> &lines);

// Plays one text line on the engine's board from the initial position into book moves, calling
// after_move (when given) with the board in the position after each move. False with err filled
// at the first move that cannot go into a book.
bool parse_line(const std::string &text, std::vector<BookMove> &line, std::string &err,
                const std::function<void()> &after_move = nullptr);
