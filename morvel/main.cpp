// Morvel: the scan-text viewer that Tavrin starts for a graphical session.
#include <string>

#include "morvel/command_line.h"
#include "morvel/morvel_app.h"
#include "platform/paths.h"
#include "platform/termination_signals.h"

int main(int argc, char** argv) {
    // Taken before Qt removes the options it knows from argv.
    const std::string commandLine = morvel::CommandLineText(argc, argv);
    int signal = 0;
    {
        CMorvelApp app(argc, argv);
        app.InitInstance(commandLine, platform::ProgramFolder());
        signal = app.TerminationSignal();
        app.m_lang.Release();
    }
    if (signal != 0) {
        // The window has closed and left the registry; end as the signal asked.
        platform::RestoreDefaultTerminationSignals();
        platform::RaiseSignal(signal);
    }
    return 0;
}
