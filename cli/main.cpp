// velmorin-cli: the command line of Velmorin, for jig scripts and the line's
// own tools. The same profiles, the same lock and the same road of one
// serialization as the window, with exit codes and JSON for machines.
#include "cli/CliApp.h"
#include "cli/StandardOutput.h"

int main(int argc, char** argv) {
  velmorin::cli::IgnoreBrokenPipes();
  velmorin::cli::CliApp app;
  app.RegisterStandardCommands();
  return app.Run(argc, argv);
}
