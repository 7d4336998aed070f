// The commands of orvalis-cli: each takes its arguments from the Cli and
// returns the exit code.
#pragma once

#include "cli.h"

namespace orvalis::cli {

int Convert(Cli &cli);
int Table(Cli &cli);
int Near(Cli &cli);
int Merge(Cli &cli);
int Dedupe(Cli &cli);
int Along(Cli &cli);
int Distance(Cli &cli);
int Destination(Cli &cli);
int Crossing(Cli &cli);

struct Command {
    const char *name;
    const char *synopsis;
    const char *text;  // to translate
    int (*run)(Cli &);
};
// Every command, in the order the help lists them.
const std::vector<Command> &Commands();

// The whole help, and one command's.
QString Usage();
QString CommandUsage(const Command &command);

}  // namespace orvalis::cli
