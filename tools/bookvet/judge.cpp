#include "judge.h"

#include <csignal>
#include <cstring>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The score of an "info ... score cp X|mate N ..." line for the side to move; false when the line
// has no exact score (a bound, or no score at all).
bool info_score(const std::string &line, int &cp) {
    std::istringstream in(line);
    std::string word, kind;
    long value = 0;
    while (in >> word && word != "score") {
    }
    if (!(in >> kind >> value)) return false;
    if (in >> word && (word == "lowerbound" || word == "upperbound")) return false;
    if (kind == "cp") {
        cp = (int)value;
        return true;
    }
    if (kind != "mate") return false;
    // "mate 0" is the side to move already mated.
    cp = value > 0 ? JUDGE_MATE_CP - (int)value : -JUDGE_MATE_CP - (int)value;
    return true;
}

bool white_to_move(const std::string &fen) {
    size_t blank = fen.find(' ');
    return blank != std::string::npos && fen.compare(blank, 3, " w ") == 0;
}

} // namespace

Judge::~Judge() {
    if (to_) {
        send("quit");
        fclose(to_);
    }
    if (from_) fclose(from_);
    if (cache_file_) fclose(cache_file_);
    if (child_ > 0) waitpid(child_, nullptr, 0);
}

bool Judge::spawn(std::string &err) {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) {
        err = std::string("pipe: ") + strerror(errno);
        return false;
    }
    child_ = fork();
    if (child_ < 0) {
        err = std::string("fork: ") + strerror(errno);
        return false;
    }
    if (child_ == 0) {
        dup2(down[0], STDIN_FILENO);
        dup2(up[1], STDOUT_FILENO);
        for (int fd : {down[0], down[1], up[0], up[1]})
            close(fd);
        execlp(settings_.engine.c_str(), settings_.engine.c_str(), (char *)nullptr);
        fprintf(stderr, "cannot start %s: %s\n", settings_.engine.c_str(), strerror(errno));
        _exit(127);
    }
    close(down[0]);
    close(up[1]);
    signal(SIGPIPE, SIG_IGN); // a judge that dies shows as a failed read, not as our death
    to_ = fdopen(down[1], "w");
    from_ = fdopen(up[0], "r");
    return to_ && from_;
}

bool Judge::send(const std::string &command) {
    return fprintf(to_, "%s\n", command.c_str()) > 0 && fflush(to_) == 0;
}

bool Judge::read_until(const std::string &prefix, std::string &line, std::string *last_score) {
    char buf[4096];
    while (fgets(buf, sizeof buf, from_)) {
        line = buf;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0) return true;
        int cp;
        if (last_score && line.compare(0, 5, "info ") == 0 && info_score(line, cp))
            *last_score = line;
    }
    return false;
}

bool Judge::start(std::string &err) {
    if (!spawn(err)) return false;
    std::string line, name = settings_.engine;
    if (!send("uci")) return err = "cannot talk to " + settings_.engine, false;
    char buf[4096];
    for (bool ok = false; !ok;) {
        if (!fgets(buf, sizeof buf, from_))
            return err = settings_.engine + " does not speak UCI", false;
        line = buf;
        if (line.compare(0, 8, "id name ") == 0) name = line.substr(8, line.find_last_not_of("\r\n") - 7);
        ok = line.compare(0, 5, "uciok") == 0;
    }
    send("setoption name Threads value 1");
    send("setoption name Hash value " + std::to_string(settings_.hash_mb));
    send("isready");
    if (!read_until("readyok", line, nullptr)) return err = settings_.engine + " died", false;
    description_ = name + ", " +
                   (settings_.nodes ? std::to_string(settings_.nodes) + " nodes"
                                    : "depth " + std::to_string(settings_.depth)) +
                   ", 1 thread, hash " + std::to_string(settings_.hash_mb) + " MB";
    return load_cache(err);
}

// The cache file starts with the judge's description; a file of another judge is started anew.
bool Judge::load_cache(std::string &err) {
    std::string header = "# " + description_;
    if (FILE *in = fopen(settings_.cache.c_str(), "r")) {
        char buf[512];
        bool same = fgets(buf, sizeof buf, in) && header + "\n" == buf;
        while (same && fgets(buf, sizeof buf, in)) {
            char *tab = strchr(buf, '\t');
            if (tab) cache_[std::string(buf, tab)] = atoi(tab + 1);
        }
        fclose(in);
        if (!same) cache_.clear();
        else cache_file_ = fopen(settings_.cache.c_str(), "a");
    }
    if (!cache_file_ && (cache_file_ = fopen(settings_.cache.c_str(), "w")))
        fprintf(cache_file_, "%s\n", header.c_str());
    if (!cache_file_) err = "cannot write the cache " + settings_.cache + ": " + strerror(errno);
    return cache_file_ != nullptr;
}

bool Judge::score(const std::string &fen, int &white_cp, std::string &err) {
    auto hit = cache_.find(fen);
    if (hit != cache_.end()) {
        cached_++;
        white_cp = hit->second;
        return true;
    }
    // A fresh game clears the hash and the history tables: the score must not depend on what
    // was searched before.
    std::string line, last;
    bool sent = send("ucinewgame") && send("isready") && read_until("readyok", line, nullptr) &&
                send("position fen " + fen) &&
                send(settings_.nodes ? "go nodes " + std::to_string(settings_.nodes)
                                     : "go depth " + std::to_string(settings_.depth));
    int cp;
    if (!sent || !read_until("bestmove", line, &last) || !info_score(last, cp)) {
        err = settings_.engine + " gave no score for " + fen;
        return false;
    }
    white_cp = white_to_move(fen) ? cp : -cp;
    searched_++;
    cache_[fen] = white_cp;
    fprintf(cache_file_, "%s\t%d\n", fen.c_str(), white_cp);
    fflush(cache_file_);
    return true;
}
