// scansim-bus with real usbfs clients: lsusb, and the drivers' POSIX seam on libusb
// (bus_probe). Each case runs the host as a user does and checks what the client saw,
// the host's exit status and its report of the simulator's state.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const std::string kBus = SCANSIM_BUS, kProbe = BUS_PROBE;

struct Outcome {
    int status;
    std::string output; // standard output and error
};

// A shell command line; the status is the shell's.
Outcome run(const std::string& command)
{
    Outcome r = {-1, ""};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, p)) > 0;)
        r.output.append(chunk, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string slurp(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream text;
    text << f.rdbuf();
    return text.str();
}

std::string temp(const char* name) { return testing::TempDir() + "scansim_bus_" + name; }

TEST(ScansimBus, LsusbAndBothDriverCoresSeeTheScanners)
{
    Outcome r = run(kBus + " --device 0=ccd --device 1=cis0 -- sh -c 'lsusb -v -d 0400:1000 && lsusb && " + kProbe +
                " drivers'");
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("idVendor           0x0400")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("bEndpointAddress     0x81  EP 1 IN")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("bEndpointAddress     0x02  EP 2 OUT")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("Device Status:     0x0000")) << "a GET_STATUS request";
    EXPECT_NE(std::string::npos, r.output.find("Bus 001 Device 003: ID 0400:1002")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("Bus 001 Device 001: ID 1d6b:0001")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("plover and wren found, registers read back")) << r.output;
}

TEST(ScansimBus, StackedCardsAreScannedInTurnUntilTheFeederIsEmpty)
{
    const std::string report = temp("stack_report");
    Outcome r = run(kBus + " --device 0=ccd --sheet 0=fiducial+gray+white --report " + report + " -- " + kProbe +
                " pages");
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("pages 3")) << r.output;
    EXPECT_EQ("device 0 kind=ccd sheets_ejected=3 sheet_present=0 scanning=0 motor=0 protocol_errors=0 "
              "connected=1\n",
              slurp(report));
}

TEST(ScansimBus, AScannerThatVanishesMidReadAnswersNoDevice)
{
    const std::string report = temp("vanish_report");
    Outcome r = run(kBus + " --device 0=ccd --sheet 0=fiducial --fault 0=disconnect_at:30000 --report " + report +
                " -- " + kProbe + " vanish");
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_NE(std::string::npos, slurp(report).find("connected=0")) << slurp(report);
}

TEST(ScansimBus, OneHolderAtATimeAndADeadHolderLetsGo)
{
    const std::string marker = temp("held");
    remove(marker.c_str());
    // Holders killed while they wait, for a signal or in the middle of a page (most of
    // it spent waiting for the host's answers): their claims must not outlive them.
    const std::string probe = kProbe;
    Outcome r = run(kBus + " --device 0=ccd --sheet 0=fiducial+fiducial+fiducial -- sh -c '" + probe + " hold " +
                    marker + " & while [ ! -e " + marker + " ]; do sleep 0.02; done; " + probe +
                    " busy && kill -KILL $! && wait; " + probe + " free && { " + probe +
                    " pages & sleep 0.5; kill -KILL $!; wait; " + probe + " free; }'");
    EXPECT_EQ(0, r.status) << r.output;
    remove(marker.c_str());
}

TEST(ScansimBus, ExitStatusSignalsAndBadCommandLines)
{
    EXPECT_EQ(7, run(kBus + " --device 0=ccd -- sh -c 'exit 7'").status);
    EXPECT_EQ(127, run(kBus + " -- /nonexistent/command").status);
    Outcome bad = run(kBus + " --device 0=scanner -- true");
    EXPECT_EQ(2, bad.status);
    EXPECT_NE(std::string::npos, bad.output.find("'0=scanner': expected ccd, cis0 or cis1")) << bad.output;
    EXPECT_EQ(2, run(kBus + " --device 0=ccd --sheet 1=white -- true").status) << "no device 1";
    EXPECT_EQ(2, run(kBus + " --device 0=ccd").status) << "no command";

    // SIGINT to the host reaches the command, whose end by it comes back as 128 + 2.
    const std::string marker = temp("interrupted");
    remove(marker.c_str());
    pid_t host = fork();
    if (host == 0) {
        execl(kBus.c_str(), kBus.c_str(), "--device", "0=ccd", "--", kProbe.c_str(), "hold", marker.c_str(),
              (char*)nullptr);
        _exit(126);
    }
    for (int waited = 0; access(marker.c_str(), F_OK) != 0 && waited < 10000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(host, SIGINT);
    int status = 0;
    waitpid(host, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(128 + SIGINT, WEXITSTATUS(status));
    remove(marker.c_str());
}

} // namespace
