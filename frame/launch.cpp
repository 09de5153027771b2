#include "frame/app.h"
#include "messages/messages.h"
#include "messages/text.h"
#include <string.h>

bool LaunchProcess(const char *program, const char *parameters)
{
    static char commandline[32768];
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};

    SetStatus("Aufruf von %s ...", parameters);

    // "program" parameters: the quotes keep a path with spaces one token for the new process.
    memset(commandline, 0, sizeof commandline);
    bool fits = CopyText(commandline, sizeof commandline, "\"") && AppendText(commandline, sizeof commandline, program) &&
                AppendText(commandline, sizeof commandline, "\" ") &&
                AppendText(commandline, sizeof commandline, parameters);
    BOOL started = FALSE;
    if (fits)
        started = CreateProcessA(program, commandline, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    else
        SetLastError(ERROR_FILENAME_EXCED_RANGE); // a cut command line would start the wrong thing

    if (started) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return true;
    }
    CaptureLastError();
    ShowWarning("Folgender Programmstart konnte nicht durchgeführt werden:\nDatei: %s\nAusführen in: %s\nParameter: %s\n\n%s",
                program, "<NULL>", parameters, errortext);
    return false;
}
