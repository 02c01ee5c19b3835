// The operator's own terminal named as a port, by /dev/tty or by its own name, with the run in
// the terminal's foreground or as a background job (where setting the line would stop it):
// refused like a missing port, the terminal left as it was and never written a record.
#include "e2e_support.h"

#include <gtest/gtest.h>

TEST(ControllingTerminal, IsNoReaderLine) {
    BatchSetup setup({}, false);
    for (const std::string port : {"/dev/tty", "$(tty)"})
        for (const std::string job : {"", "set -m; "}) {
            // A shell on a terminal of its own (script's), printing what the terminal shows.
            const std::string shell = "stty -g >before; ln -sf " + port + " COM16; " + job +
                                      MSRCONFIG_BIN " config.txt,COM16,9600 & wait $!; echo "
                                      "status $?; stty -g | cmp -s before - && echo same; tty";
            const ProcessResult run =
                RunProgram({"/usr/bin/script", "-qec", shell, "/dev/null"},
                           {{"MSRCONFIG_PORT_DIR", setup.PortDir()}, {"SHELL", "/bin/sh"}}, 60,
                           {.WorkingDirectory = setup.Dir.Path()});
            const std::string name = run.Out.substr(run.Out.rfind("\r\n", run.Out.size() - 3) + 2);
            std::string expected =
                Repeat("Error opening com port : 16\nError restoring functional mode.\n", 10) +
                "No MSR claimed on COM16 (no-device): " +
                (port == "/dev/tty" ? "/dev/tty is no serial line"
                                    : name.substr(0, name.size() - 2) +
                                          " is the terminal msrconfig runs in") +
                ".\nCOM16 config.txt: " + NotClaimedMessage + "status 3\nsame\n" + name;
            for (std::size_t at = 0; (at = expected.find('\n', at)) < expected.size() - 1; at += 2)
                expected.insert(at, "\r"); // as the terminal shows a line end
            EXPECT_EQ(run.Out, expected) << port << job;
        }
}
