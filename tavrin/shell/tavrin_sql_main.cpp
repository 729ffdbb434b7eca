// tavrin-sql DATABASE [SCRIPT]: runs SCRIPT (or standard input) on DATABASE with the shell
// engine. Rows go to standard output, messages to standard error. The exit status is the
// script's result (0 or 1; 1 also when the script cannot be read), 1 when the database cannot
// be opened, or N after ".exit N" (255 for an N outside 1..255).
#include <cstdio>

#include "tavrin/shell/shell.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "Usage: %s DATABASE [SCRIPT]\n", argv[0]);
        return 2;
    }
    ShellState state;
    shell::openShell(state, argv[1]);
    if (!state.m_pDb) return 1;
    std::FILE* in = stdin;
    if (argc == 3) {
        in = shell::openInputFile(argv[2]);
        if (!in) return 1;
    }
    int rc = shell::runScript(state, in);
    if (std::ferror(in)) {
        std::fprintf(stderr, "Error: cannot read \"%s\"\n", argc == 3 ? argv[2] : "stdin");
        rc = 1;
    }
    if (in != stdin) std::fclose(in);
    shell::closeShell(state);
    return rc;
}
