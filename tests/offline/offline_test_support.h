// For the report command's tests: the Ethernet frames to fill capture files
// with (tests/support/capture_files.h writes them), runs of the real
// quarn-report binary, and the analyzer writer's report of the same frames.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "tests/report/report_test_support.h"
#include "tests/support/capture_files.h"
#include "tests/support/command_run.h"
#include "tests/support/live_net.h"

// One frame of every kind the report tells apart, with varied time stamps: IP
// with TCP, UDP and ICMP echo, an IP fragment, ARP, IPX in Ethernet II and in
// raw 802.3, SNAP, IEEE 802.2, a runt, and a frame longer than 1514 bytes.
std::vector<CapturedFrame> MixedFrames();

using RunningReport = RunningCommand;

// Start quarn-report with arguments in directory; FinishQuarnReport waits for
// it. RunQuarnReport does both.
RunningReport StartQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                               const RunSetup& setup = {});
CommandResult FinishQuarnReport(RunningReport& run);
CommandResult RunQuarnReport(const std::vector<std::string>& arguments, const std::string& directory,
                             const RunSetup& setup = {});

// Frames that a veth pair carries as they are (none shorter than an Ethernet
// header or longer than 1514 bytes): MixedFrames' kinds in turn, told apart
// by the last byte of their source address.
std::vector<Bytes> SendableFrames(size_t count);
// Waits (at most 10 s) until a quarn-report -i run says its capture has
// started; false if it never does.
bool CaptureStarted(const RunningReport& run);
// Starts quarn-report -i with arguments in directory and, once its capture
// runs, sends frames from net's peer end. A capture that never says it
// started, or a frame the kernel refused, fails the test.
RunningReport CaptureWhileSending(const std::vector<std::string>& arguments, const std::string& directory,
                                  const quarn::test::LiveNet& net, const std::vector<Bytes>& frames);
// The frames of a capture file, in file order.
std::vector<Bytes> FramesOf(const std::string& path);

// The report the analyzer's writer makes when the session buffer holds these
// frames, stored as the capture stores them (at most 1514 bytes each), with
// time stamps cut to the file's resolution.
std::string AnalyzerReport(const std::vector<CapturedFrame>& frames, bool nanoseconds, const std::string& directory);

// The report without its "Created" line, which tells the time of the run.
std::string WithoutCreatedLine(const std::string& report);
