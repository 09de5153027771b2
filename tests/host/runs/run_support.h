// Whole runs: the program started as Windows starts it, once per test process.
#pragma once
#include "../support.h"

namespace fixture {

// The product keeps its state in process-wide globals, as the real program does; ctest runs
// every test in a process of its own, so each run starts fresh. Running the whole binary in
// one process would carry one run's state into the next, so that is refused.
inline int Start(const char *commandline, const char *modulepath = tempcopy)
{
    static bool started = false;
    EXPECT_FALSE(started) << "one program run per process: run these tests through ctest";
    started = true;
    winsim::SetModulePath(modulepath);
    if (!winsim::Exists(modulepath))
        winsim::AddFile(modulepath, "exe");
    winsim::SetCommandLine(commandline);
    return WinMain(winsim::ProgramInstance(), nullptr, (LPSTR) "", SW_SHOWNORMAL);
}

// The copy in the temporary folder, started as the first instance starts it.
inline int StartCopy(const char *klid = "b0010407")
{
    std::string line = std::string("\"") + tempcopy + "\" " + klid;
    return Start(line.c_str(), tempcopy);
}

} // namespace fixture
